#pragma once
// A temporary folder for tests that need real files; removed with everything in it at the end.

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

namespace vantel {

class TestTree {
  public:
    TestTree() {
        // The name holds no test name: the queue ignores paths that contain "sample", and a
        // test's name may well contain that word.
        static int count = 0;
        m_root = std::filesystem::temp_directory_path() /
                 ("vantel-tree-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
    }
    ~TestTree() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    // The folder itself, ending in "/".
    std::string root() const { return m_root.string() + "/"; }
    std::string path(const std::string& relative) const { return root() + relative; }

    // Creates a file (and its folders) below the root; returns its full path.
    std::string file(const std::string& relative) const {
        std::filesystem::path p = m_root / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        return p.string();
    }

  private:
    std::filesystem::path m_root;
};

}  // namespace vantel
