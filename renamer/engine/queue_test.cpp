#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

namespace vantel {

namespace {

std::vector<std::string> queuedPaths(const Core& core) {
    std::vector<std::string> paths;
    for (int32_t i = 1; i <= core.queueCount(); ++i)
        paths.push_back(core.item(i).path);
    return paths;
}

TEST(AddToQueue, AFolderQueuesItsVideoFilesButNoSamples) {
    TestTree tree;
    for (const char* f : {"a.mkv", "sub/b.avi", "c.txt", "Sample/d.mkv"})
        tree.file(f);
    RecordingView view;
    Core core(&view);
    EXPECT_FALSE(core.add_to_queue(tree.path(""), false));  // a folder always answers false
    EXPECT_EQ(queuedPaths(core),
              (std::vector<std::string>{tree.path("a.mkv"), tree.path("sub/b.avi")}));
    EXPECT_EQ(core.item(2).file_name, "b.avi");
    EXPECT_EQ(core.item(2).state, kStateInactive);
    EXPECT_EQ(view.rows[1].text, "a");
    EXPECT_EQ(view.rows[2].text, "b");
    // The folder's files are added with start set, whatever the caller passed.
    EXPECT_TRUE(core.timer1Enabled());

    // A folder given without its trailing "/" walks the same.
    Core again;
    again.add_to_queue(tree.path("sub"), false);
    EXPECT_EQ(queuedPaths(again), (std::vector<std::string>{tree.path("sub/b.avi")}));
}

// The row texts of a folder's files are built in room kept from one row to the next.
TEST(AddToQueue, EachRowHoldsItsOwnNameWithoutTheExtension) {
    TestTree tree;
    for (const char* f : {"a.long.name.of.an.episode.1080p.mkv", "b.mkv", "c.d.avi"})
        tree.file(f);
    RecordingView view;
    Core core(&view);
    core.add_to_queue(tree.path(""), false);
    ASSERT_EQ(core.queueCount(), 3);
    EXPECT_EQ(view.rows[1].text, "a.long.name.of.an.episode.1080p");
    EXPECT_EQ(view.rows[2].text, "b");
    EXPECT_EQ(view.rows[3].text, "c.d");
    EXPECT_EQ(core.item(1).file_name, "a.long.name.of.an.episode.1080p.mkv");
}

TEST(AddToQueue, TheTallySaysWhyNothingWasQueued) {
    TestTree tree;
    for (const char* f : {"a.mkv", "sub/b.avi", "c.txt", "Sample/d.mkv", "sample.avi"})
        tree.file(f);
    Core core;
    Core::QueueTally folder;
    core.add_to_queue(tree.path(""), false, &folder);
    EXPECT_EQ(folder.added, 2);
    EXPECT_EQ(folder.unlisted_type, 1);
    EXPECT_EQ(folder.sample, 2);
    Core::QueueTally again;
    core.add_to_queue(tree.path("sub/"), false, &again);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.already_queued, 1);

    Core::QueueTally missing, too_long, too_short;
    EXPECT_FALSE(core.add_to_queue(tree.path("nothing.mkv"), false, &missing));
    EXPECT_EQ(missing.missing, 1);
    EXPECT_FALSE(core.add_to_queue(tree.path(std::string(300, 'x') + ".mkv"), false, &too_long));
    EXPECT_EQ(too_long.too_long, 1);
    EXPECT_FALSE(core.add_to_queue("\"a\"", false, &too_short));
    EXPECT_EQ(too_short.too_short, 1);
    EXPECT_EQ(missing.added + too_long.added + too_short.added, 0);
}

TEST(AddToQueue, DuplicatesAreExactPathsOnly) {
    TestTree tree;
    const std::string lower = tree.file("show.mkv");
    const std::string upper = tree.file("SHOW.mkv");
    Core core;
    EXPECT_TRUE(core.add_to_queue(lower, false));
    EXPECT_FALSE(core.add_to_queue(lower, false));
    EXPECT_TRUE(core.add_to_queue(upper, false));
    // Another spelling of the same file is another path.
    EXPECT_TRUE(core.add_to_queue(tree.root() + "/show.mkv", false));
    EXPECT_EQ(core.queueCount(), 3);
    // The whole folder again adds nothing new; resetQueue forgets everything.
    core.add_to_queue(tree.root(), false);
    EXPECT_EQ(core.queueCount(), 3);
    core.resetQueue();
    EXPECT_TRUE(core.add_to_queue(lower, false));
    EXPECT_EQ(core.queueCount(), 1);
}

// A folder's paths are hashed a few files ahead of queueing them: each must still be found
// under its own hash, at every place of a walk longer than that.
TEST(AddToQueue, AFolderAfterItsFilesOneByOneAddsNothing) {
    TestTree tree;
    Core core;
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(core.add_to_queue(tree.file("e" + std::to_string(10 + i) + ".mkv"), false));
    Core::QueueTally tally;
    core.add_to_queue(tree.path(""), false, &tally);
    EXPECT_EQ(tally.already_queued, 20);
    EXPECT_EQ(core.queueCount(), 20);
}

TEST(AddToQueue, ExtensionIsASubstringOfTheTypes) {
    TestTree tree;
    Core core;
    ASSERT_EQ(core.settings().types, "avi;mkv;mpg;mp4");
    struct Case {
        const char* name;
        bool queued;
        const char* row;
    };
    const Case cases[] = {
        {"a.mkv", true, "a"},
        {"b.kv", true, "b"},
        {"c.mp", true, "c"},
        {"d.MKV", true, "d"},
        {"e.txt", false, ""},
        {"f.mkv.txt", false, ""},
        {"g.", false, ""},
        {"h.i;m", true, "h"},
        // Without a "." in the name, the extension test sees the whole path.
        {"mkv", false, ""},
        {"x.tar.avi", true, "x.tar"},
    };
    RecordingView view;
    core.setView(&view);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(core.add_to_queue(tree.file(c.name), false), c.queued);
        if (c.queued) {
            EXPECT_EQ(view.rows[core.queueCount()].text, c.row);
        }
    }
    core.settings().types = "ogm";
    EXPECT_FALSE(core.add_to_queue(tree.file("z.mkv"), false));
    EXPECT_TRUE(core.add_to_queue(tree.file("z.ogm"), false));
}

