#include "renamer/cli/shell_confirm.h"

#include "renamer/engine/fileops.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

namespace vantel {

namespace {

// Runs a move (action 2) of a new file onto an existing one with the front end's answers.
TEST(ShellConfirmation, OnlyYesReplacesAndTheReplacedFileIsKept) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        TempDir dir;
        ASSERT_TRUE(dir.ok());
        ScopedEnv env({{"XDG_DATA_HOME", dir.makeDir("data")}});
        std::ostringstream log;
        FileOperationConfirm previous = setFileOperationConfirm(shellConfirmation(yes, log));
        ASSERT_TRUE(writeFile(dir.file("new.avi"), "new"));
        ASSERT_TRUE(writeFile(dir.makeDir("tv") + "/Show - 1x01.avi", "old"));
        QueueItem item;
        item.path = dir.file("new.avi");
        item.file_name = "new.avi";
        item.target_folder = dir.file("tv/");
        item.new_name = "Show - 1x01.avi";
        ActivityLog activity;

        EXPECT_EQ(fileops(item, kActionMove, activity), yes);
        EXPECT_EQ(readFile(dir.file("tv/Show - 1x01.avi")), yes ? "new" : "old");
        EXPECT_EQ(readFile(dir.file("new.avi")).has_value(), !yes);
        EXPECT_EQ(readFile(dir.file("data/Trash/files/Show - 1x01.avi")).has_value(), yes);
        const std::string expected =
            yes ? "vantel-cli: --yes: replacing " + dir.file("tv/Show - 1x01.avi") + " with " +
                      dir.file("new.avi") + " (the replaced file goes to the Trash)\n"
                : "vantel-cli: not replacing the existing file " + dir.file("tv/Show - 1x01.avi") +
                      " (--yes allows it)\n";
        EXPECT_EQ(log.str(), expected);
        setFileOperationConfirm(previous);
    }
}

TEST(ShellConfirmation, AMissingTopLevelFolderIsNotCreatedEvenWithYes) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::ostringstream log;
    FileOperationConfirm previous = setFileOperationConfirm(shellConfirmation(true, log));
    ASSERT_TRUE(writeFile(dir.file("new.avi"), "new"));
    const std::string top = "/vantel-absent-" + std::to_string(getpid());
    QueueItem item;
    item.path = dir.file("new.avi");
    item.target_folder = top + "/Show/";
    item.new_name = "Show - 1x01.avi";
    ActivityLog activity;
    EXPECT_FALSE(fileops(item, kActionCopy, activity));
    EXPECT_EQ(item.error_text, "The file operation failed. Windows reports error 1223");
    EXPECT_NE(log.str().find("not creating the folder " + top + "/Show"), std::string::npos)
        << log.str();
    EXPECT_EQ(::access(top.c_str(), F_OK), -1);
    EXPECT_EQ(readFile(dir.file("new.avi")), "new");
    setFileOperationConfirm(previous);
}

}  // namespace

}  // namespace vantel
