#pragma once
// Test helpers for the shell layer: a private temporary folder per test (with the data home, so
// the real Trash is never touched), file helpers, small mounts, and a recording confirmation.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/shell/shell.h"

namespace shelltest {

namespace fs = std::filesystem;

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool exists(const std::string& path) {
    return fs::exists(fs::symlink_status(path));
}

// Bytes that no other file in a test has by chance.
inline std::string randomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(generator());
    return out;
}

// How many regular files below root hold exactly content.
inline int countCopies(const std::string& root, const std::string& content) {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.file_size() == content.size() &&
            readFile(entry.path()) == content) {
            ++count;
        }
    }
    return count;
}

// Builds the NUL-separated, NUL-ended list of the request record.
inline std::string pathList(const std::vector<std::string>& paths) {
    std::string out;
    for (const std::string& path : paths)
        out += path + '\0';
    return out + '\0';
}

inline int fileOperation(UINT func, const std::vector<std::string>& from,
                         const std::vector<std::string>& to, FILEOP_FLAGS flags,
                         BOOL* aborted = nullptr) {
    std::string fromList = pathList(from), toList = pathList(to);
    SHFILEOPSTRUCTA op{};
    op.wFunc = func;
    op.pFrom = fromList.c_str();
    op.pTo = to.empty() ? nullptr : toList.c_str();
    op.fFlags = flags;
    int rc = SHFileOperationA(&op);
    if (aborted) *aborted = op.fAnyOperationsAborted;
    return rc;
}

// Answers every confirmation with a fixed answer and keeps the requests.
class RecordingConfirm {
  public:
    explicit RecordingConfirm(bool answer) {
        m_previous = setFileOperationConfirm([this, answer](const ConfirmRequest& request) {
            requests.push_back(request);
            return answer;
        });
    }
    ~RecordingConfirm() { setFileOperationConfirm(m_previous); }
    std::vector<ConfirmRequest> requests;

  private:
    FileOperationConfirm m_previous;
};

// Installs a progress callback for one scope.
class ProgressScope {
  public:
    explicit ProgressScope(FileOperationProgress progress)
        : m_previous(setFileOperationProgress(std::move(progress))) {}
    ~ProgressScope() { setFileOperationProgress(m_previous); }

  private:
    FileOperationProgress m_previous;
};

// Every test works in a folder of its own; $XDG_DATA_HOME points into it.
class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vantel-shell-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        dataHome = root + "/data";
        trash = dataHome + "/Trash";
        fs::create_directory(dataHome);
        const char* old = getenv("XDG_DATA_HOME");
        m_oldDataHome = old ? old : "";
        m_hadDataHome = old != nullptr;
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    }

    void TearDown() override {
        for (auto it = m_mounts.rbegin(); it != m_mounts.rend(); ++it) {
            umount2(it->c_str(), MNT_DETACH);
        }
        std::error_code ignored;
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
        fs::remove_all(root, ignored);
        if (m_hadDataHome) {
            setenv("XDG_DATA_HOME", m_oldDataHome.c_str(), 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
    }

    std::string path(const std::string& relative) const { return root + "/" + relative; }

    std::string folder(const std::string& relative) const {
        fs::create_directories(path(relative));
        return path(relative);
    }

    // Mounts a small tmpfs at a new folder (root only). The mounts of this process are made
    // private first where possible, so nothing shows outside the test. Empty when it fails.
    std::string mountTmpfs(const std::string& relative, const char* options = "size=8m") {
        isolateMounts();
        std::string where = folder(relative);
        if (geteuid() != 0 || mount("tmpfs", where.c_str(), "tmpfs", 0, options) != 0) return {};
        m_mounts.push_back(where);
        return where;
    }

    // Makes folder read-only by a read-only bind mount of itself (root only); false on failure.
    bool bindReadOnly(const std::string& where) {
        if (geteuid() != 0) return false;
        isolateMounts();
        if (mount(where.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
        m_mounts.push_back(where);
        return mount(nullptr, where.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
               0;
    }

    std::string root, dataHome, trash;

  private:
    // A mount namespace of this test process's own, made once and before any thread starts;
    // where that fails the mounts are made in the shared namespace and undone in TearDown.
    static void isolateMounts() {
        static const bool isolated =
            unshare(CLONE_NEWNS) == 0 &&
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        (void)isolated;
    }

    std::vector<std::string> m_mounts;
    std::string m_oldDataHome;
    bool m_hadDataHome = false;
};

}  // namespace shelltest
