#pragma once
// For the registry's tests: a fresh temporary folder that holds the store for one test, named by
// VANTEL_REGISTRY_DIR while the test runs, and removed with everything in it afterwards.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/registry/registry.h"

class RegistryFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "registry-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        setenv(kRegistryDirVariable, m_folder.c_str(), 1);
    }

    void TearDown() override {
        unsetenv(kRegistryDirVariable);
        std::filesystem::remove_all(m_folder);
    }

    std::string storeText() const {
        std::ifstream in(RegistryStorePath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void writeStoreText(const std::string& text) const {
        std::ofstream(RegistryStorePath(), std::ios::binary) << text;
    }

    std::string m_folder;
};
