#pragma once
// CoreView: what the renamer's core asks of whatever shows it (the Qt window, the terminal of
// the headless front end, a test).
//
// The core owns every piece of state (queue, lists, log, flags, settings) and tells its view of
// each change; the view only draws and asks the user. Every call comes on the core's thread.
// Rows are numbered as the core numbers them: queue item i is queue row i (from 1), filter and
// exception rows likewise. Every method has a harmless default, so a view implements only what
// it shows; NullView is the view of a core that shows nothing.

#include "renamer/common/queue_item.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantel {

// What a queue row shows after a state change.
struct QueueRowUpdate {
    std::string status;  // "Inactive", "Scanning", ..., "Done", "Failed", "Cancelled"
    int icon = 0;        // small-icon index: 1 done, 2 failed or cancelled, 3 waiting or working
    // The "New Name" column: a text to show ("" clears it), or nullopt to leave it as it is.
    std::optional<std::string> new_name;
};

// The lists besides the queue that the core refills.
enum class CoreList {
    Filters,     // columns "Filter", "Action", "File Mask", "Path"
    Exceptions,  // columns "Detected Show Name", "New Show Name"
};

struct ListRow {
    std::string key;                   // "F" + index
    std::vector<std::string> columns;  // in the list's column order
};

// The icons of a message box (the platform's predefined icon ids).
enum MessageIcon : int {
    kIconError = 32513,        // IDI_HAND
    kIconWarning = 32515,      // IDI_EXCLAMATION
    kIconInformation = 32516,  // IDI_ASTERISK
};

struct MessageRequest {
    std::string caption;  // also the bold title inside the box
    std::string text;     // ready to show: the "#" line marks are already line breaks ("\n")
    int icon = kIconInformation;
    bool offer_dont_show = false;  // show the "Don't show this again" box
};

// The confirmation before a file operation.
struct ConfirmDialogRequest {
    int32_t index = 0;                // the queue item
    FileAction action = kActionNone;  // the matched filter's action
    std::string caption;   // "Confirm File Rename", "Confirm File Move", "Confirm File Copy"
    std::string question;  // "Continue with file rename?" etc.
    std::string from;      // the item's current full path
    std::string to;        // its new full path
};

struct ConfirmDialogAnswer {
    bool ok = false;               // "OK" (go on) or "Cancel"
    bool dont_show_again = false;  // the box was ticked when the dialog closed
};

class CoreView {
  public:
    virtual ~CoreView() = default;

    // Queue list. A row is added with its text (the file name without its extension); a
    // changed row gets its status, icon and "New Name" column.
    virtual void queueRowAdded(int32_t index, const std::string& text) {}
    virtual void queueRowChanged(int32_t index, const QueueRowUpdate& row) {}
    // Makes row index the selected one; scroll says whether to bring it into view.
    virtual void queueRowSelected(int32_t index, bool scroll) {}

    // The filter or exception list was emptied and filled with rows (in list order); select
    // makes one row (1-based) the selected one and gives the list the focus.
    virtual void listRefilled(CoreList list, const std::vector<ListRow>& rows) {}
    virtual void listRowSelected(CoreList list, int32_t row) {}

    // Activity log: a line was added (as stored, time prefix included), or the list was emptied.
    virtual void logLineAdded(const std::string& line, int level) {}
    virtual void logCleared() {}

    // A modal message box. Returns whether "Don't show this again" was ticked on closing.
    virtual bool showMessage(const MessageRequest& request) { return false; }

    // The modal confirmation before a file operation. A view that cannot ask declines: nothing
    // is renamed, moved or copied unasked.
    virtual ConfirmDialogAnswer confirmFileOperation(const ConfirmDialogRequest& request) {
        return {};
    }

    // The core has unloaded the main window: the program is to end (the driver honoured a
    // close request, or "Close when done" after a pass). The call may come from inside a pass,
    // so the view ends its event loop rather than destroying the core here.
    virtual void closeMainWindow() {}

    // Lets the user interface process its pending events (the core calls it during long work).
    // The default dispatches the thread's waiting window messages and runs the host's pump hook.
    virtual void pumpEvents();
};

// The view of a core that shows nothing: every request gets the default answer.
class NullView final : public CoreView {};

}  // namespace vantel
