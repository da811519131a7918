#include "renamer/common/reg.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace vantel {

namespace {

using Lines = std::vector<std::string>;

// A core over scripted stages, with a fixed log clock and its own registry store.
class Driver : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv(kRegistryDirVariable, tree.path("registry").c_str(), 1);
        core.setLogClock([] { return std::string("t"); });
    }
    void TearDown() override { ::unsetenv(kRegistryDirVariable); }

    // Queues n files a1.mkv, a2.mkv, ... without arming the timer.
    void queue(int n) {
        for (int i = 1; i <= n; ++i) {
            ASSERT_TRUE(core.add_to_queue(tree.file("a" + std::to_string(i) + ".mkv"), false));
        }
    }
    std::vector<int32_t> states() const {
        std::vector<int32_t> s;
        for (int32_t i = 1; i <= core.queueCount(); ++i)
            s.push_back(core.item(i).state);
        return s;
    }
    bool logged(const std::string& line) const {
        return std::find(view.log.begin(), view.log.end(), "(t) " + line) != view.log.end();
    }

    TestTree tree;
    RecordingView view;
    ScriptedStages stages;
    Core core{&view, &stages};
};

TEST_F(Driver, TheTimerFiresOnceAndTheBuildsLookupAsksTheWindowsControl) {
    // A window whose control cannot be had: the build's show search must ask for it by name
    // and fail the item in the driver's words, not pretend it found anything.
    struct NoControl : ControlHost {
        std::vector<std::string> asked;
        IDispatch* control(const std::string& name) override {
            asked.push_back(name);
            return nullptr;
        }
    } host;
    core.setStages(nullptr);  // the stages this build really has
    core.setControlHost(&host);
    core.setApiBase("http://127.0.0.1:9");
    core.add_to_queue(tree.file("show.name.s01e02.mkv"), true);
    ASSERT_TRUE(core.timer1Enabled());
    MSG msg;
    while (core.flags().busy || core.timer1Enabled()) {
        ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(core.item(1).detected_show, "show name");
    EXPECT_EQ(core.item(1).season, 1);
    EXPECT_EQ(core.item(1).episode, 2);
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateFailed}));
    EXPECT_EQ(host.asked, (Lines{"Wirran1"}));
    EXPECT_EQ(core.item(1).error_text,
              "Unable to find show on TVmaze (www.tvmaze.com)\r\nSearched for: show name");
    EXPECT_EQ(view.statuses, (Lines{"1:Scanning", "1:Searching", "1:Failed"}));
    EXPECT_TRUE(logged("Error searching for show: The control Wirran1 is not available"));
    EXPECT_TRUE(logged("All items processed"));
    EXPECT_FALSE(core.timer1Enabled());  // one-shot
}

TEST_F(Driver, EndOfPassLinesAndCloseWhenDone) {
    core.settings().autoclose = true;
    core.process_queue();  // nothing queued: a detail line only
    EXPECT_TRUE(view.log.empty());
    core.settings().logging = 2;
    core.process_queue();
    EXPECT_EQ(view.log, (Lines{"(t) No work to do"}));
    EXPECT_EQ(view.closes, 0);

    struct Case {
        bool autoclose;
        int closes;
    };
    for (Case c : {Case{false, 0}, Case{true, 1}}) {
        SCOPED_TRACE(c.autoclose);
        RecordingView v;
        Core other(&v, &stages);
        other.settings().autoclose = c.autoclose;
        other.add_to_queue(tree.file("b.mkv"), false);
        other.process_queue();
        EXPECT_EQ(other.item(1).state, kStateDone);
        EXPECT_EQ(v.log.back().substr(v.log.back().find(')') + 2), "All items processed");
        EXPECT_EQ(v.closes, c.closes);
        EXPECT_EQ(other.unloaded(), c.autoclose);
        EXPECT_FALSE(other.flags().busy);
    }
}

