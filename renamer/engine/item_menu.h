#pragma once
// The queue list's pop-up menu and the "Item Info" dialog without a toolkit: which entries a
// right click on an item enables and how they read, and what the dialog shows of an item.
//
//   QueueMenuState menu = queueMenuState(core, row);
//   undo_action->setText(menu.undo_caption);  // "Undo Move/Rename"
//   ItemInfo info = itemInfo(core.item(row));  // "Filename: ...", "Status: Done", links

#include "renamer/common/queue_item.h"

#include <cstdint>
#include <string>

namespace vantel {

class Core;

struct QueueMenuState {
    std::string undo_caption = "Undo Rename";
    bool undo_enabled = false;     // a finished item: "Undo ..." by its filter's action
    bool info_enabled = false;     // "Item Info": finished, failed or cancelled
    bool specify_enabled = false;  // "Add Exception": failed or cancelled, a show name detected,
                                   // and no pass running
};

// queueMenuState: the entries for queue item index (1-based); everything but "Retry Failed"
// disabled for an index outside the queue.
QueueMenuState queueMenuState(const Core& core, int32_t index);

// hasItemInfo: whether "Item Info" is offered for an item in state (a double click on its row,
// the pop-up menu entry): finished or beyond, or failed or cancelled.
bool hasItemInfo(ItemState state);

// What the "Item Info" dialog shows. Lines that do not apply are empty.
struct ItemInfo {
    std::string file_name;     // "Filename: " + the file name
    std::string status;        // "Status: Done" / "Failed" / "Cancelled"
    std::string new_name;      // done: "New Name: " + the new name
    std::string details;       // failed: "Error: " + error text; cancelled: "Desc: " + description
    std::string show_link;     // done: the show's page and the episode's page, without the
    std::string episode_link;  // quotes the service's reply wraps them in
};

ItemInfo itemInfo(const QueueItem& item);

}  // namespace vantel
