#pragma once
// A test's own registry store and data folder: the context-menu entries and the desktop entry
// it writes land in its tree, and keyExists looks them up.

#include "platform/registry/registry.h"
#include "renamer/common/reg.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vantel {

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv(kRegistryDirVariable, tree.path("registry").c_str(), 1);
        ::setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(kRegistryDirVariable);
        ::unsetenv("XDG_DATA_HOME");
    }
    static bool keyExists(const std::string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    TestTree tree;
};

}  // namespace vantel
