// The queue driver: Timer1, process_queue with its check points, retry, update_lv and the
// confirmation stage.

#include "renamer/engine/core.h"

#include "renamer/common/reg.h"
#include "renamer/engine/paths.h"

#include <exception>
#include <optional>

namespace vantel {

namespace {

const char* stateText(ItemState state, FileAction action) {
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
            return action == kActionMove   ? "Moving"
                   : action == kActionCopy ? "Copying"
                                           : "Renaming";
        case kStateDone:
            return "Done";
        default:
            return "";
    }
}

int statusIcon(ItemState state) {
    if (state == kStateDone) return 1;
    if (state < kStateInactive) return 2;
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
        if (m_retry_mode && item(m_current_item).state > kStateInactive) continue;
        if (processItem(m_current_item) == ItemOutcome::Quit) return endPassForQuit();
    }
}

void Core::endPassForQuit() {
    m_flags.busy = false;
    unloadMainWindow();
}

// One stage of the pipeline as the driver runs it: the state the item takes first, whether a
// close request ends the pass before the stage, the stage's call, and how the item fails when
// the stage finds nothing (the stage's own words in the log and in error_text).
struct Core::PipelineStep {
    std::optional<ItemState> enter;  // nullopt: the item keeps its state
    bool quit_point;
    StageResult (*run)(Core& core, int32_t index);
    void (*failed)(Core& core, int32_t index);  // nullptr: the stage's answer is not used
};

const Core::PipelineStep Core::kPipeline[] = {
    // Detection: the folder's name first, then the file's own name.
    {kStateScanning, false,
     [](Core& core, int32_t index) {
         StageResult found = core.m_stages->getbits(core, index, true);
         if (!found.ok && found.error.empty()) found = core.m_stages->getbits(core, index, false);
         if (found.ok)
             core.debug_log("Found filename filter for: " + core.item(index).file_name, 2);
         return found;
     },
     [](Core& core, int32_t index) {
         core.debug_log("Unable to find filename filter for: " + core.item(index).file_name, 1);
         core.item(index).error_text = "Unable to find filename filter";
         core.failItem(index);
     }},
    // Exceptions: may rename the detected show; nothing to fail.
    {kStateSearching, false,
     [](Core& core, int32_t index) {
         core.debug_log("Checking exceptions", 2);
         StageResult checked = core.m_stages->checkex(core, index);
         if (!checked.error.empty()) return checked;
         core.debug_log("Searching for: " + core.item(index).detected_show, 2);
         return StageResult(true);
     },
     nullptr},
    // The show search.
    {std::nullopt, false,
     [](Core& core, int32_t index) { return core.m_stages->searchtv(core, index); },
     [](Core& core, int32_t index) {
         const std::string show = core.item(index).detected_show;
         core.debug_log("Unable to find show page for: " + show, 1);
         core.item(index).error_text = std::string("Unable to find show on ") + kSiteDescription +
                                       "\r\nSearched for: " + show;
         core.failItem(index);
     }},
    // The episode listing.
    {kStateFetchingListings, true,
     [](Core& core, int32_t index) { return core.m_stages->getlistings(core, index); },
     [](Core& core, int32_t index) {
         core.debug_log("Unable to find listings for: " + core.episodeText(index), 1);
         core.item(index).error_text = std::string("Unable to find listings on ") +
                                       kSiteDescription +
                                       "\r\nSearched for: " + core.item(index).detected_show +
                                       "\r\nDetected as: " + core.episodeText(index);
         core.failItem(index);
     }},
    // The action filter.
    {kStateCheckingFilters, true,
     [](Core& core, int32_t index) { return core.m_stages->dofilter(core, index); },
     [](Core& core, int32_t index) {
         core.debug_log("Unable to find matching filter for: " + core.episodeText(index), 1);
         core.item(index).error_text =
             "Found listings, but no filter could be found to move/rename the file";
         core.failItem(index);
     }},
    // The confirmation: declining cancels the item rather than failing it.
    {kStateFileOperation, true,
     [](Core& core, int32_t index) { return StageResult(core.confirm_item(index)); },
     [](Core& core, int32_t index) {
         core.debug_log(
             "Unable to rename/move files for: " + core.item(index).new_name + " (user cancelled)",
             1);
         core.item(index).error_text = "User cancelled the file operation";
         core.setState(index, kStateCancelled);
     }},
    // The file operation; error_text is what it left.
    {std::nullopt, false,
     [](Core& core, int32_t index) { return core.m_stages->fileops(core, index); },
     [](Core& core, int32_t index) {
         core.debug_log("Unable to rename/move files for: " + core.item(index).new_name, 1);
         core.failItem(index);
     }},
};

Core::ItemOutcome Core::processItem(int32_t index) {
    for (const PipelineStep& step : kPipeline) {
        if (step.enter) setState(index, *step.enter);
        if (step.quit_point && m_flags.quit_requested) return ItemOutcome::Quit;
        StageResult result = runStep(index, step);
        if (!result.error.empty()) {
            debug_log("Error processing " + item(index).file_name + ": " + result.error, 1);
            item(index).error_text =
                "An unexpected error stopped processing this file: " + result.error;
            failItem(index);
            return ItemOutcome::Next;
        }
        if (!result.ok && step.failed) {
            step.failed(*this, index);
            return ItemOutcome::Next;
        }
    }
    setState(index, kStateDone);
    return ItemOutcome::Next;
}

// A stage answers with a value; one that lets a run-time error escape all the same (a stage of a
// test, memory running out) fails only its own item, with the error's text as the reason.
StageResult Core::runStep(int32_t index, const PipelineStep& step) {
    try {
        return step.run(*this, index);
    } catch (const std::exception& e) {
        return StageResult::failure(e.what());
    } catch (...) {
        return StageResult::failure("unknown error");
    }
}

void Core::setState(int32_t index, ItemState state) {
    item(index).state = state;
    update_lv(index);
}

void Core::failItem(int32_t index) {
    setState(index, kStateFailed);
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
    FileAction action = it.state == kStateFileOperation
                            ? m_stages->filterAction(*this, it.filter_index)
                            : kActionNone;
    return stateText(it.state, action);
}

bool Core::confirm_item(int32_t index) {
    if (!validIndex(index)) return false;
    if (!m_settings.confirm) return true;
    ConfirmDialogRequest request;
    request.index = index;
    request.action = m_stages->filterAction(*this, item(index).filter_index);
    switch (request.action) {
        case kActionMove:
            request.caption = "Confirm File Move";
            request.question = "Continue with file move?";
            break;
        case kActionCopy:
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

}  // namespace vantel