TEST_F(Driver, AnItemGoesThroughEveryStateToDone) {
    core.settings().logging = 2;
    stages.action = 2;
    queue(1);
    core.process_queue();
    EXPECT_EQ(view.statuses, (Lines{"1:Scanning", "1:Searching", "1:Fetching Listings",
                                    "1:Checking Filters", "1:Moving", "1:Done"}));
    EXPECT_EQ(view.rows[1].new_name, "Show - 1x05 - Pilot");
    EXPECT_EQ(view.rows[1].icon, 1);
    EXPECT_EQ(view.log, (Lines{"(t) Found filename filter for: a1.mkv", "(t) Checking exceptions",
                               "(t) Searching for: show", "(t) All items processed"}));
    EXPECT_EQ(view.pumps, 12);  // twice after each of the six changes
    EXPECT_EQ(core.current_item(), 1);
}

TEST_F(Driver, DetectionTriesTheFolderNameThenTheFileName) {
    std::vector<bool> tried;
    stages.on_getbits = [&](Core& c, int32_t i, bool p) {
        tried.push_back(p);
        c.item(i).detected_show = "show";
        return !p;
    };
    queue(1);
    core.process_queue();
    EXPECT_EQ(tried, (std::vector<bool>{true, false}));
    EXPECT_EQ(core.item(1).state, kStateDone);
}

TEST_F(Driver, EachFailingStageFailsOnlyItsItemWithItsText) {
    const std::string site = Core::kSiteDescription;
    struct Case {
        const char* stage;
        std::string error_text;
        std::string log_line;
    };
    const Case cases[] = {
        {"getbits", "Unable to find filename filter", "Unable to find filename filter for: a1.mkv"},
        {"searchtv", "Unable to find show on " + site + "\r\nSearched for: show",
         "Unable to find show page for: show"},
        {"getlistings",
         "Unable to find listings on " + site + "\r\nSearched for: show\r\nDetected as: Show 1x5",
         "Unable to find listings for: Show 1x5"},
        {"dofilter", "Found listings, but no filter could be found to move/rename the file",
         "Unable to find matching filter for: Show 1x5"},
        {"fileops", "The destination aleady exists. File cannot be renamed",
         "Unable to rename/move files for: Show - 1x05 - Pilot.mkv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        RecordingView v;
        ScriptedStages s;
        const std::string stage = c.stage;
        auto failFirst = [](Core& core, int32_t i) {
            core.item(i).show_title = "Show";
            if (i == 1)
                core.item(i).error_text = "The destination aleady exists. File cannot be renamed";
            return i != 1;
        };
        if (stage == "getbits") {
            s.on_getbits = [](Core& core, int32_t i, bool) {
                core.item(i).detected_show = "show";
                return i != 1;
            };
        }
        if (stage == "searchtv") s.on_searchtv = failFirst;
        if (stage == "getlistings") s.on_getlistings = failFirst;
        if (stage == "dofilter")
            s.on_dofilter = [](Core& core, int32_t i) {
                core.item(i).new_name = "x.mkv";
                return i != 1;
            };
        if (stage == "fileops") s.on_fileops = failFirst;
        Core other(&v, &s);
        other.setLogClock([] { return std::string("t"); });
        other.add_to_queue(tree.file("a1.mkv"), false);
        other.add_to_queue(tree.file("a2.mkv"), false);
        other.process_queue();
        EXPECT_EQ(other.item(1).state, kStateFailed);
        EXPECT_EQ(other.item(1).error_text, c.error_text);
        EXPECT_EQ(v.rows[1].status, "Failed");
        EXPECT_EQ(v.rows[1].icon, 2);
        EXPECT_NE(std::find(v.log.begin(), v.log.end(), "(t) " + c.log_line), v.log.end());
        EXPECT_EQ(other.item(2).state, kStateDone);
    }
}

TEST_F(Driver, ConfirmationCanCancelAndCanStopAsking) {
    core.settings().confirm = true;
    stages.action = 3;
    std::vector<ConfirmDialogRequest> asked;
    view.on_confirm = [&](const ConfirmDialogRequest& r) {
        asked.push_back(r);
        return ConfirmDialogAnswer{false, asked.size() == 2};
    };
    queue(3);
    core.process_queue();
    // Item 1 declined; item 2 declined with "Don't show this again"; item 3 not asked.
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateCancelled, kStateCancelled, kStateDone}));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].caption, "Confirm File Copy");
    EXPECT_EQ(asked[0].question, "Continue with file copy?");
    EXPECT_EQ(asked[0].from, tree.path("a1.mkv"));
    EXPECT_EQ(asked[0].to, "/target/Show - 1x05 - Pilot.mkv");
    EXPECT_EQ(core.item(1).error_text, "User cancelled the file operation");
    EXPECT_FALSE(core.item(1).confirmed);
    EXPECT_EQ(view.rows[1].status, "Cancelled");
    EXPECT_EQ(view.rows[1].new_name, "");  // cleared after "Copying" showed it
    EXPECT_TRUE(
        logged("Unable to rename/move files for: Show - 1x05 - Pilot.mkv (user cancelled)"));
    EXPECT_EQ(stages.calls[1], 5);  // no file operation
    EXPECT_FALSE(core.settings().confirm);
    EXPECT_EQ(modReg::GetSettingInt("confirm"), 0);
    EXPECT_EQ(modReg::RegReadDword(HKEY_CURRENT_USER, modReg::kAppKey, "confirm"), 0u);

    // Outside the queue there is nothing to confirm.
    EXPECT_FALSE(core.confirm_item(0));
    EXPECT_FALSE(core.confirm_item(4));
    EXPECT_TRUE(core.confirm_item(3));
}

