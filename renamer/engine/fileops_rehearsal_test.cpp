// The rehearsal of file operations for a dry run: the refusals of the real operation, on the
// files as the operations rehearsed before would have left them, with nothing touched.

#include "renamer/engine/fileops.h"
#include "renamer/engine/test_fileops.h"

#include <deque>

namespace vantel {

namespace {

using namespace shelltest;

class Rehearsal : public FileOpsTest {
  protected:
    // Rehearses item's action and returns "" when it would go ahead, else its error_text. The
    // items stay, as queued items do: the rehearsal keeps pointing at their names.
    std::string rehearse(FileopsRehearsal& r, const std::string& from, int32_t action,
                         const std::string& folder, const std::string& name) {
        QueueItem& it = items.emplace_back(item(from, folder, name));
        return r.rehearse(it, static_cast<FileAction>(action), log) ? "" : it.error_text;
    }
    std::deque<QueueItem> items;
};

TEST_F(Rehearsal, RefusesWhatTheRealOperationRefusesAndTouchesNothing) {
    const std::string in = folder("in") + "/";
    const std::string out = folder("out") + "/";
    for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi", "taken.avi"})
        writeFile(in + name, name);
    writeFile(out + "there.avi", "there");
    folder("out/folder.avi");
    const std::string taken = "The destination aleady exists. File cannot be renamed";
    const std::string declined = "The file operation failed. Windows reports error 1223";

    FileopsRehearsal r;
    // Same name but for letter case; a name another file has; a source that is gone.
    EXPECT_EQ(rehearse(r, in + "a.avi", 1, in, "A.AVI"),
              "The new filename is the same as the old filename");
    EXPECT_EQ(rehearse(r, in + "a.avi", 1, in, "taken.avi"), taken);
    QueueItem gone = item(in + "gone.avi", in, "x.avi");
    EXPECT_FALSE(r.rehearse(gone, kActionRename, log));
    // Two files onto one name: the first goes ahead, the second finds the name taken.
    EXPECT_EQ(rehearse(r, in + "a.avi", 1, in, "new.avi"), "");
    EXPECT_EQ(rehearse(r, in + "b.avi", 1, in, "new.avi"), taken);
    // The first one's old path is gone, and its name is free again.
    QueueItem moved_away = item(in + "a.avi", in, "y.avi");
    EXPECT_FALSE(r.rehearse(moved_away, kActionRename, log));
    EXPECT_EQ(rehearse(r, in + "b.avi", 1, in, "a.avi"), "");
    // Moves and copies: a file in the way is not replaced unasked; a folder never is.
    EXPECT_EQ(rehearse(r, in + "c.avi", 2, out, "there.avi"), declined);
    EXPECT_EQ(rehearse(r, in + "c.avi", 3, out, "folder.avi"),
              "The file operation failed. Windows reports error 128");
    EXPECT_EQ(rehearse(r, in + "c.avi", 3, out, "copied.avi"), "");
    EXPECT_EQ(rehearse(r, in + "d.avi", 2, out, "copied.avi"), declined);
    // A folder make_tree creates counts as there; one below a missing top-level folder not.
    EXPECT_EQ(rehearse(r, in + "d.avi", 2, out + "new/deeper/", "d.avi"), "");
    EXPECT_EQ(rehearse(r, in + "c.avi", 3, "/nonexistent-vantel-top/tv/", "c.avi"), declined);

    FileopsRehearsal yes({.replace = true});
    EXPECT_EQ(rehearse(yes, in + "c.avi", 2, out, "there.avi"), "");

    // Nothing was touched.
    for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi", "taken.avi"})
        EXPECT_EQ(readFile(in + name), name);
    EXPECT_FALSE(exists(in + "new.avi"));
    EXPECT_FALSE(exists(out + "copied.avi"));
    EXPECT_FALSE(exists(out + "new"));
    EXPECT_EQ(readFile(out + "there.avi"), "there");
}

}  // namespace

}  // namespace vantel
