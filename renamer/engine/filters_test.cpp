#include "renamer/engine/filters.h"

#include "renamer/common/textfile.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vantel {

namespace {

QueueItem episode(const std::string& show, int32_t season, int32_t number, const std::string& title,
                  const std::string& path) {
    QueueItem item;
    item.show_title = show;
    item.season = season;
    item.episode = number;
    item.episode_title = title;
    item.path = path;
    item.file_name = path.substr(path.rfind('/') + 1);
    return item;
}

ActionFilter showFilter(const std::string& pattern, int32_t mode, bool enabled = true) {
    ActionFilter f = defaultFilter();
    f.show_pattern = pattern;
    f.show_mode = mode;
    f.enabled = enabled;
    return f;
}

ActionFilter typeFilter(const std::string& pattern, int32_t mode, bool enabled = true) {
    ActionFilter f = showFilter("", 0, enabled);
    f.type_pattern = pattern;
    f.type_mode = mode;
    return f;
}

FilterList listOf(std::initializer_list<ActionFilter> filters) {
    FilterList list;
    for (const ActionFilter& f : filters)
        list.append(f);
    return list;
}

TEST(Dofilter, NewNamesAndTargetFolders) {
    struct Case {
        const char* name;
        ActionFilter filter;
        QueueItem item;
        const char* new_name;
        const char* target_folder;
    };
    ActionFilter move = defaultFilter();
    move.action = kActionMove;
    move.dest_folder = "/tv/[show]/Season [s]";
    ActionFilter copy = defaultFilter();
    copy.action = kActionCopy;
    copy.dest_folder = "/tv/[ss]/[e] [Show]/";
    copy.name_mask = "[show].S[ss]E[ee].[e].[title][title]";
    const QueueItem lost = episode("Lost", 1, 5, "Pilot", "/videos/in/x.AVI");
    const Case cases[] = {
        {"default filter", defaultFilter(), lost, "Lost - 1x05 - Pilot.avi", "/videos/in/"},
        {"move", move, episode("Lost", 3, 12, "Par Avion", "/in/a.mkv"),
         "Lost - 3x12 - Par Avion.mkv", "/tv/Lost/Season 3/"},
        // Every token everywhere; only the season tokens in the folder; tokens are case-sensitive.
        {"copy", copy, episode("Lost", 123, 7, "Ab", "/in/a.avi"), "Lost.S123E07.7.AbAb.avi",
         "/tv/123/[e] [Show]/"},
        {"a file queued without a folder", defaultFilter(), episode("Lost", 1, 5, "Pilot", "x.avi"),
         "Lost - 1x05 - Pilot.avi", "./"},
        {"no extension", defaultFilter(), episode("Lost", 1, 5, "Pilot", "/in/lost105"),
         "Lost - 1x05 - Pilot.lost105", "/in/"},
        // Titles lose what would make the name a path, or cut it short.
        {"slash and NUL", move,
         episode("AC/DC", 1, 5, std::string("Live\0 /Wire", 11), "/in/a.avi"),
         "ACDC - 1x05 - Live Wire.avi", "/tv/ACDC/Season 1/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ActivityLog log;
        QueueItem item = c.item;
        ASSERT_TRUE(dofilter(item, listOf({c.filter}), log));
        EXPECT_EQ(item.new_name, c.new_name);
        EXPECT_EQ(item.target_folder, c.target_folder);
        EXPECT_EQ(item.filter_index, 1);
    }
}

TEST(Dofilter, Conditions) {
    struct Case {
        const char* name;
        ActionFilter filter;
        const char* show;
        const char* file;
        bool matches;
    };
    ActionFilter both = typeFilter("avi", kModeEquals);
    both.show_pattern = "heroes";
    both.show_mode = kModeEquals;
    const Case cases[] = {
        {"doesn't equal, same show", showFilter("lost", kModeDoesntEqual), "Lost", "a.avi", false},
        {"doesn't equal, other show", showFilter("lost", kModeDoesntEqual), "Heroes", "a.avi",
         true},
        {"doesn't equal, empty title", showFilter("lost", kModeDoesntEqual), "", "a.avi", true},
        {"any mode but 1 is doesn't equal", showFilter("lost", 7), "Heroes", "a.avi", true},
        {"wildcards", showFilter("l?st [a-z]*#", kModeEquals), "LOST Girl 2", "a.avi", true},
        {"type equals", typeFilter("avi", kModeEquals), "Lost", "x.AVI", true},
        {"type equals, other type", typeFilter("avi", kModeEquals), "Lost", "x.mkv", false},
        {"type doesn't equal", typeFilter("avi", kModeDoesntEqual), "Lost", "x.mkv", true},
        {"type digit", typeFilter("mp#", kModeEquals), "Lost", "x.mp4", true},
        {"both: the type holds", both, "Lost", "x.avi", true},
        {"both: the show holds", both, "Heroes", "x.mkv", true},
        {"both: neither holds", both, "Lost", "x.mkv", false},
        {"no pattern at all", showFilter("", kModeEquals), "Lost", "x.avi", false},
        {"malformed, equals", showFilter("[lost", kModeEquals), "[lost", "x.avi", false},
        {"malformed, doesn't equal", showFilter("[lost", kModeDoesntEqual), "Heroes", "x.avi",
         false},
    };
    for (const Case& c : cases) {
        ActivityLog log;
        QueueItem item = episode(c.show, 1, 2, "T", std::string("/in/") + c.file);
        EXPECT_EQ(dofilter(item, listOf({c.filter}), log), c.matches) << c.name;
        if (!c.matches) {
            EXPECT_EQ(item.new_name, "") << c.name;
        }
    }
}

TEST(Dofilter, TheFirstEnabledFilterThatMatchesIsChosen) {
    const ActionFilter avi = typeFilter("avi", kModeEquals);
    const ActionFilter avi_off = typeFilter("avi", kModeEquals, false);
    const ActionFilter any_off = showFilter("*", kModeEquals, false);
    ActionFilter both_off = avi_off;
    both_off.show_pattern = "*";
    both_off.show_mode = kModeEquals;
    struct Case {
        const char* name;
        FilterList filters;
        int32_t chosen;  // 0: none
    } cases[] = {
        {"disabled filters of every kind are passed over",
         listOf({any_off, avi_off, both_off, showFilter("lost", kModeDoesntEqual), avi}), 5},
        {"the first match wins", listOf({showFilter("*", kModeEquals), avi}), 1},
        {"only disabled filters", listOf({any_off, both_off}), 0},
        {"no filters", FilterList{}, 0},
    };
    for (const Case& c : cases) {
        ActivityLog log;
        QueueItem item = episode("Lost", 1, 2, "T", "/in/x.avi");
        EXPECT_EQ(dofilter(item, c.filters, log), c.chosen != 0) << c.name;
        EXPECT_EQ(item.filter_index, c.chosen) << c.name;
    }
}

class FilterFile : public ::testing::Test {
  protected:
    void SetUp() override {
        log.setClock([] { return "t"; });
    }
    std::string file() const { return tree.path("filters.dat"); }
    void write(const std::string& text) const { ASSERT_TRUE(WriteTextFile(file(), text)); }
    bool load() { return list.loadfilters(tree.root(), log, view); }
    bool save() { return list.savefilters(tree.root(), log); }

    TestTree tree;
    ActivityLog log;
    RecordingView view;
    FilterList list;
};

TEST_F(FilterFile, WithoutAFileTheDefaultFilterIsUsedButNotWritten) {
    ASSERT_TRUE(load());
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(1), defaultFilter());
    EXPECT_FALSE(std::filesystem::exists(file()));
    ASSERT_EQ(view.lists[CoreList::Filters].size(), 1u);
    EXPECT_EQ(view.lists[CoreList::Filters][0].key, "F1");
    EXPECT_EQ(view.lists[CoreList::Filters][0].columns,
              (std::vector<std::string>{"Show Name Equals Anything", "Rename",
                                        "[show] - [s]x[ee] - [title]", ""}));
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()),
              "1\tTrue\t\t*\t\t[show] - [s]x[ee] - [title]\tShow Name Equals Anything\t0\t1\r\n");
}

