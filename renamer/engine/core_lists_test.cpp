#include "renamer/common/reg.h"
#include "renamer/common/textfile.h"
#include "renamer/engine/core.h"
#include "renamer/engine/startup.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace vantel {

namespace {

class ListCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        core.settings().workdir = tree.root();
        core.setLogClock([] { return "t"; });
    }
    std::string filtersFile() const { return tree.path("filters.dat"); }
    std::string exceptionsFile() const { return tree.path("man.dat"); }
    // The first column of each row the view shows for a list.
    std::vector<std::string> shown(CoreList list) {
        std::vector<std::string> names;
        for (const ListRow& row : view.lists[list])
            names.push_back(row.columns.at(0));
        return names;
    }
    ActionFilter named(const std::string& description) {
        ActionFilter f = defaultFilter();
        f.description = description;
        return f;
    }

    TestTree tree;
    RecordingView view;
    Core core{&view};
};

using Names = std::vector<std::string>;

TEST_F(ListCommands, AddingAnExceptionSavesItAndShowsIt) {
    ASSERT_TRUE(core.loadefilters());
    EXPECT_TRUE(core.addException("Doctor Who 2005", "Doctor Who (2005)"));
    EXPECT_TRUE(core.addException("Lost", "Lost (2004)"));
    EXPECT_EQ(ReadTextFile(exceptionsFile()),
              "Doctor Who 2005\tDoctor Who (2005)\r\nLost\tLost (2004)\r\n");
    EXPECT_EQ(shown(CoreList::Exceptions), (Names{"Doctor Who 2005", "Lost"}));
}

TEST_F(ListCommands, RemovingAnExceptionSelectsTheSameRowOrTheNewLastOne) {
    for (const char* name : {"a", "b", "c"})
        core.addException(name, "x");
    core.removeException(2);
    EXPECT_EQ(shown(CoreList::Exceptions), (Names{"a", "c"}));
    EXPECT_EQ(view.selected[CoreList::Exceptions], 2);
    core.removeException(2);  // the last row: the previous one is selected
    EXPECT_EQ(view.selected[CoreList::Exceptions], 1);
    core.removeException(5);  // no such row
    EXPECT_EQ(core.exceptions().count(), 1);
    // Removing the only exception deletes the file; loading it then gives an empty list.
    core.removeException(1);
    EXPECT_FALSE(std::filesystem::exists(exceptionsFile()));
    EXPECT_TRUE(core.loadefilters());
    EXPECT_EQ(core.exceptions().count(), 0);
    EXPECT_TRUE(shown(CoreList::Exceptions).empty());
}

TEST_F(ListCommands, TheLastFilterIsNeverRemoved) {
    ASSERT_TRUE(core.loadfilters());  // no file: the default filter
    core.removeFilter(1);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, "Unable to remove filter");
    EXPECT_EQ(view.messages[0].text, "You must have at least one filter");
    EXPECT_EQ(view.messages[0].icon, kIconWarning);
    EXPECT_FALSE(view.messages[0].offer_dont_show);
    EXPECT_EQ(core.filters().count(), 1);
    EXPECT_FALSE(std::filesystem::exists(filtersFile()));

    core.addFilter(named("second"));
    core.removeFilter(2);
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(shown(CoreList::Filters), (Names{"Show Name Equals Anything"}));
    EXPECT_EQ(view.selected[CoreList::Filters], 1);
    EXPECT_EQ(ReadTextFile(filtersFile()),
              "1\tTrue\t\t*\t\t[show] - [s]x[ee] - [title]\tShow Name Equals Anything\t0\t1\r\n");
}

TEST_F(ListCommands, EditingAFilterReplacesItInPlace) {
    ASSERT_TRUE(core.loadfilters());
    core.addFilter(named("second"));
    ActionFilter moved = named("moved");
    moved.action = kActionMove;
    moved.dest_folder = "/tv/";
    moved.removed = true;  // whatever the wizard left in it, the entry is a live one
    EXPECT_TRUE(core.editFilter(1, moved));
    EXPECT_FALSE(core.editFilter(3, moved));
    EXPECT_EQ(shown(CoreList::Filters), (Names{"moved", "second"}));
    ASSERT_TRUE(core.loadfilters());
    EXPECT_EQ(core.filters().at(1).dest_folder, "/tv/");
    EXPECT_EQ(core.filters().action(1), kActionMove);
    EXPECT_EQ(core.stages().filterAction(core, 1), kActionMove);
    EXPECT_EQ(core.stages().filterAction(core, 3), 0);
}

