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
    return LookupContext{core.settings(), core.log(), core.controlHost(), core.episodes(),
                         core.apiBase()};
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

StageResult PipelineStages::dofilter(Core& core, int32_t index) {
    return vantel::dofilter(core.item(index), core.filters(), core.log());
}

StageResult PipelineStages::fileops(Core& core, int32_t index) {
    QueueItem& item = core.item(index);
    return vantel::fileops(item, filterAction(core, item.filter_index), core.log());
}

FileAction PipelineStages::filterAction(const Core& core, int32_t filter_index) const {
    return core.filters().action(filter_index);
}

}  // namespace vantel
