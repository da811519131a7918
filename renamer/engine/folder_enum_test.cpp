#include "renamer/engine/folder_enum.h"

#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// Names are ordered by a key of eight bytes from where the names of a folder start to differ,
// and by the rest after that: byte order must come out whatever the names share, wherever they
// differ, and whichever is a prefix of another.
TEST(EnumFolder, NamesComeInByteOrderWhateverTheyShare) {
    const std::string starts[] = {"", "Show.Name.S01E0", "show.name.s01e01.mkv"};
    const std::string ends[] = {"1.mkv",  "1.mkv.part",   "1.mkv.part.one", "1.mkv.part.two",
                                "10.mkv", "2.mkv",        "1\xc3\xa9.mkv",  "1.MKV",
                                "A.mkv",  "12345678.mkv", "12345678.mkv.x", "123456789"};
    TestTree tree;
    Files expected;
    for (size_t i = 0; i < std::size(starts); ++i) {
        const std::string folder = "f" + std::to_string(i) + "/";
        Files names;
        for (const std::string& end : ends)
            names.push_back(starts[i] + end);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            tree.file(folder + name);
            expected.push_back(folder + name);
        }
    }
    Files files;
    EnumFolder(tree.root(), tree.root().size(), files, nullptr);
    EXPECT_EQ(files, expected);
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
