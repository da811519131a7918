#include "renamer/cli/dry_run.h"

#include "renamer/engine/core.h"

namespace vantel {

StageResult DryRunStages::fileops(Core& core, int32_t index) {
    QueueItem& item = core.item(index);
    const FileAction action = filterAction(core, item.filter_index);
    if (!m_rehearsal.rehearse(item, action, core.log())) return false;
    if (core.log().threshold() >= 2) {
        core.debug_log(std::string("Dry run: ") + actionName(action) + " " + item.path + " -> " +
                           item.target_folder + item.new_name,
                       2);
    }
    // A retry pass may plan the same item again; the latest plan counts.
    if (m_actions.size() <= static_cast<size_t>(index)) m_actions.resize(index + 1, kActionNone);
    m_actions[index] = action;
    return true;
}

std::optional<PlannedOperation> DryRunStages::planFor(const Core& core, int32_t index) const {
    if (index < 1 || static_cast<size_t>(index) >= m_actions.size() ||
        m_actions[index] == kActionNone || !core.validIndex(index))
        return std::nullopt;
    const QueueItem& item = core.item(index);
    if (item.state != kStateDone) return std::nullopt;
    return PlannedOperation{index, m_actions[index], item.path, item.target_folder + item.new_name};
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
