#include "renamer/engine/main_commands.h"

#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

namespace vantel {

namespace {

TEST(MainCommands, TheOpenDialogFilterListsEveryType) {
    EXPECT_EQ(openFileFilter("avi;mkv;mpg;mp4"),
              "Supported Types|*.avi;*.mkv;*.mpg;*.mp4|All Files|*.*");
    EXPECT_EQ(openFileFilter("ogm"), "Supported Types|*.ogm|All Files|*.*");
    EXPECT_EQ(openFileFilter("avi;;mkv;"), "Supported Types|*.avi;*.mkv|All Files|*.*");
}

TEST(MainCommands, ChosenFilesAreQueuedInOrderWithTheirFullPaths) {
    TestTree tree;
    Core core;
    const std::vector<std::string> files = {
        tree.file("b/Show.S01E02.mkv"), tree.file("a/Show.S01E01.avi"), tree.file("a/notes.txt")};
    EXPECT_EQ(queueFiles(core, files), 2);
    ASSERT_EQ(core.queueCount(), 2);
    EXPECT_EQ(core.item(1).path, files[0]);
    EXPECT_EQ(core.item(2).path, files[1]);
    EXPECT_TRUE(core.timer1Enabled());
    EXPECT_EQ(queueFiles(core, {}), 0);
    core.unloadMainWindow();
    EXPECT_EQ(queueFiles(core, {tree.file("c/Show.S01E03.mkv")}), 0);
}

}  // namespace

}  // namespace vantel
