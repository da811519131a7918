#include "renamer/cli/dry_run.h"

#include "renamer/engine/core.h"

namespace vantel {

StageResult DryRunStages::fileops(Core& core, int32_t index) {
    const QueueItem& item = core.item(index);
    PlannedOperation op{index, filterAction(core, item.filter_index), item.path,
                        item.target_folder + item.new_name};
    core.debug_log(
        std::string("Dry run: ") + actionName(op.action) + " " + op.from + " -> " + op.to, 2);
    // A retry pass may plan the same item again; the latest plan counts.
    for (PlannedOperation& earlier : m_planned) {
        if (earlier.index == index) {
            earlier = std::move(op);
            return true;
        }
    }
    m_planned.push_back(std::move(op));
    return true;
}

const PlannedOperation* DryRunStages::planFor(int32_t index) const {
    for (const PlannedOperation& op : m_planned) {
        if (op.index == index) return &op;
    }
    return nullptr;
}

const char* actionName(FileAction action) {
    switch (action) {
        case kActionRename:
            return "Rename";
        case kActionMove:
            return "Move";
        case kActionCopy:
            return "Copy";
        default:
            return "Unknown";
    }
}

}  // namespace vantel
