// The queue driver: Timer1, process_queue with its check points, retry, update_lv and the
// confirmation stage.

#include "renamer/engine/core.h"

#include "renamer/common/reg.h"
#include "renamer/engine/paths.h"

#include <exception>

namespace {

const char* stateText(int32_t state, int32_t action) {
    switch (state) {
        case kStateCancelled:
            return "Cancelled";
        case kStateFailed:
            return "Failed";
        case kStateInactive:
            return "Inactive";
        case kStateScanning:
            return "Scanning";
        case kStateSearching:
            return "Searching";
        case kStateFetchingListings:
            return "Fetching Listings";
        case kStateCheckingFilters:
            return "Checking Filters";
        case kStateFileOperation:
            return action == 2 ? "Moving" : action == 3 ? "Copying" : "Renaming";
        case kStateDone:
            return "Done";
        default:
            return "";
    }
}

int statusIcon(int32_t state) {
    if (state == kStateDone) return 1;
    if (state < 0) return 2;
    return 3;
}

}  // namespace

void Core::enableTimer1() {
    if (m_unloaded || !m_hwnd) return;
    // Setting an armed timer again restarts its count: one pass, 1.5 s after the last arming.
    m_timer1_enabled = SetTimer(m_hwnd, kTimer1Id, kTimer1Interval, nullptr) != 0;
}

void Core::disableTimer1() {
    if (m_timer1_enabled) KillTimer(m_hwnd, kTimer1Id);
    m_timer1_enabled = false;
}

void Core::Timer1_Timer() {
    // A tick of a timer that was disabled in the meantime (already queued) is ignored.
    if (!m_timer1_enabled) return;
    disableTimer1();
    if (m_walking > 0) {
        // A folder is being walked further up the stack; run the pass after it instead.
        enableTimer1();
        return;
    }
    process_queue();
}

void Core::mnuRetry_Click() {
    if (m_flags.busy || m_unloaded) return;
    m_retry_mode = true;
    m_current_item = 0;
    process_queue();
}

void Core::process_queue() {
    // Another pass is running further up this thread's stack (a tick dispatched while it
    // pumped): that pass reads the queue length afresh and takes up every waiting item.
    if (m_flags.busy || m_unloaded) return;
    m_flags.busy = true;
    for (;;) {
        if (m_flags.quit_requested) return endPassForQuit();
        if (m_current_item >= queueCount()) {
            m_retry_mode = false;
            m_flags.busy = false;
            if (m_current_item == 0) {
                debug_log("No work to do", 2);
                return;
            }
            debug_log("All items processed", 1);
            if (m_settings.autoclose) unloadMainWindow();
            return;
        }
        ++m_current_item;
        // Retry pass: only items at 0 or below (inactive, failed, cancelled, undone).
        if (m_retry_mode && item(m_current_item).state > 0) continue;
        if (processItem(m_current_item) == ItemOutcome::Quit) return endPassForQuit();
    }
}

void Core::endPassForQuit() {
    m_flags.busy = false;
    unloadMainWindow();
}

// Runs one stage call and stores its answer in result. A stage is not meant to let a run-time
// error escape; if one does, it fails this item (logged, with the reason in error_text) and the
// pass goes on with the next one. Returns false in that case.
template <class Call>
bool Core::runStage(int32_t index, bool& result, Call&& call) {
    std::string what;
    try {
        result = call();
        return true;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "unknown error";
    }
    debug_log("Error processing " + item(index).file_name + ": " + what, 1);
    item(index).error_text = "An unexpected error stopped processing this file: " + what;
    failItem(index);
    return false;
}

