#include "renamer/engine/exceptions.h"

#include "renamer/common/textfile.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace vantel {

namespace {

ExceptionList listOf(std::vector<std::pair<std::string, std::string>> pairs) {
    ExceptionList list;
    for (auto& [detected, replacement] : pairs)
        list.append(detected, replacement);
    return list;
}

TEST(Checkex, TheFirstEqualNameGivesTheSearchNameInLowerCase) {
    const ExceptionList list = listOf({{"Doctor Who 2005", "Doctor Who (2005)"},
                                       {"Lost", "Lost (2004)"},
                                       {"lost", "Not This One"},
                                       {"CAFÉ", "Café Society"}});
    struct Case {
        const char* detected;
        const char* searched;
    } cases[] = {
        {"doctor who 2005", "doctor who (2005)"},
        {"LOST", "lost (2004)"},       // two exceptions with this name: the first applies
        {"café", "café society"},      // letter case beyond ASCII
        {"doctor who", "doctor who"},  // whole names only
        {"lost ", "lost "},            // nothing trimmed
        {"", ""},
    };
    for (const Case& c : cases) {
        QueueItem item;
        item.detected_show = c.detected;
        checkex(item, list);
        EXPECT_EQ(item.detected_show, c.searched) << c.detected;
    }
    QueueItem item;
    item.detected_show = "Lost";
    checkex(item, ExceptionList{});
    EXPECT_EQ(item.detected_show, "Lost");  // no exceptions: not even lower-cased
}

class ExceptionFile : public ::testing::Test {
  protected:
    void SetUp() override {
        log.setClock([] { return "t"; });
    }
    std::string file() const { return tree.path("man.dat"); }
    void write(const std::string& text) const { ASSERT_TRUE(WriteTextFile(file(), text)); }
    bool load() { return list.loadefilters(tree.root(), log, view); }
    bool save() { return list.saveefilters(tree.root(), log); }

    TestTree tree;
    ActivityLog log;
    RecordingView view;
    ExceptionList list;
};

TEST_F(ExceptionFile, ASavedListReadsBackByteForByte) {
    const std::string text =
        "Doctor Who 2005\tDoctor Who (2005)\r\nCafé\tKafé Society\r\n\tblank detected name\r\n";
    write(text);
    ASSERT_TRUE(load());
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(2).new_show_name, "Kafé Society");
    EXPECT_EQ(view.refills[CoreList::Exceptions], 1);
    const std::vector<ListRow>& rows = view.lists[CoreList::Exceptions];
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].key, "F1");
    EXPECT_EQ(rows[0].columns, (std::vector<std::string>{"Doctor Who 2005", "Doctor Who (2005)"}));
    EXPECT_EQ(rows[2].key, "F3");
    std::filesystem::remove(file());
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()), text);
}

TEST_F(ExceptionFile, WhatALoadMakesOfTheFile) {
    struct Case {
        const char* text;  // nullptr: no file
        int32_t count;
        const char* first_detected;
    } cases[] = {
        {nullptr, 0, ""},
        {"", 0, ""},
        {"a\tb\r\nc\td", 2, "a"},     // a last line without its line end is loaded
        {"a\tb\tc\r\n", 1, "a"},      // a second TAB: the rest is not part of the record
        {"a\tb\nc\rd\te\n", 2, "a"},  // LF alone ends a line too (a file written by hand)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(no file)");
        std::filesystem::remove(file());
        if (c.text) write(c.text);
        EXPECT_TRUE(load());
        EXPECT_EQ(list.count(), c.count);
        if (c.count > 0) {
            EXPECT_EQ(list.at(1).detected_name, c.first_detected);
        }
        EXPECT_EQ(view.lists[CoreList::Exceptions].size(), static_cast<size_t>(c.count));
    }
}

