#include "renamer/engine/stages.h"

#include "renamer/engine/core.h"
#include "renamer/engine/detection.h"
#include "renamer/engine/fileops.h"
#include "renamer/lookup/listings.h"
#include "renamer/lookup/search.h"

#include <string>

namespace vantel {

namespace {

LookupContext lookupContext(Core& core) {
    return LookupContext{core.settings(),      core.log(),     core.controlHost(),
                         core.episodes(),      core.apiBase(), &core.episodesSource(),
                         &core.queriesSource()};
}

}  // namespace

StageResult PipelineStages::getbits(Core& core, int32_t index, bool p) {
    return vantel::getbits(core.item(index), p, core.log());
}

StageResult PipelineStages::checkex(Core& core, int32_t index) {
    vantel::checkex(core.item(index), core.exceptions());
    return true;
}

StageResult PipelineStages::searchtv(Core& core, int32_t index) {
    LookupContext context = lookupContext(core);
    return vantel::searchtv(core.item(index), context);
}

// A listing that fails for a reason other than the service's answer (the control missing or
// refusing a call, a cache file that cannot be named) is an error of this item, not a missing
// episode: its reason goes to the driver, which fails the item with it.
StageResult PipelineStages::getlistings(Core& core, int32_t index) {
    LookupContext context = lookupContext(core);
    std::string error;
    if (vantel::getlistings(core.item(index), context, &error)) return true;
    return StageResult::failure(std::move(error));
}

// A filter that matched but cannot be applied leaves its reason as the item's text.
StageResult PipelineStages::dofilter(Core& core, int32_t index) {
    std::string refusal;
    if (vantel::dofilter(core.item(index), core.filters(), core.log(), &refusal)) return true;
    if (!refusal.empty()) core.item(index).error_text = refusal;
    return false;
}

// Each operation is recorded in the journal before it is made and its end after, so that a
// later run can undo it even when this one is killed in between.
StageResult PipelineStages::fileops(Core& core, int32_t index) {
    QueueItem& item = core.item(index);
    const FileAction action = filterAction(core, item.filter_index);
    JournalOpId id;
    if (action >= kActionRename && action <= kActionCopy) {
        id = core.journal().begin(core.settings().workdir, index, action, item.path,
                                  item.target_folder + item.new_name, core.log());
    }
    const bool done = vantel::fileops(item, action, core.log());
    core.journal().finish(id, done, core.log());
    return done;
}

FileAction PipelineStages::filterAction(const Core& core, int32_t filter_index) const {
    return core.filters().action(filter_index);
}

}  // namespace vantel
