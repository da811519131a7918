// The queue list's pop-up menu rules and the item details.

#include "renamer/engine/item_menu.h"

#include "renamer/engine/core.h"

namespace vantel {

namespace {

// The service's reply gives addresses as JSON strings; the item keeps them verbatim.
std::string unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

}  // namespace

bool hasItemInfo(ItemState state) {
    return state >= kStateDone || state < kStateInactive;
}

QueueMenuState queueMenuState(const Core& core, int32_t index) {
    QueueMenuState menu;
    const Core::UndoMenuEntry undo = core.undoMenuEntry(index);
    menu.undo_caption = undo.caption;
    menu.undo_enabled = undo.enabled;
    if (index < 1 || index > core.queueCount()) return menu;
    const QueueItem& item = core.item(index);
    menu.info_enabled = hasItemInfo(item.state);
    menu.specify_enabled =
        !core.flags().busy && item.state < kStateInactive && !item.detected_show.empty();
    return menu;
}

ItemInfo itemInfo(const QueueItem& item) {
    ItemInfo info;
    info.file_name = "Filename: " + item.file_name;
    switch (item.state) {
        case kStateCancelled:
            info.status = "Status: Cancelled";
            info.details = "Desc: " + item.error_text;
            break;
        case kStateFailed:
            info.status = "Status: Failed";
            info.details = "Error: " + item.error_text;
            break;
        default:
            info.status = "Status: Done";
            info.new_name = "New Name: " + item.new_name;
            info.show_link = unquoted(item.show_url);
            info.episode_link = unquoted(item.episode_url);
            break;
    }
    return info;
}

}  // namespace vantel
