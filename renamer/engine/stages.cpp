#include "renamer/engine/stages.h"

#include "renamer/engine/core.h"
#include "renamer/engine/detection.h"
#include "renamer/engine/fileops.h"
#include "renamer/lookup/listings.h"
#include "renamer/lookup/search.h"

#include <stdexcept>
#include <string>

// Every stage of the pipeline is in this build. available() stays so that a build without one
// (or a test) can say so instead of pretending the stage ran.

bool PipelineStages::available(Stage stage) const {
    switch (stage) {
        case Stage::Detection:
        case Stage::FileOperation:
        case Stage::Exceptions:
        case Stage::FilterChoice:
        case Stage::ShowSearch:
        case Stage::Listings:
            return true;
    }
    return false;
}

bool PipelineStages::getbits(Core& core, int32_t index, bool p) {
    return ::getbits(core.item(index), p, core.log());
}

bool PipelineStages::checkex(Core& core, int32_t index) {
    ::checkex(core.item(index), core.exceptions());
    return true;
}

namespace {

LookupContext lookupContext(Core& core) {
    return LookupContext{core.settings(), core.log(), core.controlHost(), core.episodes(),
                         core.apiBase()};
}

}  // namespace

bool PipelineStages::searchtv(Core& core, int32_t index) {
    LookupContext context = lookupContext(core);
    return ::searchtv(core.item(index), context);
}

// A listing that fails for a reason other than the service's answer (the control missing or
// refusing a call, a cache file that cannot be named) is an error of this item, not a missing
// episode: it goes to the driver as a run-time error, which fails the item with that reason.
bool PipelineStages::getlistings(Core& core, int32_t index) {
    LookupContext context = lookupContext(core);
    std::string error;
    if (::getlistings(core.item(index), context, &error)) return true;
    if (!error.empty()) throw std::runtime_error(error);
    return false;
}

// A filter that matched but cannot be applied leaves its reason as the item's text.
bool PipelineStages::dofilter(Core& core, int32_t index) {
    std::string refusal;
    if (::dofilter(core.item(index), core.filters(), core.log(), &refusal)) return true;
    if (!refusal.empty()) core.item(index).error_text = refusal;
    return false;
}

bool PipelineStages::fileops(Core& core, int32_t index) {
    QueueItem& item = core.item(index);
    return ::fileops(item, filterAction(core, item.filter_index), core.log());
}

int32_t PipelineStages::filterAction(const Core& core, int32_t filter_index) const {
    return core.filters().action(filter_index);
}

const char* unavailableText(Stage stage) {
    switch (stage) {
        case Stage::Detection:
            return "Filename detection is not available in this build";
        case Stage::Exceptions:
            return "Show name exceptions are not available in this build";
        case Stage::ShowSearch:
            return "The show search is not available in this build";
        case Stage::Listings:
            return "The episode listings are not available in this build";
        case Stage::FilterChoice:
            return "Action filters are not available in this build";
        case Stage::FileOperation:
            return "File operations are not available in this build";
    }
    return "This stage is not available in this build";
}