TEST_F(Driver, RetryProcessesOnlyItemsAtZeroOrBelow) {
    stages.on_searchtv = [](Core& c, int32_t i) { return i != 2; };
    queue(3);
    core.process_queue();
    ASSERT_EQ(states(), (std::vector<int32_t>{kStateDone, kStateFailed, kStateDone}));
    const auto before = stages.calls;

    stages.on_searchtv = nullptr;
    core.mnuRetry_Click();
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateDone, kStateDone, kStateDone}));
    EXPECT_EQ(stages.calls[1], before.at(1));
    EXPECT_GT(stages.calls[2], before.at(2));
    EXPECT_EQ(stages.calls[3], before.at(3));
    EXPECT_FALSE(core.retry_mode());

    // A normal pass never revisits an item: only the newly added one runs.
    core.item(1).state = kStateFailed;
    core.add_to_queue(tree.file("a4.mkv"), false);
    core.process_queue();
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateFailed, kStateDone, kStateDone, kStateDone}));
    EXPECT_EQ(stages.calls[1], before.at(1));
}

TEST_F(Driver, ACloseRequestDuringAPassWaitsForTheNextCheckPoint) {
    // The close arrives as a window message while the show search runs (as it would during a
    // network wait); the item finishes that stage, then the driver closes.
    stages.on_searchtv = [](Core& c, int32_t i) {
        c.item(i).show_title = "Show";
        PostMessageA(c.hwnd(), WM_CLOSE, 0, 0);
        return true;
    };
    queue(2);
    core.process_queue();
    EXPECT_TRUE(logged("Got quit signal, finishing up..."));
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateFetchingListings, kStateInactive}));
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(core.unloaded());
    EXPECT_FALSE(core.flags().busy);
    EXPECT_EQ(stages.calls[2], 0);

    // After unloading no pass runs and the timer stays off.
    core.add_to_queue(tree.file("late.mkv"), true);
    EXPECT_FALSE(core.timer1Enabled());
}