TEST_F(ExceptionFile, ALineWithoutATabStopsLoadingAndASaveKeepsTheUnreadLines) {
    const std::string text = "Lost\tLost (2004)\r\nno tab here\r\nHeroes\tHeroes (2006)\r\n";
    write(text);
    EXPECT_FALSE(load());
    ASSERT_EQ(list.count(), 3);  // sized before the failing line
    EXPECT_EQ(list.at(1).new_show_name, "Lost (2004)");
    for (int32_t i : {2, 3}) {
        EXPECT_EQ(list.at(i).detected_name, "");
        EXPECT_EQ(list.at(i).new_show_name, "");
    }
    EXPECT_EQ(view.refills[CoreList::Exceptions], 0);  // the view is not refreshed
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"(t) Error loading efilters: line 2 holds no TAB"}));

    // Saving what loaded must not replace the lines that did not load with empty records.
    list.append("Fringe", "Fringe (2008)");
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()), text + "Fringe\tFringe (2008)\r\n");
    // Removing such a record drops its line, and only that one.
    list.at(2).removed = true;
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()),
              "Lost\tLost (2004)\r\nHeroes\tHeroes (2006)\r\nFringe\tFringe (2008)\r\n");
}

TEST_F(ExceptionFile, NamesWithATabOrALineBreakStayOneRecord) {
    list.append("a\tb", "c\r\nd");
    list.append("e\rf", "g\nh");  // a lone CR is kept; an LF would end the line
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()), "a b\tc d\r\ne\rf\tg h\r\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(list.count(), 2);
}

// A file written by hand with LF line ends and no end on its last line loads whole, and a save
// writes every line back with CR LF.
TEST_F(ExceptionFile, HandWrittenLinesLoadAndSaveWhole) {
    write("Lost\tLost (2004)\nHeroes\tHeroes (2006)\r\nFringe\tFringe (2008)");
    ASSERT_TRUE(load());
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(1).new_show_name, "Lost (2004)");
    EXPECT_EQ(list.at(3).new_show_name, "Fringe (2008)");
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()),
              "Lost\tLost (2004)\r\nHeroes\tHeroes (2006)\r\nFringe\tFringe (2008)\r\n");
    // A line that does not load is kept on save, the last one without its end too.
    write("Lost\tLost (2004)\nno tab");
    EXPECT_FALSE(load());
    EXPECT_EQ(log.lines().back(), "(t) Error loading efilters: line 2 holds no TAB");
    list.at(1).removed = true;
    ASSERT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()), "no tab\r\n");
}

// A data file that is a device, a FIFO or too large is refused with a line that says so (never
// read without bound, never waited on), and left as it is.
TEST_F(ExceptionFile, OnlyASmallRegularFileIsRead) {
    struct {
        const char* name;
        const char* logged;
    } cases[] = {{"zero", "(t) Error loading efilters: man.dat is not a regular file"},
                 {"fifo", "(t) Error loading efilters: man.dat is not a regular file"},
                 {"large", "(t) Error loading efilters: man.dat is larger than 4194304 bytes"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(file());
        if (std::string(c.name) == "zero") std::filesystem::create_symlink("/dev/zero", file());
        if (std::string(c.name) == "fifo") {
            ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
        }
        if (std::string(c.name) == "large")
            write(std::string(kMaxDataFileBytes - 10, 'x') + "\t" + std::string(10, 'y'));
        EXPECT_FALSE(load());
        EXPECT_EQ(log.lines().back(), c.logged);
        list.append("Lost", "Lost (2004)");
        EXPECT_FALSE(save());
    }
    // At the limit the file is read.
    std::filesystem::remove(file());
    write(std::string(kMaxDataFileBytes - 11, 'x') + "\t" + std::string(10, 'y'));
    EXPECT_TRUE(load());
    EXPECT_EQ(list.count(), 1);
}

TEST_F(ExceptionFile, AFileThatCannotBeReadIsNeverOverwritten) {
    // A link to itself exists but cannot be read, whoever runs the test.
    std::filesystem::create_symlink("man.dat", file());
    EXPECT_FALSE(load());
    EXPECT_EQ(list.count(), 0);
    list.append("Lost", "Lost (2004)");
    EXPECT_FALSE(save());
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
    EXPECT_EQ(log.lines().back(),
              "(t) Error saving efilters: man.dat could not be read, so it is left as it is");
    // Once the file is gone, a load succeeds and saving works again.
    std::filesystem::remove(file());
    ASSERT_TRUE(load());
    list.append("Lost", "Lost (2004)");
    EXPECT_TRUE(save());
    EXPECT_EQ(ReadTextFile(file()), "Lost\tLost (2004)\r\n");
}

}  // namespace

}  // namespace vantel