TEST(AddToQueue, CommandLineTextIsOnePath) {
    TestTree tree;
    const std::string a = tree.file("dir one/a.mkv");
    const std::string b = tree.file("b.mkv");
    Core core;
    EXPECT_FALSE(core.add_to_queue("\"" + a + "\" \"" + b + "\"", false));  // two paths: nothing
    EXPECT_FALSE(core.add_to_queue(a + " " + b, false));
    EXPECT_TRUE(core.add_to_queue("\"" + a + "\"", false));
    EXPECT_TRUE(core.add_to_queue(b + "\"", false));  // only one quote, at the end
    EXPECT_EQ(queuedPaths(core), (std::vector<std::string>{a, b}));
    EXPECT_FALSE(core.add_to_queue("\"\"", false));
    EXPECT_FALSE(core.add_to_queue("/a", false));  // shorter than 3 characters after the quotes
    EXPECT_FALSE(core.add_to_queue(tree.path("missing.mkv"), false));
    EXPECT_FALSE(core.add_to_queue("", false));
}

TEST(AddToQueue, SampleAnywhereInThePathIsLeftOut) {
    TestTree tree;
    Core core;
    EXPECT_FALSE(core.add_to_queue(tree.file("Samples/a.mkv"), false));
    EXPECT_FALSE(core.add_to_queue(tree.file("show.sample.mkv"), false));
    EXPECT_FALSE(core.add_to_queue(tree.file("x/sAmPlE-b.avi"), false));
    EXPECT_FALSE(core.add_to_queue(tree.file("THE.SAMPLE.mkv"), false));
    // At every place against the eight-byte steps of the search, and after a near miss.
    for (int shift = 0; shift < 9; ++shift) {
        EXPECT_FALSE(core.add_to_queue(tree.file(std::string(shift, 'x') + "ssSaMpLe.mkv"), false))
            << shift;
        EXPECT_FALSE(core.add_to_queue(tree.file(std::string(shift, 'x') + "sampl.sample"), false))
            << shift;
    }
    EXPECT_TRUE(core.add_to_queue(tree.file("sampl.mkv"), false));
    // Bytes one bit away from the letters are other characters.
    EXPECT_TRUE(core.add_to_queue(tree.file("S\x01MPLE.mkv"), false));
    EXPECT_TRUE(core.add_to_queue(tree.file("sam\x50\x0c"
                                            "E.mkv"),
                                  false));
}

// Each folder of a walk is looked at once for "sample": a folder beside, below or above one
// with the word keeps its own answer.
TEST(AddToQueue, SampleInAFolderLeavesOutThatFolderOnly) {
    TestTree tree;
    for (const char* f :
         {"show/a.mkv", "show/Sample/b.mkv", "show/Sample/b2.mkv", "show/Sample/c/d.mkv",
          "show/e.mkv", "show.samplex/f.mkv", "show2/g.mkv", "show2/sample.h.mkv"})
        tree.file(f);
    Core core;
    Core::QueueTally tally;
    core.add_to_queue(tree.path(""), false, &tally);
    EXPECT_EQ(queuedPaths(core),
              (std::vector<std::string>{tree.path("show/a.mkv"), tree.path("show/e.mkv"),
                                        tree.path("show2/g.mkv")}));
    EXPECT_EQ(tally.sample, 5);
}

// A path longer than the system allows queues nothing, and the log says why.
TEST(AddToQueue, APathTooLongForTheSystemIsLogged) {
    TestTree tree;
    Core core;
    const std::string path = tree.path("") + std::string(5000, 'a') + ".mkv";
    EXPECT_FALSE(core.add_to_queue(path, false));
    EXPECT_EQ(core.queueCount(), 0);
    ASSERT_FALSE(core.log().lines().empty());
    EXPECT_NE(core.log().lines().back().find(": the path is longer than the system allows"),
              std::string::npos);
    EXPECT_NE(core.log().lines().back().find("Unable to queue " + tree.path("")),
              std::string::npos);
}

TEST(AddToQueue, OnlyAStartedAddArmsTheTimerAndNotDuringAPass) {
    TestTree tree;
    Core core;
    core.add_to_queue(tree.file("a.mkv"), false);
    EXPECT_FALSE(core.timer1Enabled());
    core.flags().busy = true;
    core.add_to_queue(tree.file("b.mkv"), true);
    EXPECT_FALSE(core.timer1Enabled());
    core.flags().busy = false;
    core.add_to_queue(tree.file("c.mkv"), true);
    EXPECT_TRUE(core.timer1Enabled());
    core.disableTimer1();
    EXPECT_FALSE(core.timer1Enabled());
}

}  // namespace

}  // namespace vantel
