// The file operation as the driver's stage, and the undo command, on real files.

#include "renamer/common/reg.h"
#include "renamer/engine/fileops.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_fileops.h"

#include <regex>

namespace vantel {

namespace {

using namespace shelltest;
using Lines = std::vector<std::string>;

class CoreFileOps : public FileOpsTest {
  protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        ::setenv(kRegistryDirVariable, path("registry").c_str(), 1);
        core.setLogClock([] { return std::string("t"); });
        core.settings().logging = 2;
        // The real file operation, with the action of the scripted filter list.
        stages.on_fileops = [this](Core& c, int32_t index) {
            return stages.PipelineStages::fileops(c, index);
        };
    }
    void TearDown() override {
        ::unsetenv(kRegistryDirVariable);
        FileOpsTest::TearDown();
    }

    // Queues source and runs it through a pass whose filter sends it to folder + name with
    // action; returns its index.
    int32_t process(const std::string& source, int32_t action, const std::string& folder,
                    const std::string& name) {
        EXPECT_TRUE(core.add_to_queue(source, false));
        stages.action = action;
        stages.on_dofilter = [=](Core& c, int32_t index) {
            c.item(index).new_name = name;
            c.item(index).target_folder = folder;
            c.item(index).filter_index = 1;
            return true;
        };
        core.process_queue();
        return core.queueCount();
    }

    // A fresh file of unique bytes in a folder of its own, taken through a pass by action: a
    // rename stays in the folder, a move or copy goes to its "out/" folder.
    struct Done {
        int32_t index;
        std::string source, dest, data;
    };
    Done processed(const std::string& name, int32_t action) {
        view.log.clear();
        const std::string dir = folder(name) + "/";
        Done done{0, dir + "show.s01e02.avi", "", randomBytes(6000, ++m_seed)};
        writeFile(done.source, done.data);
        const std::string target = action == 1 ? dir : dir + "out/";
        done.index = process(done.source, action, target, "Show - 1x02.avi");
        done.dest = target + "Show - 1x02.avi";
        return done;
    }

    bool logged(const std::string& line) const {
        return std::find(view.log.begin(), view.log.end(), "(t) " + line) != view.log.end();
    }

    RecordingView view;
    ScriptedStages stages;
    Core core{&view, &stages};

