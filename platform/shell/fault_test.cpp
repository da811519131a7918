// Faults during file operations. Each case ends with every byte of the user's file present
// exactly once (or, for a copy, the source untouched and no partial copy anywhere).

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <array>
#include <cstdint>

#include "platform/shell/shell_test_support.h"

namespace {

using namespace shelltest;
using namespace shellerror;

class Fault : public ShellTest {};

TEST_F(Fault, TargetFolderNotWritable) {
    std::string data = randomBytes(256 << 10, 2);
    writeFile(path("src.avi"), data);
    std::string target = folder("target");
    if (geteuid() == 0) {
        // Root passes every permission check, so the folder is made read-only by a mount.
        if (!bindReadOnly(target)) GTEST_SKIP() << "running as root and cannot bind-mount";
    } else {
        chmod(target.c_str(), 0555);
    }
    for (UINT func : {FO_MOVE, FO_COPY}) {
        int rc = fileOperation(func, {path("src.avi")}, {target + "/new.avi"}, 0x50);
        EXPECT_TRUE(rc == ERROR_ACCESS_DENIED || rc == ERROR_WRITE_PROTECT) << func << ": " << rc;
        EXPECT_EQ(readFile(path("src.avi")), data);
        EXPECT_TRUE(fs::is_empty(target));
        EXPECT_EQ(countCopies(root, data), 1);
    }
}

TEST_F(Fault, SourceRemovedBeforeTheOperation) {
    writeFile(path("gone.avi"), "x");
    fs::remove(path("gone.avi"));
    folder("to");
    for (UINT func : {FO_MOVE, FO_COPY, FO_RENAME, FO_DELETE}) {
        std::vector<std::string> to;
        if (func != FO_DELETE) to.push_back(path(func == FO_RENAME ? "new.avi" : "to/new.avi"));
        EXPECT_EQ(fileOperation(func, {path("gone.avi")}, to, 0x50), ERROR_FILE_NOT_FOUND) << func;
    }
    EXPECT_TRUE(fs::is_empty(path("to")));
    EXPECT_FALSE(exists(path("new.avi")));
    EXPECT_FALSE(exists(trash + "/files"));
}

TEST_F(Fault, MoveAcrossFileSystemsCopiesVerifiesThenRemoves) {
    std::string a = mountTmpfs("a"), b = mountTmpfs("b");
    if (a.empty() || b.empty()) GTEST_SKIP() << "needs root and tmpfs mounts for two file systems";
    std::string data = randomBytes(3 << 20, 3);
    writeFile(a + "/ep.avi", data);
    chmod((a + "/ep.avi").c_str(), 0604);
    struct timespec times[2] = {{1200000000, 0}, {1200000000, 5}};
    utimensat(AT_FDCWD, (a + "/ep.avi").c_str(), times, 0);

    ASSERT_EQ(fileOperation(FO_MOVE, {a + "/ep.avi"}, {b + "/Show/Show - 1x01.avi"}, 0x40 | 0x200),
              0);
    EXPECT_FALSE(exists(a + "/ep.avi"));
    EXPECT_EQ(readFile(b + "/Show/Show - 1x01.avi"), data);
    struct stat st;
    ASSERT_EQ(stat((b + "/Show/Show - 1x01.avi").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 5);
    EXPECT_EQ(countCopies(root, data), 1);

    // A folder goes file by file and the emptied source folder last.
    writeFile(folder("a/tree/sub") + "/y", "y");
    writeFile(a + "/tree/x", "x");
    ASSERT_EQ(fileOperation(FO_MOVE, {a + "/tree"}, {b}, 0), 0);
    EXPECT_FALSE(exists(a + "/tree"));
    EXPECT_EQ(readFile(b + "/tree/sub/y"), "y");
    EXPECT_EQ(readFile(b + "/tree/x"), "x");
}

// The raw form of an access control list: version 2, then (tag, permissions, id) entries.
std::string aclValue(std::initializer_list<std::array<uint32_t, 3>> entries) {
    std::string value;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            value += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(2, 4);
    for (const auto& [tag, perm, id] : entries) {
        put(tag, 2);
        put(perm, 2);
        put(id, 4);
    }
    return value;
}

std::string attribute(const std::string& path, const char* name) {
    char value[256];
    ssize_t n = getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? std::string("(none)") : std::string(value, static_cast<size_t>(n));
}

// A move or a copy to another file system keeps the file's extended attributes, the user's own
// and its access control list, as mv and cp -a do; so does moving it back (an undo).
TEST_F(Fault, AcrossFileSystemsExtendedAttributesAreKept) {
    std::string a = mountTmpfs("a"), b = mountTmpfs("b");
    if (a.empty() || b.empty()) GTEST_SKIP() << "needs root and tmpfs mounts for two file systems";
    writeFile(a + "/ep.avi", "data");
    ASSERT_EQ(setxattr((a + "/ep.avi").c_str(), "user.origin", "tv", 2, 0), 0);
    const uint32_t none = 0xFFFFFFFF;
    const std::string acl = aclValue(
        {{0x01, 6, none}, {0x02, 4, 4321}, {0x04, 4, none}, {0x10, 4, none}, {0x20, 0, none}});
    const bool hasAcl = setxattr((a + "/ep.avi").c_str(), "system.posix_acl_access", acl.data(),
                                 acl.size(), 0) == 0;

    ASSERT_EQ(fileOperation(FO_MOVE, {a + "/ep.avi"}, {b + "/Show - 1x01.avi"}, 0x40), 0);
    ASSERT_EQ(fileOperation(FO_COPY, {b + "/Show - 1x01.avi"}, {a + "/copy.avi"}, 0x40), 0);
    ASSERT_EQ(fileOperation(FO_MOVE, {b + "/Show - 1x01.avi"}, {a + "/ep.avi"}, 0x40), 0);
    for (const std::string& path : {a + "/copy.avi", a + "/ep.avi"}) {
        EXPECT_EQ(attribute(path, "user.origin"), "tv") << path;
        if (hasAcl) {
            EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl) << path;
        }
    }
}

TEST_F(Fault, DestinationFileSystemFull) {
    std::string small = mountTmpfs("small", "size=1m");
    if (small.empty()) GTEST_SKIP() << "needs root and a tmpfs mount for a small file system";
    std::string data = randomBytes(2 << 20, 4);
    writeFile(path("big.avi"), data);
    for (UINT func : {FO_COPY, FO_MOVE}) {
        EXPECT_EQ(fileOperation(func, {path("big.avi")}, {small + "/big.avi"}, 0x40),
                  ERROR_DISK_FULL)
            << func;
        EXPECT_TRUE(fs::is_empty(small));
        EXPECT_EQ(readFile(path("big.avi")), data);
        EXPECT_EQ(countCopies(root, data), 1);
    }
}

TEST_F(Fault, ProcessKilledPartWayThroughACopy) {
    std::string data = randomBytes(8 << 20, 5);
    struct Case {
        UINT func;
        std::string source, target;
    };
    std::vector<Case> cases = {{FO_COPY, path("src.avi"), folder("out") + "/copy.avi"}};
    std::string a = mountTmpfs("a", "size=32m"), b = mountTmpfs("b", "size=32m");
    if (!a.empty() && !b.empty()) cases.push_back({FO_MOVE, a + "/src.avi", b + "/moved.avi"});

    for (const Case& c : cases) {
        writeFile(c.source, data);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Signals the test once some data is written, then waits to be killed.
            setFileOperationProgress([&](const std::string&, uint64_t done, uint64_t) {
                if (done > 0 && write(ready[1], "x", 1) == 1) pause();
                return true;
            });
            fileOperation(c.func, {c.source}, {c.target}, 0x40);
            _exit(0);
        }
        // With the parent's write end closed, a child that ends without signalling gives
        // end of file here instead of a wait for ever.
        close(ready[1]);
        char signal;
        bool signalled = read(ready[0], &signal, 1) == 1;
        close(ready[0]);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        ASSERT_TRUE(signalled) << c.func << ": the copy never started";
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_FALSE(exists(c.target)) << c.func;
        // Not even a hidden partial file: the copy had no name yet.
        EXPECT_TRUE(fs::is_empty(fs::path(c.target).parent_path())) << c.func;
        EXPECT_EQ(readFile(c.source), data);
        EXPECT_EQ(countCopies(root, data), 1);
        fs::remove(c.source);
    }
}

