#pragma once
// PipelineStages: the per-item stages that the queue driver calls, in pipeline order.
//
// The driver (Core::process_queue) owns the order, the states, the log lines and the error
// texts; a stage only does its own work on the item at index and answers with a StageResult:
//
//   getbits(index, p)   detection: fills detected_show, season, episode (p: from the folder name)
//   checkex(index)      exceptions: may replace detected_show (its result is not used)
//   searchtv(index)     show search: fills show_title, show_id, show_url
//   getlistings(index)  episode listing: fills episode_title, episode_url
//   dofilter(index)     action filter: fills new_name, target_folder, filter_index
//   fileops(index)      file operation: fails with error_text set where the reason is known
//
// This class is the build's own set of stages. The show search and the listing go to the
// episode database through the core's control host (the hosted control "Wirran1") at the
// core's apiBase(). Tests derive from it to script the stages.

#include "renamer/common/queue_item.h"

#include <cstdint>
#include <string>

namespace vantel {

class Core;

// StageResult: what a stage answers. ok says whether the stage did its work. A stage that
// failed for its own ordinary reason (no filename pattern matched, the show or episode is not
// listed, no filter fits) leaves error empty, and the driver words the item's failure; a stage
// stopped by something else (the control missing or refusing a call, a cache file that cannot be
// named) says what in error, and the driver fails the item with that reason.
struct StageResult {
    bool ok = false;
    std::string error;

    StageResult(bool done = false) : ok(done) {}  // NOLINT: a plain answer converts
    static StageResult failure(std::string why) {
        StageResult result;
        result.error = std::move(why);
        return result;
    }
};

class PipelineStages {
  public:
    virtual ~PipelineStages() = default;

    virtual StageResult getbits(Core& core, int32_t index, bool p);
    virtual StageResult checkex(Core& core, int32_t index);
    virtual StageResult searchtv(Core& core, int32_t index);
    virtual StageResult getlistings(Core& core, int32_t index);
    virtual StageResult dofilter(Core& core, int32_t index);
    virtual StageResult fileops(Core& core, int32_t index);

    // The action of the action filter at filter_index; kActionNone when there is no such filter.
    virtual FileAction filterAction(const Core& core, int32_t filter_index) const;
};

}  // namespace vantel