TEST_F(ListCommands, MovingUpAndDownSavesAndKeepsTheMovedEntrySelected) {
    struct Fixture {
        CoreList list;
        std::function<void(int32_t)> up, down;
        std::function<bool()> load;
        std::string file;
    } fixtures[] = {
        {CoreList::Filters, [&](int32_t i) { core.moveFilterUp(i); },
         [&](int32_t i) { core.moveFilterDown(i); }, [&] { return core.loadfilters(); },
         filtersFile()},
        {CoreList::Exceptions, [&](int32_t i) { core.moveExceptionUp(i); },
         [&](int32_t i) { core.moveExceptionDown(i); }, [&] { return core.loadefilters(); },
         exceptionsFile()},
    };
    core.addFilter(named("a"));  // the list was never loaded: these are its only entries
    core.addFilter(named("b"));
    core.addFilter(named("c"));
    for (const char* name : {"a", "b", "c"})
        core.addException(name, "x");
    for (Fixture& f : fixtures) {
        SCOPED_TRACE(f.file);
        f.down(1);
        EXPECT_EQ(shown(f.list), (Names{"b", "a", "c"}));
        EXPECT_EQ(view.selected[f.list], 2);
        f.up(3);
        EXPECT_EQ(shown(f.list), (Names{"b", "c", "a"}));
        EXPECT_EQ(view.selected[f.list], 2);
        ASSERT_TRUE(f.load());  // the file holds the new order
        EXPECT_EQ(shown(f.list), (Names{"b", "c", "a"}));
        // Nothing moves past either end, and nothing is saved then.
        std::filesystem::remove(f.file);
        view.selected[f.list] = 0;
        f.up(1);
        EXPECT_EQ(view.selected[f.list], 1);  // the first row only gets the focus back
        f.down(3);
        f.down(0);
        f.up(4);
        EXPECT_EQ(shown(f.list), (Names{"b", "c", "a"}));
        EXPECT_FALSE(std::filesystem::exists(f.file));
    }
}

TEST_F(ListCommands, ARemovalInAListThatDidNotLoadWholeKeepsTheRest) {
    const std::string text = "a\tx\r\nbroken\r\nc\tx\r\n";
    ASSERT_TRUE(WriteTextFile(exceptionsFile(), text));
    EXPECT_FALSE(core.loadefilters());
    core.removeException(1);
    EXPECT_EQ(ReadTextFile(exceptionsFile()), "broken\r\nc\tx\r\n");
    // The reload fails at the same line; the rows still show what the list holds.
    EXPECT_EQ(shown(CoreList::Exceptions), (Names{"", ""}));
}

TEST_F(ListCommands, StartUpLoadsBothLists) {
    TestTree home;
    ::setenv(kRegistryDirVariable, home.path("registry").c_str(), 1);
    ::setenv("APPDATA", home.path("appdata").c_str(), 1);
    modReg::SaveSettingString("", "4.0");
    modReg::SaveSettingInt("logging", 2);
    ASSERT_TRUE(WriteTextFile(home.file("appdata/Vantel/man.dat"), "a\tb\r\nc\td\r\n"));
    ASSERT_TRUE(WriteTextFile(home.file("appdata/Vantel/filters.dat"), "1\tTrue\r\n"));
    startCore(core);
    ::unsetenv(kRegistryDirVariable);
    ::unsetenv("APPDATA");
    const std::vector<std::string>& lines = core.log().lines();
    auto logged = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), "(t) " + line) != lines.end();
    };
    EXPECT_TRUE(logged("Error loading afilters: line 1 holds 2 fields, not 9"));
    EXPECT_TRUE(logged("Failed to load afilters"));
    EXPECT_TRUE(logged("Loaded 2 efilters"));
    EXPECT_EQ(core.filters().count(), 1);
    EXPECT_EQ(shown(CoreList::Exceptions), (Names{"a", "c"}));
}

}  // namespace

}  // namespace vantel