TEST_F(Fault, HostCancelsPartWay) {
    std::string data = randomBytes(4 << 20, 6);
    writeFile(path("src.avi"), data);
    ProgressScope cancel([](const std::string&, uint64_t done, uint64_t) { return done == 0; });
    BOOL aborted = FALSE;
    EXPECT_EQ(fileOperation(FO_COPY, {path("src.avi")}, {folder("out") + "/c.avi"}, 0, &aborted),
              ERROR_CANCELLED);
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(fs::is_empty(path("out")));
    EXPECT_EQ(countCopies(root, data), 1);
}

TEST_F(Fault, SourceChangedDuringTheCopy) {
    std::string data = randomBytes(4 << 20, 7);
    writeFile(path("src.avi"), data);
    ProgressScope grow([&](const std::string&, uint64_t done, uint64_t) {
        if (done > 0 && done < (2u << 20)) {
            std::ofstream(path("src.avi"), std::ios::app) << "more";
        }
        return true;
    });
    EXPECT_EQ(fileOperation(FO_COPY, {path("src.avi")}, {folder("out") + "/c.avi"}, 0),
              ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(fs::is_empty(path("out")));
    EXPECT_EQ(readFile(path("src.avi")), data + "more");
}

TEST_F(Fault, DestinationCreatedByAnotherProgramDuringTheCopy) {
    std::string data = randomBytes(4 << 20, 8);
    writeFile(path("src.avi"), data);
    std::string target = folder("out") + "/c.avi";
    ProgressScope race([&](const std::string&, uint64_t done, uint64_t) {
        if (done > 0 && !exists(target)) writeFile(target, "theirs");
        return true;
    });
    // It is not replaced: the copy finds the name taken and asks, and nobody says yes.
    EXPECT_EQ(fileOperation(FO_COPY, {path("src.avi")}, {target}, 0), ERROR_CANCELLED);
    EXPECT_EQ(readFile(target), "theirs");
    EXPECT_EQ(std::distance(fs::directory_iterator(path("out")), fs::directory_iterator()), 1);
    EXPECT_EQ(countCopies(root, data), 1);
}

}  // namespace
