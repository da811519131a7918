#include "renamer/engine/fileops.h"

#include "platform/shell/shell_test_support.h"
#include "renamer/engine/test_fileops.h"

#include <unistd.h>

namespace vantel {

namespace {

using namespace shelltest;
using Lines = std::vector<std::string>;

TEST_F(FileOpsTest, RenameRefusalsLeaveEveryFileAsItWas) {
    struct Case {
        const char* name;
        std::string from, to;  // file names in the test folder
        bool to_is_folder;
        Lines log;
        std::string error;
    };
    const std::string taken = "The destination aleady exists. File cannot be renamed";
    const std::vector<Case> cases = {
        {"letter case only",
         "Lost.avi",
         "lost.avi",
         false,
         {"Renaming Lost.avi to lost.avi", "File rename failed. New name = old name"},
         "The new filename is the same as the old filename"},
        {"same name",
         "Lost.avi",
         "Lost.avi",
         false,
         {"Renaming Lost.avi to Lost.avi", "File rename failed. New name = old name"},
         "The new filename is the same as the old filename"},
        {"onto a file",
         "a.avi",
         "b.avi",
         false,
         {"Renaming a.avi to b.avi", "File rename failed. Destination already exists"},
         taken},
        {"onto a folder",
         "a.avi",
         "Season 1",
         true,
         {"Renaming a.avi to Season 1", "File rename failed. Destination already exists"},
         taken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path("t"));
        const std::string data = randomBytes(1000, 1);
        writeFile(folder("t") + "/" + c.from, data);
        if (c.to_is_folder) {
            writeFile(folder("t/" + c.to) + "/inside.avi", "inside");
        } else if (c.from != c.to) {
            writeFile(path("t/" + c.to), "other");
        }
        QueueItem it = item(path("t/" + c.from), path("t/"), c.to);
        EXPECT_FALSE(fileops(it, kActionRename, log));
        EXPECT_EQ(it.error_text, c.error);
        EXPECT_EQ(linesSince(0), c.log);
        EXPECT_EQ(readFile(path("t/" + c.from)), data);
        EXPECT_EQ(countCopies(root, data), 1);
        if (c.to_is_folder) {
            EXPECT_EQ(readFile(path("t/" + c.to + "/inside.avi")), "inside");
            EXPECT_FALSE(exists(path("t/" + c.to + "/" + c.from)));
        }
        clearLog();
    }
}

TEST_F(FileOpsTest, MoveOrCopyOntoAnExistingFileOnlyWhenConfirmed) {
    for (FileAction action : {kActionMove, kActionCopy}) {
        SCOPED_TRACE(action);
        fs::remove_all(path("in"));
        fs::remove_all(path("out"));
        fs::remove_all(trash);
        const std::string data = randomBytes(5000, 3), theirs = randomBytes(5000, 4);
        writeFile(folder("in") + "/ep.avi", data);
        writeFile(folder("out") + "/Lost.avi", theirs);
        QueueItem it = item(path("in/ep.avi"), path("out/"), "Lost.avi");

        // Nobody to ask: refused, with the reason in the log.
        EXPECT_FALSE(fileops(it, action, log));
        EXPECT_EQ(it.error_text, "The file operation failed. Windows reports error 1223");
        Lines tail = linesSince(1);
        EXPECT_EQ(tail, (Lines{"File operation failed (1223)",
                               "The destination " + path("out/Lost.avi") +
                                   " already exists and replacing it was not confirmed"}));
        EXPECT_EQ(readFile(path("out/Lost.avi")), theirs);
        EXPECT_EQ(countCopies(root, data), 1);

        // Confirmed: replaced, and the replaced file kept in the Trash.
        RecordingConfirm yes(true);
        ASSERT_TRUE(fileops(it, action, log)) << it.error_text;
        ASSERT_EQ(yes.requests.size(), 1u);
        EXPECT_EQ(yes.requests[0].kind, ConfirmKind::Overwrite);
        EXPECT_EQ(yes.requests[0].destination, path("out/Lost.avi"));
        EXPECT_TRUE(yes.requests[0].toTrash);
        EXPECT_EQ(readFile(path("out/Lost.avi")), data);
        EXPECT_EQ(readFile(trash + "/files/Lost.avi"), theirs);
        EXPECT_EQ(countCopies(root, theirs), 1);
        clearLog();
    }
}

TEST_F(FileOpsTest, MoveOrCopyOntoAFolderIsRefusedNotPutIntoIt) {
    for (FileAction action : {kActionMove, kActionCopy}) {
        SCOPED_TRACE(action);
        const std::string data = randomBytes(3000, 5);
        writeFile(folder("in") + "/ep.avi", data);
        folder("out/Lost.avi");
        QueueItem it = item(path("in/ep.avi"), path("out/"), "Lost.avi");
        EXPECT_FALSE(fileops(it, action, log));
        EXPECT_EQ(it.error_text, "The file operation failed. Windows reports error 128");
        EXPECT_EQ(linesSince(1),
                  (Lines{"File operation failed (128)",
                         "The destination " + path("out/Lost.avi") + " is a folder"}));
        EXPECT_TRUE(fs::is_empty(path("out/Lost.avi")));
        EXPECT_EQ(readFile(path("in/ep.avi")), data);
        clearLog();
    }
}

TEST_F(FileOpsTest, OtherActionsDoNothing) {
    writeFile(folder("in") + "/ep.avi", "x");
    for (int32_t stored : {0, 4, -1}) {
        QueueItem it = item(path("in/ep.avi"), path("out/"), "new.avi");
        EXPECT_FALSE(fileops(it, static_cast<FileAction>(stored), log));
        EXPECT_EQ(it.error_text, "");
        EXPECT_TRUE(log.lines().empty());
    }
    EXPECT_EQ(readFile(path("in/ep.avi")), "x");
    EXPECT_FALSE(exists(path("out")));
}

// A folder name at the root of the file system that does not exist.
std::string absentTopFolder() {
    std::string name = "/vantel-absent-" + std::to_string(getpid());
    EXPECT_FALSE(exists(name));
    return name;
}

TEST_F(FileOpsTest, MakeTreeNeverCreatesTheRootOrTheFolderBelowIt) {
    make_tree(path("tv/Lost/Season 3/"));
    EXPECT_TRUE(fs::is_directory(path("tv/Lost/Season 3")));
    make_tree(path("tv//Shows/x"));  // the part after the last "/" is a name, not a folder
    EXPECT_TRUE(fs::is_directory(path("tv/Shows")));
    EXPECT_FALSE(exists(path("tv/Shows/x")));

    const std::string top = absentTopFolder();
    for (const std::string& p :
         {top + "/", top + "/Lost/Season 1/", "/" + top + "//Lost/", std::string("no-slash")}) {
        make_tree(p);
        EXPECT_FALSE(exists(top)) << p;
    }
    fs::remove_all(top);
    EXPECT_FALSE(exists("no-slash"));
}

TEST_F(FileOpsTest, MoveBelowAMissingTopLevelFolderFailsUnlessConfirmed) {
    const std::string data = randomBytes(2000, 6);
    writeFile(folder("in") + "/ep.avi", data);
    const std::string top = absentTopFolder();
    QueueItem it = item(path("in/ep.avi"), top + "/Lost/", "Lost - 1x01.avi");
    EXPECT_FALSE(fileops(it, kActionMove, log));
    EXPECT_EQ(it.error_text, "The file operation failed. Windows reports error 1223");
    EXPECT_EQ(log.lines().back(),
              "(t) The folder " + top + "/Lost/ does not exist and creating it was not confirmed");
    EXPECT_FALSE(exists(top));
    EXPECT_EQ(readFile(path("in/ep.avi")), data);
    fs::remove_all(top);
}

}  // namespace

}  // namespace vantel
