// The undo command of the queue list's context menu and the entry that offers it.

#include "renamer/engine/core.h"

#include "renamer/engine/fileops.h"

namespace vantel {

bool Core::mnuUndo_Click(int32_t index) {
    // The menu entry is disabled for any other item; a stray call changes nothing either.
    if (!validIndex(index) || item(index).state != kStateDone) return false;
    const FileAction action = m_stages->filterAction(*this, item(index).filter_index);
    const bool undone = undofileops(item(index), action, log());
    if (undone) {
        item(index).error_text = "The file operation has been undone";
        setState(index, kStateCancelled);
    } else {
        debug_log("Failed to undo file operation", 1);
        item(index).error_text = "The file undo operation failed";
        setState(index, kStateFailed);
    }
    return undone;
}

Core::UndoMenuEntry Core::undoMenuEntry(int32_t index) const {
    UndoMenuEntry entry{"Undo Rename", false};
    if (!validIndex(index) || item(index).state != kStateDone) return entry;
    entry.enabled = true;
    switch (m_stages->filterAction(*this, item(index).filter_index)) {
        case kActionMove:
            entry.caption = "Undo Move/Rename";
            break;
        case kActionCopy:
            entry.caption = "Undo Copy/Rename";
            break;
        default:
            break;
    }
    return entry;
}

}  // namespace vantel