  private:
    unsigned m_seed = 100;
};

// The Path= line of a .trashinfo file, decoded enough for the names these tests use.
std::string trashedFrom(const std::string& info) {
    std::smatch m;
    std::string text = readFile(info);
    if (!std::regex_search(text, m, std::regex("\nPath=(.*)\n"))) return "";
    return std::regex_replace(m[1].str(), std::regex("%20"), " ");
}

TEST_F(CoreFileOps, TheDriverFailsTheItemWithTheOperationsReason) {
    const std::string data = randomBytes(4000, 11);
    writeFile(folder("in") + "/lost.s01e01.avi", data);
    writeFile(folder("out") + "/Lost.avi", "theirs");
    int32_t i = process(path("in/lost.s01e01.avi"), 2, path("out/"), "Lost.avi");
    EXPECT_EQ(core.item(i).state, kStateFailed);
    EXPECT_EQ(core.item(i).error_text, "The file operation failed. Windows reports error 1223");
    EXPECT_TRUE(logged("Unable to rename/move files for: Lost.avi"));
    EXPECT_EQ(readFile(path("out/Lost.avi")), "theirs");
    EXPECT_EQ(readFile(path("in/lost.s01e01.avi")), data);
    EXPECT_FALSE(core.undoMenuEntry(i).enabled);
}

TEST_F(CoreFileOps, EachActionIsUndoneAndTheItemSaysSo) {
    struct Case {
        int32_t action;
        std::string folder;  // "" for the source's own folder
        std::string caption;
    };
    for (const Case& c : std::vector<Case>{{1, "", "Undo Rename"},
                                           {2, "tv/Lost/Season 1/", "Undo Move/Rename"},
                                           {3, "copies/", "Undo Copy/Rename"}}) {
        SCOPED_TRACE(c.action);
        const std::string data = randomBytes(30000, 20 + c.action);
        const std::string source = folder("in" + std::to_string(c.action)) + "/lost.s01e05.avi";
        writeFile(source, data);
        const std::string target = c.folder.empty() ? getpath(source, 0) : path(c.folder);
        int32_t i = process(source, c.action, target, "Lost - 1x05 - Pilot.avi");
        ASSERT_EQ(core.item(i).state, kStateDone) << core.item(i).error_text;
        const std::string dest = target + "Lost - 1x05 - Pilot.avi";
        ASSERT_EQ(readFile(dest), data);
        EXPECT_TRUE(logged(c.action == 1   ? "Renaming lost.s01e05.avi to Lost - 1x05 - Pilot.avi"
                           : c.action == 2 ? "Moving " + source + " to " + dest
                                           : "Copying " + source + " to " + dest));

        EXPECT_EQ(core.undoMenuEntry(i).caption, c.caption);
        EXPECT_TRUE(core.undoMenuEntry(i).enabled);
        ASSERT_TRUE(core.mnuUndo_Click(i));
        EXPECT_EQ(core.item(i).state, kStateCancelled);
        EXPECT_EQ(core.item(i).error_text, "The file operation has been undone");
        EXPECT_EQ(view.rows[i].status, "Cancelled");
        EXPECT_EQ(view.rows[i].new_name, "");
        EXPECT_TRUE(logged("Undone file operatrion"));
        EXPECT_EQ(readFile(source), data);
        EXPECT_FALSE(exists(dest));
        if (c.action == 3) {
            // The copy is in the Trash with where it came from, and can be put back.
            const std::string trashed = trash + "/files/Lost - 1x05 - Pilot.avi";
            const std::string info = trash + "/info/Lost - 1x05 - Pilot.avi.trashinfo";
            EXPECT_EQ(trashedFrom(info),
                      fs::canonical(target).string() + "/Lost - 1x05 - Pilot.avi");
            fs::rename(trashed, dest);
            EXPECT_EQ(readFile(dest), data);
            EXPECT_EQ(countCopies(root, data), 2);
        } else {
            EXPECT_EQ(countCopies(root, data), 1);
        }
        // An undone item offers no second undo.
        EXPECT_FALSE(core.undoMenuEntry(i).enabled);
        EXPECT_FALSE(core.mnuUndo_Click(i));
    }
}

TEST_F(CoreFileOps, AnUndoThatCannotBeDoneFailsTheItemAndKeepsTheFiles) {
    struct Case {
        const char* name;
        int32_t action;
        bool old_name_taken;  // a new file has the old name
        bool file_removed;    // the user removed the renamed file
        const char* detail;   // the reason in the log
    };
    for (const Case& c : std::vector<Case>{
             {"old name taken", 1, true, false, "File rename failed. Destination already exists"},
             {"renamed file removed", 1, false, true, "Undo rename failed. Source file not found"},
             {"moved file removed", 2, false, true, "Undo rename failed. Source file not found"},
             {"copy removed", 3, false, true, "Undo rename failed. Source file not found"},
         }) {
        SCOPED_TRACE(c.name);
        Done done = processed(std::string("case ") + c.name, c.action);
        ASSERT_EQ(core.item(done.index).state, kStateDone);
        const int32_t i = done.index;
        const std::string &source = done.source, &data = done.data;
        if (c.old_name_taken) writeFile(source, "new file under the old name");
        if (c.file_removed) fs::rename(done.dest, getpath(source, 0) + "elsewhere.avi");

        EXPECT_FALSE(core.mnuUndo_Click(i));
        EXPECT_EQ(core.item(i).state, kStateFailed);
        EXPECT_EQ(core.item(i).error_text, "The file undo operation failed");
        EXPECT_EQ(view.rows[i].status, "Failed");
        EXPECT_TRUE(logged(c.detail));
        EXPECT_TRUE(logged("Failed to undo file operation"));
        if (c.old_name_taken) {
            EXPECT_EQ(readFile(source), "new file under the old name");
        }
        EXPECT_EQ(countCopies(root, data), c.action == 3 ? 2 : 1);
    }
}

TEST_F(CoreFileOps, UndoFollowsTheFilterNowAtFilterIndex) {
    struct Case {
        int32_t done_action, undo_action;
        bool undone;
        const char* detail;  // a line the log must hold
    };
    const std::vector<Case> cases = {
        // A move back does what the rename back would.
        {1, 2, true, "Undone file operatrion"},
        // Trashing the "copy" would take the only file the user has: refused.
        {1, 3, false, "Undo of the copy refused: the original {src} is gone, so {dest} is kept"},
        // A rename cannot cross folders.
        {2, 1, false, "File operation failed (115)"},
        // The original is still there: not replaced unasked.
        {3, 2, false, "File operation failed (1223)"},
        {3, 1, false, "File rename failed. Destination already exists"},
        // The filter is gone: nothing undone, and not reported as undone.
        {1, 0, false, "Nothing to undo with: filter 1 has no rename, move or copy action"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.done_action) + " then " + std::to_string(c.undo_action));
        Done done = processed("follow" + std::to_string(++n), c.done_action);
        ASSERT_EQ(core.item(done.index).state, kStateDone);
        const int32_t i = done.index;
        const std::string &source = done.source, &dest = done.dest, &data = done.data;

        stages.action = c.undo_action;  // the filter list was edited meanwhile
        EXPECT_EQ(core.mnuUndo_Click(i), c.undone);
        std::string detail = c.detail;
        if (detail.find("{src}") != std::string::npos) {
            detail = "Undo of the copy refused: the original " + source + " is gone, so " + dest +
                     " is kept";
        }
        EXPECT_TRUE(logged(detail)) << detail;
        EXPECT_EQ(core.item(i).state, c.undone ? kStateCancelled : kStateFailed);
        // The user's bytes: once, or twice where a copy was made; never lost.
        EXPECT_EQ(countCopies(root, data), c.done_action == 3 ? 2 : 1);
        EXPECT_EQ(exists(source), c.undone || c.done_action == 3);
    }
}

