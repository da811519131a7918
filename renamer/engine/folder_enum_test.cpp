#include "renamer/engine/folder_enum.h"

#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

namespace vantel {

namespace fs = std::filesystem;

namespace {

using Files = std::vector<std::string>;

TEST(EnumFolder, ListsEveryFileDepthFirstInNameOrder) {
    TestTree tree;
    for (const char* f : {"a.mkv", "sub/b.avi", "c.txt", "Sample/d.mkv", "sub/deeper/e.mp4"}) {
        tree.file(f);
    }
    fs::create_directories(tree.path("empty"));
    Files files;
    EnumFolder(tree.root(), tree.root().size(), files, nullptr);
    EXPECT_EQ(files, (Files{"Sample/d.mkv", "a.mkv", "c.txt", "sub/b.avi", "sub/deeper/e.mp4"}));

    // Walking a subfolder with the prefix of the top keeps the subfolder's name in each path.
    Files below;
    EnumFolder(tree.path("sub/"), tree.root().size(), below, nullptr);
    EXPECT_EQ(below, (Files{"sub/b.avi", "sub/deeper/e.mp4"}));
}

TEST(EnumFolder, FollowsLinksButNeverWalksAFolderTwice) {
    TestTree tree;
    tree.file("show/a.mkv");
    fs::create_directory_symlink(tree.path("show"), tree.path("alias"));
    fs::create_directory_symlink(tree.root(), tree.path("show/loop"));  // points back up
    fs::create_symlink(tree.path("show/a.mkv"), tree.path("link.mkv"));
    fs::create_symlink(tree.path("gone.mkv"), tree.path("broken.mkv"));
    Files files;
    EnumFolder(tree.root(), tree.root().size(), files, nullptr);
    // "alias" is walked first (name order) and so "show" is the second visit of that folder.
    EXPECT_EQ(files, (Files{"alias/a.mkv", "link.mkv"}));
}

TEST(EnumFolder, PumpsTwiceEveryHundredFilesAndStopsWhenAsked) {
    TestTree tree;
    for (int i = 0; i < 250; ++i)
        tree.file("f" + std::to_string(1000 + i) + ".mkv");
    int pumps = 0;
    Files files;
    EnumFolder(tree.root(), tree.root().size(), files, [&] {
        ++pumps;
        return true;
    });
    EXPECT_EQ(files.size(), 250u);
    EXPECT_EQ(pumps, 4);

    // The window closed during the first pause: the walk ends there.
    files.clear();
    EnumFolder(tree.root(), tree.root().size(), files, [] { return false; });
    EXPECT_EQ(files.size(), 100u);

    files.clear();
    EnumFolder(tree.path("missing/"), 0, files, nullptr);
    EXPECT_TRUE(files.empty());
}

}  // namespace

}  // namespace vantel
