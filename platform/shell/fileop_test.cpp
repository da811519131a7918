#include <sys/stat.h>

#include "platform/shell/shell_test_support.h"

namespace {

using namespace shelltest;
using namespace shellerror;

class FileOp : public ShellTest {};

TEST_F(FileOp, RenameGivesTheNewNameInTheSameFolder) {
    writeFile(path("show.s01e02.avi"), "episode");
    EXPECT_EQ(fileOperation(FO_RENAME, {path("show.s01e02.avi")}, {path("Show - 1x02.avi")},
                            FOF_ALLOWUNDO),
              0);
    EXPECT_FALSE(exists(path("show.s01e02.avi")));
    EXPECT_EQ(readFile(path("Show - 1x02.avi")), "episode");

    // A bare name is taken in the source's folder; another folder is refused.
    EXPECT_EQ(fileOperation(FO_RENAME, {path("Show - 1x02.avi")}, {"bare.avi"}, 0), 0);
    EXPECT_EQ(readFile(path("bare.avi")), "episode");
    folder("elsewhere");
    EXPECT_EQ(fileOperation(FO_RENAME, {path("bare.avi")}, {path("elsewhere/x.avi")}, 0),
              DE_DIFFDIR);
    EXPECT_EQ(readFile(path("bare.avi")), "episode");
}

TEST_F(FileOp, RenameOntoAnExistingFileNeedsConsent) {
    writeFile(path("old.avi"), "new content");
    writeFile(path("taken.avi"), "someone else's file");

    BOOL aborted = FALSE;
    EXPECT_EQ(fileOperation(FO_RENAME, {path("old.avi")}, {path("taken.avi")}, 0, &aborted),
              ERROR_CANCELLED);  // no callback registered: refused
    EXPECT_TRUE(aborted);
    EXPECT_EQ(readFile(path("taken.avi")), "someone else's file");
    EXPECT_EQ(readFile(path("old.avi")), "new content");
    {
        RecordingConfirm no(false);
        EXPECT_EQ(fileOperation(FO_RENAME, {path("old.avi")}, {path("taken.avi")}, 0),
                  ERROR_CANCELLED);
        EXPECT_EQ(readFile(path("taken.avi")), "someone else's file");
    }
    RecordingConfirm yes(true);
    EXPECT_EQ(fileOperation(FO_RENAME, {path("old.avi")}, {path("taken.avi")}, 0, &aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(readFile(path("taken.avi")), "new content");
    EXPECT_FALSE(exists(path("old.avi")));
    ASSERT_EQ(yes.requests.size(), 1u);
    EXPECT_EQ(yes.requests[0].kind, ConfirmKind::Overwrite);
    EXPECT_EQ(yes.requests[0].wFunc, FO_RENAME);
    EXPECT_EQ(yes.requests[0].source, path("old.avi"));
    EXPECT_EQ(yes.requests[0].destination, path("taken.avi"));
}

TEST_F(FileOp, MoveToAFullPathOrIntoAFolder) {
    writeFile(path("a.avi"), "A");
    writeFile(path("b.avi"), "B");
    writeFile(path("c.avi"), "C");
    folder("tv/Show");
    EXPECT_EQ(fileOperation(FO_MOVE, {path("a.avi")}, {path("tv/Show/Show - 1x01.avi")}, 0x40), 0);
    EXPECT_EQ(readFile(path("tv/Show/Show - 1x01.avi")), "A");
    EXPECT_FALSE(exists(path("a.avi")));

    EXPECT_EQ(fileOperation(FO_MOVE, {path("b.avi")}, {path("tv/Show")}, 0), 0);  // existing folder
    EXPECT_EQ(readFile(path("tv/Show/b.avi")), "B");
    EXPECT_EQ(fileOperation(FO_MOVE, {path("c.avi")}, {path("tv/New/")}, FOF_NOCONFIRMMKDIR), 0);
    EXPECT_EQ(readFile(path("tv/New/c.avi")), "C");
}

TEST_F(FileOp, AMissingDestinationFolderIsCreatedOnlyWhenAllowed) {
    writeFile(path("a.avi"), "A");
    EXPECT_EQ(fileOperation(FO_MOVE, {path("a.avi")}, {path("x/y/a.avi")}, 0), ERROR_CANCELLED);
    EXPECT_FALSE(exists(path("x")));
    EXPECT_EQ(readFile(path("a.avi")), "A");

    RecordingConfirm yes(true);
    EXPECT_EQ(fileOperation(FO_MOVE, {path("a.avi")}, {path("x/y/a.avi")}, 0), 0);
    EXPECT_EQ(readFile(path("x/y/a.avi")), "A");
    ASSERT_EQ(yes.requests.size(), 1u);
    EXPECT_EQ(yes.requests[0].kind, ConfirmKind::CreateFolder);
    EXPECT_EQ(yes.requests[0].destination, path("x/y"));
}

TEST_F(FileOp, CopyKeepsContentTimeAndPermissions) {
    std::string data = randomBytes(3 << 20, 1);  // several copy chunks
    writeFile(path("src.avi"), data);
    chmod(path("src.avi").c_str(), 0640);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 123456789}};
    utimensat(AT_FDCWD, path("src.avi").c_str(), times, 0);

    EXPECT_EQ(fileOperation(FO_COPY, {path("src.avi")}, {path("copy.avi")}, FOF_ALLOWUNDO), 0);
    struct stat st;
    ASSERT_EQ(stat(path("copy.avi").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(readFile(path("copy.avi")), data);
    EXPECT_EQ(readFile(path("src.avi")), data);
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 3);
    EXPECT_EQ(countCopies(root, data), 2);  // no partial file left beside them
}

TEST_F(FileOp, FoldersAreCopiedMovedAndMergedWholly) {
    writeFile(folder("src/sub") + "/deep.txt", "deep");
    writeFile(path("src/top.txt"), "top");
    fs::create_symlink("/nonexistent/target", path("src/link"));
    chmod(path("src/sub").c_str(), 0750);

    EXPECT_EQ(fileOperation(FO_COPY, {path("src")}, {path("copy")}, 0), 0);
    EXPECT_EQ(readFile(path("copy/sub/deep.txt")), "deep");
    EXPECT_EQ(fs::read_symlink(path("copy/link")), "/nonexistent/target");
    EXPECT_EQ(fs::status(path("copy/sub")).permissions(), static_cast<fs::perms>(0750));

    // Moving onto an existing folder merges, after consent; a clashing file asks again.
    writeFile(folder("dest/src") + "/top.txt", "older top");
    writeFile(path("dest/src/own.txt"), "own");
    RecordingConfirm yes(true);
    EXPECT_EQ(fileOperation(FO_MOVE, {path("src")}, {path("dest")}, 0), 0);
    EXPECT_FALSE(exists(path("src")));
    EXPECT_EQ(readFile(path("dest/src/top.txt")), "top");
    EXPECT_EQ(readFile(path("dest/src/own.txt")), "own");
    EXPECT_EQ(readFile(path("dest/src/sub/deep.txt")), "deep");
    ASSERT_EQ(yes.requests.size(), 2u);
    EXPECT_EQ(yes.requests[0].kind, ConfirmKind::MergeFolder);
    EXPECT_EQ(yes.requests[1].kind, ConfirmKind::Overwrite);
}

TEST_F(FileOp, ImpossibleRequestsChangeNothing) {
    writeFile(path("file.avi"), "F");
    writeFile(folder("dir/inner") + "/x", "X");
    struct Case {
        UINT func;
        std::string from, to;
        int expected;
    } cases[] = {
        {FO_COPY, path("file.avi"), path("file.avi"), DE_SAMEFILE},
        {FO_MOVE, path("file.avi"), path("./file.avi"), DE_SAMEFILE},
        {FO_MOVE, path("dir"), path("dir/inner/dir"), DE_DESTSUBTREE},
        {FO_COPY, path("dir"), path("dir/inner/"), DE_DESTSUBTREE},
        {FO_COPY, path("dir"), path("nowhere/../dir/inner/copy"), DE_DESTSUBTREE},
        {FO_RENAME, path("file.avi"), path("dir"), DE_FILEDESTISFLD},
        {FO_RENAME, path("dir"), path("file.avi"), DE_FLDDESTISFILE},
        {FO_MOVE, path("missing.avi"), path("x.avi"), ERROR_FILE_NOT_FOUND},
        {FO_DELETE, path("missing.avi"), "", ERROR_FILE_NOT_FOUND},
        {FO_DELETE, path("dir/.."), "", DE_INVALIDFILES},
        {FO_COPY, path("file.avi"), path("file.avi/x"), ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        std::vector<std::string> to;
        if (!c.to.empty()) to.push_back(c.to);
        EXPECT_EQ(fileOperation(c.func, {c.from}, to, FOF_NOCONFIRMATION), c.expected)
            << c.func << " " << c.from << " -> " << c.to;
    }
    EXPECT_EQ(readFile(path("file.avi")), "F");
    EXPECT_EQ(readFile(path("dir/inner/x")), "X");
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 3);
}

TEST_F(FileOp, MalformedRequestsAreRefused) {
    EXPECT_EQ(SHFileOperationA(nullptr), ERROR_INVALID_PARAMETER);
    writeFile(path("a"), "a");
    writeFile(path("b"), "b");
    EXPECT_EQ(fileOperation(9, {path("a")}, {path("c")}, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fileOperation(FO_MOVE, {}, {path("c")}, 0), DE_INVALIDFILES);
    EXPECT_EQ(fileOperation(FO_MOVE, {path("a")}, {}, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fileOperation(FO_RENAME, {path("a"), path("b")}, {path("c")}, 0), DE_MANYSRC1DEST);
    EXPECT_EQ(fileOperation(FO_COPY, {path("a"), path("b")}, {path("c")}, FOF_MULTIDESTFILES),
              DE_MANYDEST);
    EXPECT_EQ(fileOperation(FO_COPY, {path("a")}, {path("c")}, FOF_RENAMEONCOLLISION),
              ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(exists(path("c")));
}

TEST_F(FileOp, PermanentDeleteRemovesATreeButNeverFollowsLinks) {
    writeFile(path("outside.txt"), "keep me");
    writeFile(folder("cache/a/b") + "/c.qc", "cached");
    fs::create_symlink(path("outside.txt"), path("cache/a/link"));
    fs::create_directory_symlink(root, path("cache/rootlink"));
    EXPECT_EQ(fileOperation(FO_DELETE, {path("cache")}, {}, 0x114), 0);
    EXPECT_FALSE(exists(path("cache")));
    EXPECT_EQ(readFile(path("outside.txt")), "keep me");
    EXPECT_FALSE(exists(trash));  // no undo asked: nothing went to the Trash
}

TEST_F(FileOp, DeleteWithoutNoConfirmationAsks) {
    writeFile(path("a"), "a");
    EXPECT_EQ(fileOperation(FO_DELETE, {path("a")}, {}, 0), ERROR_CANCELLED);
    EXPECT_TRUE(exists(path("a")));
    RecordingConfirm yes(true);
    EXPECT_EQ(fileOperation(FO_DELETE, {path("a")}, {}, FOF_ALLOWUNDO), 0);
    ASSERT_EQ(yes.requests.size(), 1u);
    EXPECT_EQ(yes.requests[0].kind, ConfirmKind::Delete);
    EXPECT_TRUE(yes.requests[0].toTrash);
    EXPECT_TRUE(exists(trash + "/files/a"));
}

TEST_F(FileOp, ADeclinedItemIsSkippedAndTheOthersAreDone) {
    writeFile(path("one"), "1");
    writeFile(path("two"), "2");
    writeFile(folder("to") + "/one", "old 1");
    BOOL aborted = FALSE;
    EXPECT_EQ(fileOperation(FO_MOVE, {path("one"), path("two")}, {path("to")}, 0, &aborted),
              ERROR_CANCELLED);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(readFile(path("to/one")), "old 1");
    EXPECT_EQ(readFile(path("one")), "1");
    EXPECT_EQ(readFile(path("to/two")), "2");
}

TEST_F(FileOp, ConfirmedOverwriteWithUndoKeepsTheReplacedFileInTheTrash) {
    writeFile(path("new.avi"), "new");
    writeFile(folder("to") + "/x.avi", "replaced");
    EXPECT_EQ(fileOperation(FO_MOVE, {path("new.avi")}, {path("to/x.avi")},
                            FOF_ALLOWUNDO | FOF_NOCONFIRMATION),
              0);
    EXPECT_EQ(readFile(path("to/x.avi")), "new");
    EXPECT_EQ(readFile(trash + "/files/x.avi"), "replaced");

    writeFile(path("newer.avi"), "newer");
    EXPECT_EQ(fileOperation(FO_COPY, {path("newer.avi")}, {path("to/x.avi")}, FOF_NOCONFIRMATION),
              0);
    EXPECT_EQ(readFile(path("to/x.avi")), "newer");
    EXPECT_EQ(countCopies(root, "new"), 0);  // without undo the replaced file is gone
}

}  // namespace
