#pragma once
// Test doubles for the core: a view that records what it is told, and stages scripted per test.

#include "renamer/engine/core.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vantel {

class RecordingView : public CoreView {
  public:
    struct Row {
        std::string text;
        std::string status = "Inactive";
        int icon = 3;
        std::string new_name;
    };
    std::map<int32_t, Row> rows;
    std::vector<std::string> statuses;  // "index:status" for every row change, in order
    std::vector<std::string> log;       // log lines as the view got them
    int closes = 0;
    int pumps = 0;
    std::function<void()> on_pump;  // runs inside every pump, e.g. to ask for a close
    std::function<ConfirmDialogAnswer(const ConfirmDialogRequest&)> on_confirm;
    std::vector<MessageRequest> messages;
    bool tick_dont_show = false;
    std::map<CoreList, std::vector<ListRow>> lists;  // the rows each list was last filled with
    std::map<CoreList, int> refills;
    std::map<CoreList, int32_t> selected;  // the row last selected in each list

    void queueRowAdded(int32_t index, const std::string& text) override { rows[index].text = text; }
    void queueRowChanged(int32_t index, const QueueRowUpdate& row) override {
        Row& r = rows[index];
        r.status = row.status;
        r.icon = row.icon;
        if (row.new_name) r.new_name = *row.new_name;
        statuses.push_back(std::to_string(index) + ":" + row.status);
    }
    void logLineAdded(const std::string& line, int) override { log.push_back(line); }
    void listRefilled(CoreList list, const std::vector<ListRow>& list_rows) override {
        lists[list] = list_rows;
        ++refills[list];
    }
    void listRowSelected(CoreList list, int32_t row) override { selected[list] = row; }
    void closeMainWindow() override { ++closes; }
    void pumpEvents() override {
        ++pumps;
        CoreView::pumpEvents();
        if (on_pump) on_pump();
    }
    ConfirmDialogAnswer confirmFileOperation(const ConfirmDialogRequest& request) override {
        return on_confirm ? on_confirm(request) : ConfirmDialogAnswer{};
    }
    bool showMessage(const MessageRequest& request) override {
        messages.push_back(request);
        return tick_dont_show;
    }
};

// Each stage does what its function says (by default: succeed and fill the item as a real stage
// would), and every call is counted per item. A function may answer true or false, or a
// StageResult with the reason of an error.
class ScriptedStages : public PipelineStages {
  public:
    using Call = std::function<StageResult(Core&, int32_t)>;
    std::function<StageResult(Core&, int32_t, bool)> on_getbits;
    Call on_checkex, on_searchtv, on_getlistings, on_dofilter, on_fileops;
    std::map<int32_t, int> calls;  // stage calls per item
    int32_t action = 1;            // the stored number of the scripted filter 1's action

    StageResult getbits(Core& core, int32_t index, bool p) override {
        ++calls[index];
        if (on_getbits) return on_getbits(core, index, p);
        QueueItem& it = core.item(index);
        it.detected_show = "show";
        it.season = 1;
        it.episode = 5;
        return true;
    }
    StageResult checkex(Core& core, int32_t index) override { return run(on_checkex, core, index); }
    StageResult searchtv(Core& core, int32_t index) override {
        if (on_searchtv) return run(on_searchtv, core, index);
        core.item(index).show_title = "Show";
        return run(nullptr, core, index);
    }
    StageResult getlistings(Core& core, int32_t index) override {
        if (on_getlistings) return run(on_getlistings, core, index);
        core.item(index).episode_title = "Pilot";
        return run(nullptr, core, index);
    }
    StageResult dofilter(Core& core, int32_t index) override {
        if (on_dofilter) return run(on_dofilter, core, index);
        QueueItem& it = core.item(index);
        it.new_name = "Show - 1x05 - Pilot.mkv";
        it.target_folder = "/target/";
        it.filter_index = 1;
        return run(nullptr, core, index);
    }
    StageResult fileops(Core& core, int32_t index) override { return run(on_fileops, core, index); }
    FileAction filterAction(const Core&, int32_t filter_index) const override {
        return filter_index == 1 ? static_cast<FileAction>(action) : kActionNone;
    }

  private:
    StageResult run(const Call& call, Core& core, int32_t index) {
        ++calls[index];
        return call ? call(core, index) : true;
    }
};

}  // namespace vantel
