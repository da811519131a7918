#include "renamer/engine/item_menu.h"

#include "renamer/engine/core.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vantel {

namespace {

class ItemMenu : public ::testing::Test {
  protected:
    void SetUp() override {
        core.settings().workdir = tree.path("work/");
        core.setStages(&stages);
        for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi"}) {
            std::ofstream(tree.path(name)) << "x";
            core.add_to_queue(tree.path(name), false);
        }
        core.item(1).state = kStateInactive;
        core.item(2).state = kStateDone;
        core.item(2).filter_index = 1;
        core.item(3).state = kStateFailed;
        core.item(3).detected_show = "lost";
        core.item(4).state = kStateCancelled;
    }

    TestTree tree;
    RecordingView view;
    ScriptedStages stages;
    Core core{&view};
};

TEST_F(ItemMenu, EntriesFollowTheItemsState) {
    QueueMenuState waiting = queueMenuState(core, 1);
    EXPECT_EQ(waiting.undo_caption, "Undo Rename");
    EXPECT_FALSE(waiting.undo_enabled || waiting.info_enabled || waiting.specify_enabled);

    stages.action = kActionMove;
    QueueMenuState done = queueMenuState(core, 2);
    EXPECT_EQ(done.undo_caption, "Undo Move/Rename");
    EXPECT_TRUE(done.undo_enabled);
    EXPECT_TRUE(done.info_enabled);
    EXPECT_FALSE(done.specify_enabled);

    QueueMenuState failed = queueMenuState(core, 3);
    EXPECT_FALSE(failed.undo_enabled);
    EXPECT_TRUE(failed.info_enabled);
    EXPECT_TRUE(failed.specify_enabled);

    // Cancelled, but no show name was detected: nothing to make an exception of.
    QueueMenuState cancelled = queueMenuState(core, 4);
    EXPECT_TRUE(cancelled.info_enabled);
    EXPECT_FALSE(cancelled.specify_enabled);

    // While a pass runs no exception is added.
    core.flags().busy = true;
    EXPECT_FALSE(queueMenuState(core, 3).specify_enabled);

    QueueMenuState outside = queueMenuState(core, 9);
    EXPECT_FALSE(outside.undo_enabled || outside.info_enabled || outside.specify_enabled);
}

TEST_F(ItemMenu, InfoShowsWhatEachEndingLeft) {
    QueueItem done = core.item(2);
    done.new_name = "Show - 1x05 - Title.avi";
    done.show_url = "\"https://www.tvmaze.com/shows/1/show\"";
    done.episode_url = "https://www.tvmaze.com/episodes/5/x";
    ItemInfo info = itemInfo(done);
    EXPECT_EQ(info.file_name, "Filename: b.avi");
    EXPECT_EQ(info.status, "Status: Done");
    EXPECT_EQ(info.new_name, "New Name: Show - 1x05 - Title.avi");
    EXPECT_EQ(info.show_link, "https://www.tvmaze.com/shows/1/show");
    EXPECT_EQ(info.episode_link, "https://www.tvmaze.com/episodes/5/x");
    EXPECT_TRUE(info.details.empty());

    QueueItem failed = core.item(3);
    failed.error_text = "Show not found";
    info = itemInfo(failed);
    EXPECT_EQ(info.status, "Status: Failed");
    EXPECT_EQ(info.details, "Error: Show not found");
    EXPECT_TRUE(info.new_name.empty() && info.show_link.empty());

    QueueItem cancelled = core.item(4);
    cancelled.error_text = "The file operation has been undone";
    info = itemInfo(cancelled);
    EXPECT_EQ(info.status, "Status: Cancelled");
    EXPECT_EQ(info.details, "Desc: The file operation has been undone");

    EXPECT_TRUE(hasItemInfo(kStateDone));
    EXPECT_TRUE(hasItemInfo(kStateFailed));
    EXPECT_FALSE(hasItemInfo(kStateFileOperation));
}

}  // namespace

}  // namespace vantel