TEST_F(CoreFileOps, TheUndoEntryIsOfferedForDoneItemsOnly) {
    writeFile(folder("in") + "/a.avi", "a");
    ASSERT_TRUE(core.add_to_queue(path("in/a.avi"), false));
    struct Case {
        ItemState state;
        int32_t action;
        Core::UndoMenuEntry entry;
    };
    for (const Case& c : std::vector<Case>{
             {kStateDone, 1, {"Undo Rename", true}},
             {kStateDone, 2, {"Undo Move/Rename", true}},
             {kStateDone, 3, {"Undo Copy/Rename", true}},
             {kStateDone, 0, {"Undo Rename", true}},
             {kStateFileOperation, 2, {"Undo Rename", false}},
             {kStateInactive, 3, {"Undo Rename", false}},
             {kStateFailed, 2, {"Undo Rename", false}},
             {kStateCancelled, 3, {"Undo Rename", false}},
         }) {
        core.item(1).state = c.state;
        core.item(1).filter_index = 1;
        stages.action = c.action;
        Core::UndoMenuEntry entry = core.undoMenuEntry(1);
        EXPECT_EQ(entry.caption, c.entry.caption) << c.state << "/" << c.action;
        EXPECT_EQ(entry.enabled, c.entry.enabled) << c.state << "/" << c.action;
        if (c.state != kStateDone) {
            EXPECT_FALSE(core.mnuUndo_Click(1));
            EXPECT_EQ(core.item(1).state, c.state);
        }
    }
    EXPECT_FALSE(core.undoMenuEntry(0).enabled);
    EXPECT_FALSE(core.undoMenuEntry(2).enabled);
    EXPECT_FALSE(core.mnuUndo_Click(2));
}

}  // namespace

}  // namespace vantel
