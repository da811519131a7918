#include "renamer/engine/stages.h"

#include "renamer/engine/core.h"
#include "renamer/engine/detection.h"
#include "renamer/engine/fileops.h"

// Until a stage's module is part of the build, available() says so and its call fails. Each
// module, as it lands, adds its stage to available() and makes the call go to the module.

bool PipelineStages::available(Stage stage) const {
    switch (stage) {
        case Stage::Detection:
        case Stage::FileOperation:
        case Stage::Exceptions:
        case Stage::FilterChoice:
            return true;
        case Stage::ShowSearch:
        case Stage::Listings:
            return false;
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

bool PipelineStages::searchtv(Core& core, int32_t index) {
    return false;
}

bool PipelineStages::getlistings(Core& core, int32_t index) {
    return false;
}

bool PipelineStages::dofilter(Core& core, int32_t index) {
    return ::dofilter(core.item(index), core.filters(), core.log());
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