Core::ItemOutcome Core::processItem(int32_t index) {
    bool ok = false;

    setState(index, kStateScanning);
    if (stageMissing(index, Stage::Detection)) return ItemOutcome::Next;
    // The folder's name first, then the file's own name.
    if (!runStage(index, ok, [&] { return m_stages->getbits(*this, index, true); })) {
        return ItemOutcome::Next;
    }
    if (!ok && !runStage(index, ok, [&] { return m_stages->getbits(*this, index, false); })) {
        return ItemOutcome::Next;
    }
    if (!ok) {
        debug_log("Unable to find filename filter for: " + item(index).file_name, 1);
        item(index).error_text = "Unable to find filename filter";
        failItem(index);
        return ItemOutcome::Next;
    }
    debug_log("Found filename filter for: " + item(index).file_name, 2);

    setState(index, kStateSearching);
    debug_log("Checking exceptions", 2);
    if (stageMissing(index, Stage::Exceptions)) return ItemOutcome::Next;
    if (!runStage(index, ok, [&] { return m_stages->checkex(*this, index); })) {
        return ItemOutcome::Next;
    }
    debug_log("Searching for: " + item(index).detected_show, 2);
    if (stageMissing(index, Stage::ShowSearch)) return ItemOutcome::Next;
    if (!runStage(index, ok, [&] { return m_stages->searchtv(*this, index); })) {
        return ItemOutcome::Next;
    }
    if (!ok) {
        const std::string show = item(index).detected_show;
        debug_log("Unable to find show page for: " + show, 1);
        item(index).error_text =
            std::string("Unable to find show on ") + kSiteDescription + "\r\nSearched for: " + show;
        failItem(index);
        return ItemOutcome::Next;
    }

    setState(index, kStateFetchingListings);
    if (m_flags.quit_requested) return ItemOutcome::Quit;
    if (stageMissing(index, Stage::Listings)) return ItemOutcome::Next;
    if (!runStage(index, ok, [&] { return m_stages->getlistings(*this, index); })) {
        return ItemOutcome::Next;
    }
    if (!ok) {
        debug_log("Unable to find listings for: " + episodeText(index), 1);
        item(index).error_text = std::string("Unable to find listings on ") + kSiteDescription +
                                 "\r\nSearched for: " + item(index).detected_show +
                                 "\r\nDetected as: " + episodeText(index);
        failItem(index);
        return ItemOutcome::Next;
    }

    setState(index, kStateCheckingFilters);
    if (m_flags.quit_requested) return ItemOutcome::Quit;
    if (stageMissing(index, Stage::FilterChoice)) return ItemOutcome::Next;
    // A filter that matches but cannot be applied says why in error_text; none matching leaves
    // it empty.
    item(index).error_text.clear();
    if (!runStage(index, ok, [&] { return m_stages->dofilter(*this, index); })) {
        return ItemOutcome::Next;
    }
    if (!ok && !item(index).error_text.empty()) {
        failItem(index);
        return ItemOutcome::Next;
    }
    if (!ok) {
        debug_log("Unable to find matching filter for: " + episodeText(index), 1);
        item(index).error_text =
            "Found listings, but no filter could be found to move/rename the file";
        failItem(index);
        return ItemOutcome::Next;
    }

    setState(index, kStateFileOperation);
    if (m_flags.quit_requested) return ItemOutcome::Quit;
    if (!runStage(index, ok, [&] { return confirm_item(index); })) return ItemOutcome::Next;
    if (!ok) {
        debug_log("Unable to rename/move files for: " + item(index).new_name + " (user cancelled)",
                  1);
        item(index).error_text = "User cancelled the file operation";
        setState(index, kStateCancelled);
        return ItemOutcome::Next;
    }
    if (stageMissing(index, Stage::FileOperation)) return ItemOutcome::Next;
    if (!runStage(index, ok, [&] { return m_stages->fileops(*this, index); })) {
        return ItemOutcome::Next;
    }
    if (!ok) {
        // error_text is what the file operation left.
        debug_log("Unable to rename/move files for: " + item(index).new_name, 1);
        failItem(index);
        return ItemOutcome::Next;
    }
    setState(index, kStateDone);
    return ItemOutcome::Next;
}

void Core::setState(int32_t index, int32_t state) {
    item(index).state = state;
    update_lv(index);
}

void Core::failItem(int32_t index) {
    setState(index, kStateFailed);
}

bool Core::stageMissing(int32_t index, Stage stage) {
    if (m_stages->available(stage)) return false;
    const char* why = unavailableText(stage);
    debug_log(std::string(why) + ": " + item(index).file_name, 1);
    item(index).error_text = why;
    failItem(index);
    return true;
}

std::string Core::episodeText(int32_t index) const {
    const QueueItem& it = item(index);
    return it.show_title + " " + std::to_string(it.season) + "x" + std::to_string(it.episode);
}

bool Core::update_lv(int32_t index) {
    try {
        if (!validIndex(index)) {
            debug_log("Error updating q state: no queue item " + std::to_string(index), 1);
            return true;
        }
        const QueueItem& it = item(index);
        QueueRowUpdate row;
        row.status = statusText(index);
        row.icon = statusIcon(it.state);
        if (it.state == kStateCancelled) {
            row.new_name = "";
        } else if (it.state == kStateFileOperation || it.state == kStateDone) {
            row.new_name = remextension(it.new_name);
        }
        const bool scroll = it.state != kStateInactive;
        m_view->queueRowChanged(index, row);
        m_view->queueRowSelected(index, scroll);
        pump();
        pump();
    } catch (const std::exception& e) {
        debug_log(std::string("Error updating q state: ") + e.what(), 1);
    } catch (...) {
        debug_log("Error updating q state: unknown error", 1);
    }
    return true;
}

std::string Core::statusText(int32_t index) const {
    const QueueItem& it = item(index);
    int32_t action =
        it.state == kStateFileOperation ? m_stages->filterAction(*this, it.filter_index) : 0;
    return stateText(it.state, action);
}

bool Core::confirm_item(int32_t index) {
    if (!validIndex(index)) return false;
    if (!m_settings.confirm) return true;
    ConfirmDialogRequest request;
    request.index = index;
    request.action = m_stages->filterAction(*this, item(index).filter_index);
    switch (request.action) {
        case 2:
            request.caption = "Confirm File Move";
            request.question = "Continue with file move?";
            break;
        case 3:
            request.caption = "Confirm File Copy";
            request.question = "Continue with file copy?";
            break;
        default:
            request.caption = "Confirm File Rename";
            request.question = "Continue with file rename?";
            break;
    }
    request.from = item(index).path;
    request.to = item(index).target_folder + item(index).new_name;
    ConfirmDialogAnswer answer = m_view->confirmFileOperation(request);
    if (answer.dont_show_again) {
        // No later operation asks; this one still follows the button pressed.
        m_settings.confirm = false;
        modReg::SaveSettingInt("confirm", 0);
    }
    // The item may have moved while the dialog pumped; look it up again.
    item(index).confirmed = answer.ok;
    return answer.ok;
}