TEST_F(Driver, AFileOperationInProgressFinishesBeforeTheClose) {
    stages.on_fileops = [](Core& c, int32_t) { return !c.queryUnload(); };
    queue(2);
    core.process_queue();
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateDone, kStateInactive}));
    EXPECT_EQ(view.closes, 1);

    // When no pass runs, the close is not put off.
    RecordingView idle_view;
    Core idle(&idle_view);
    SendMessageA(idle.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(idle.unloaded());
    EXPECT_EQ(idle_view.closes, 1);
}

TEST_F(Driver, FilesAddedDuringAPassJoinIt) {
    const std::string late = tree.file("late.mkv");
    stages.on_fileops = [&](Core& c, int32_t i) {
        if (i == 1) c.add_to_queue(late, true);
        return true;
    };
    queue(1);
    core.process_queue();
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateDone, kStateDone}));
    EXPECT_FALSE(core.timer1Enabled());
}

TEST_F(Driver, AStageErrorFailsItsItemAndThePassGoesOn) {
    // A stage names its error as a value; one that throws all the same fails its item alike.
    stages.on_getlistings = [](Core&, int32_t i) -> StageResult {
        if (i == 1) return StageResult::failure("The control Wirran1 is not available");
        if (i == 2) throw std::runtime_error("listing table overflow");
        return true;
    };
    stages.on_dofilter = [](Core&, int32_t) { return StageResult::failure(""); };  // no filter
    queue(3);
    core.process_queue();
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateFailed, kStateFailed, kStateFailed}));
    EXPECT_EQ(core.item(1).error_text,
              "An unexpected error stopped processing this file: The control Wirran1 is not "
              "available");
    EXPECT_TRUE(logged("Error processing a1.mkv: The control Wirran1 is not available"));
    EXPECT_EQ(core.item(2).error_text,
              "An unexpected error stopped processing this file: listing table overflow");
    EXPECT_TRUE(logged("Error processing a2.mkv: listing table overflow"));
    // A failure without a reason is the stage's ordinary one, in the driver's words.
    EXPECT_EQ(core.item(3).error_text,
              "Found listings, but no filter could be found to move/rename the file");
    EXPECT_EQ(stages.calls[3], 5);  // detection, exceptions, search, listing, filter
}

TEST_F(Driver, ATickDuringAPassStartsNoSecondPass) {
    int nested_items = 0;
    stages.on_checkex = [&](Core& c, int32_t) {
        int32_t before = c.current_item();
        c.process_queue();  // as a timer tick dispatched while the pass pumps would
        nested_items += c.current_item() - before;
        return true;
    };
    queue(2);
    core.process_queue();
    EXPECT_EQ(nested_items, 0);
    EXPECT_EQ(states(), (std::vector<int32_t>{kStateDone, kStateDone}));
}

TEST_F(Driver, UpdateOfAnItemOutsideTheQueueIsLogged) {
    EXPECT_TRUE(core.update_lv(7));
    EXPECT_TRUE(logged("Error updating q state: no queue item 7"));
    EXPECT_TRUE(view.statuses.empty());
}

TEST_F(Driver, SuppressibleMessages) {
    core.ShowMessage("Filetypes Required", "first#second", kIconInformation, 0);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "first\nsecond");
    EXPECT_FALSE(view.messages[0].offer_dont_show);

    view.tick_dont_show = true;
    core.ShowMessage("Not Recommended", "cache", kIconWarning, 1);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_TRUE(view.messages[1].offer_dont_show);
    EXPECT_EQ(modReg::GetSettingInt("1msgskip$"), 1);
    core.ShowMessage("Not Recommended", "cache", kIconWarning, 1);
    EXPECT_EQ(view.messages.size(), 2u);  // suppressed from now on
    core.ShowMessage("Other", "id 0 is always shown", kIconError, 0);
    EXPECT_EQ(view.messages.size(), 3u);
}

}  // namespace

}  // namespace vantel