TEST_F(FilterFile, ASavedListReadsBackByteForByte) {
    const std::string text =
        "2\tTrue\t\tlost\t/tv/[show]/Season [s]/\t[show] [s]x[ee]\tShow Name Equals lost\t0\t1\r\n"
        "3\tFalse\tmkv\t\t/copies/\t[title]\tFile Type Doesn't Equal mkv\t2\t0\r\n"
        "1\tTrue\t\t*\t\tCafé [title]\tShow Name Equals Anything\t0\t1\r\n";
    write(text);
    ASSERT_TRUE(load());
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(1).dest_folder, "/tv/[show]/Season [s]/");
    EXPECT_FALSE(list.at(2).enabled);
    EXPECT_EQ(list.at(2).type_mode, kModeDoesntEqual);
    EXPECT_EQ(view.lists[CoreList::Filters][1].columns[1], "Copy & Rename");
    std::filesystem::remove(file());
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()), text);
}

TEST_F(FilterFile, ABadLineStopsLoadingAndASaveKeepsTheUnreadLines) {
    const std::string good = "1\tTrue\t\t*\t\t[show]\tShow Name Equals Anything\t0\t1\r\n";
    const std::string last = "2\tTrue\t\tlost\t/tv/\t[show]\tlost\t0\t1\r\n";
    struct Case {
        const char* bad_line;
        const char* reason;
    } cases[] = {
        {"1\tTrue\t\t*\t\t[show]\tEight fields\t0", "line 2 holds 8 fields, not 9"},
        {"one\tTrue\t\t*\t\t[show]\td\t0\t1", "line 2 field 1 is not a number"},
        {"1\tTrue\t\t*\t\t[show]\td\t0\t1x", "line 2 field 9 is not a number"},
        {"1\tTrue\t\t*\t\t[show]\td\t99999999999\t1", "line 2 field 8 is not a number"},
        {"1\tyes\t\t*\t\t[show]\td\t0\t1", "line 2 field 2 is neither True nor False"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bad_line);
        const std::string text = good + c.bad_line + "\r\n" + last;
        write(text);
        view.refills.clear();
        EXPECT_FALSE(load());
        EXPECT_EQ(log.lines().back(), std::string("(t) Error loading afilters: ") + c.reason);
        ASSERT_EQ(list.count(), 3);
        EXPECT_EQ(list.at(1).name_mask, "[show]");
        for (int32_t i : {2, 3}) {
            EXPECT_FALSE(list.at(i).enabled);
            EXPECT_EQ(list.at(i).show_pattern, "");
        }
        EXPECT_EQ(view.refills[CoreList::Filters], 0);
        // The filters that did not load take part in nothing, and are not lost by a save.
        QueueItem item = episode("Lost", 1, 2, "T", "/in/x.avi");
        list.at(1).enabled = false;
        EXPECT_FALSE(dofilter(item, list, log));
        list.at(1).enabled = true;
        ASSERT_TRUE(save());
        EXPECT_EQ(ReadTextFile(file()), text);
    }
}

}  // namespace

}  // namespace vantel
