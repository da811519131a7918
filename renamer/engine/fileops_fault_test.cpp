// Faults during the renamer's file operations. Each case ends with every byte of the user's file
// present exactly once, and no partial file anywhere.

#include "renamer/engine/fileops.h"
#include "renamer/engine/test_fileops.h"

#include <unistd.h>

namespace vantel {

namespace {

using namespace shelltest;

bool isEmptyOrMissing(const std::string& folder) {
    return !exists(folder) || fs::is_empty(folder);
}

TEST_F(FileOpsTest, TargetFolderNotWritable) {
    const std::string data = randomBytes(200 << 10, 50);
    writeFile(folder("in") + "/ep.avi", data);
    const std::string locked = folder("locked");
    writeFile(locked + "/own.avi", "own");
    if (geteuid() == 0) {
        // Root passes every permission check, so the folders are made read-only by mounts.
        if (!bindReadOnly(locked)) GTEST_SKIP() << "running as root and cannot bind-mount";
    } else {
        chmod(locked.c_str(), 0555);
    }
    struct Case {
        FileAction action;
        std::string source, folder;
    };
    for (const Case& c : std::vector<Case>{{kActionMove, path("in/ep.avi"), locked + "/"},
                                           {kActionCopy, path("in/ep.avi"), locked + "/"},
                                           {kActionRename, locked + "/own.avi", locked + "/"}}) {
        SCOPED_TRACE(c.action);
        QueueItem it = item(c.source, c.folder, "Show - 1x01.avi");
        EXPECT_FALSE(fileops(it, c.action, log));
        EXPECT_TRUE(it.error_text == "The file operation failed. Windows reports error 5" ||
                    it.error_text == "The file operation failed. Windows reports error 19")
            << it.error_text;
        EXPECT_EQ(readFile(path("in/ep.avi")), data);
        EXPECT_EQ(readFile(locked + "/own.avi"), "own");
        EXPECT_EQ(countCopies(root, data), 1);
        EXPECT_FALSE(exists(locked + "/Show - 1x01.avi"));
        EXPECT_FALSE(exists(locked + "/Season 1"));
    }
}

TEST_F(FileOpsTest, SourceRemovedBeforeTheOperation) {
    const std::string data = randomBytes(9000, 51);
    for (FileAction action : {kActionRename, kActionMove, kActionCopy}) {
        SCOPED_TRACE(action);
        writeFile(folder("in") + "/ep.avi", data);
        QueueItem it =
            item(path("in/ep.avi"), action == kActionRename ? path("in/") : path("out/Show/"),
                 "Show - 1x01.avi");
        it.error_text = "from an earlier pass";
        // The user moves the file away after it was queued.
        fs::rename(path("in/ep.avi"), path("moved.avi"));
        EXPECT_FALSE(fileops(it, action, log));
        EXPECT_EQ(log.lines().back(), "(t) File rename failed. Source file not found");
        EXPECT_EQ(it.error_text, "from an earlier pass");
        EXPECT_FALSE(exists(path("out")));  // not even the target folder was made
        EXPECT_EQ(countCopies(root, data), 1);
        fs::remove(path("moved.avi"));
    }
}

TEST_F(FileOpsTest, MoveAndCopyToAnotherFileSystemAndBack) {
    std::string a = mountTmpfs("a"), b = mountTmpfs("b");
    if (a.empty() || b.empty()) GTEST_SKIP() << "needs root and tmpfs mounts for two file systems";
    const std::string data = randomBytes(3 << 20, 52);
    writeFile(a + "/lost.s01e01.avi", data);

    QueueItem moved = item(a + "/lost.s01e01.avi", b + "/tv/Lost/Season 1/", "Lost - 1x01.avi");
    ASSERT_TRUE(fileops(moved, kActionMove, log)) << moved.error_text;
    EXPECT_FALSE(exists(a + "/lost.s01e01.avi"));
    EXPECT_EQ(readFile(b + "/tv/Lost/Season 1/Lost - 1x01.avi"), data);
    EXPECT_EQ(countCopies(root, data), 1);
    ASSERT_TRUE(undofileops(moved, kActionMove, log)) << moved.error_text;
    EXPECT_EQ(readFile(a + "/lost.s01e01.avi"), data);
    EXPECT_FALSE(exists(b + "/tv/Lost/Season 1/Lost - 1x01.avi"));
    EXPECT_EQ(countCopies(root, data), 1);

    // The undone copy goes to the Trash of its own file system.
    QueueItem copied = item(a + "/lost.s01e01.avi", b + "/copies/", "Lost - 1x01.avi");
    ASSERT_TRUE(fileops(copied, kActionCopy, log)) << copied.error_text;
    EXPECT_EQ(countCopies(root, data), 2);
    ASSERT_TRUE(undofileops(copied, kActionCopy, log)) << copied.error_text;
    EXPECT_FALSE(exists(b + "/copies/Lost - 1x01.avi"));
    EXPECT_EQ(readFile(b + "/.Trash-" + std::to_string(getuid()) + "/files/Lost - 1x01.avi"), data);
    EXPECT_EQ(readFile(a + "/lost.s01e01.avi"), data);
}

TEST_F(FileOpsTest, DestinationFileSystemFull) {
    std::string small = mountTmpfs("small", "size=1m");
    if (small.empty()) GTEST_SKIP() << "needs root and a tmpfs mount for a small file system";
    const std::string data = randomBytes(2 << 20, 53);
    writeFile(path("big.avi"), data);
    for (FileAction action : {kActionCopy, kActionMove}) {
        SCOPED_TRACE(action);
        QueueItem it = item(path("big.avi"), small + "/Show/", "Show - 1x01.avi");
        EXPECT_FALSE(fileops(it, action, log));
        EXPECT_EQ(it.error_text, "The file operation failed. Windows reports error 112");
        EXPECT_TRUE(isEmptyOrMissing(small + "/Show"));
        EXPECT_EQ(readFile(path("big.avi")), data);
        EXPECT_EQ(countCopies(root, data), 1);
    }
}

TEST_F(FileOpsTest, CopyCancelledPartWay) {
    const std::string data = randomBytes(4 << 20, 54);
    writeFile(path("src.avi"), data);
    ProgressScope cancel([](const std::string&, uint64_t done, uint64_t) { return done == 0; });
    QueueItem it = item(path("src.avi"), path("out/"), "Show - 1x01.avi");
    EXPECT_FALSE(fileops(it, kActionCopy, log));
    EXPECT_EQ(it.error_text, "The file operation failed. Windows reports error 1223");
    EXPECT_EQ(log.lines().back(), "(t) The file operation was cancelled");
    EXPECT_TRUE(isEmptyOrMissing(path("out")));
    EXPECT_EQ(countCopies(root, data), 1);
}

}  // namespace

}  // namespace vantel
