#include "renamer/engine/journal_undo.h"

#include "platform/shell/shell.h"
#include "renamer/common/queue_item.h"
#include "renamer/engine/fileops.h"
#include "renamer/engine/paths.h"

#include <sys/stat.h>

namespace vantel {

namespace {

bool pathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Puts the process-wide confirmation aside for as long as an undo runs: an undo never replaces
// a file that is in the way, whatever the run that made the operation was allowed to do.
class NoConfirmation {
  public:
    NoConfirmation() : m_previous(setFileOperationConfirm({})) {}
    ~NoConfirmation() { setFileOperationConfirm(std::move(m_previous)); }
    NoConfirmation(const NoConfirmation&) = delete;
    NoConfirmation& operator=(const NoConfirmation&) = delete;

  private:
    FileOperationConfirm m_previous;
};

const char* undoneText(int32_t action) {
    switch (action) {
        case 1:
            return "renamed back";
        case 2:
            return "moved back";
        default:
            return "the copy went to the Trash";
    }
}

// Undoes one operation. The checks that keep every file come first, so that each refusal says
// in words what is in the way; the file operation then makes the same checks again.
UndoOutcome undoOne(const JournalOp& op, ActivityLog& log) {
    UndoOutcome outcome{op.number, op.action, op.new_path, op.old_path, UndoResult::Refused, ""};
    if (op.action < 1 || op.action > 3) {
        outcome.result = UndoResult::Failed;
        outcome.text = "unknown action " + std::to_string(op.action);
        return outcome;
    }
    if (!pathExists(op.new_path)) {
        if (op.state == JournalOpState::Pending) {
            outcome.result = UndoResult::Skipped;
            outcome.text = "never completed: no file at the new path";
        } else {
            outcome.text = "no longer there (moved or deleted since)";
        }
        return outcome;
    }
    if (op.action != 3 && pathExists(op.old_path)) {
        outcome.text = "the old name is taken by another file";
        return outcome;
    }
    if (op.action == 3 && !pathExists(op.old_path)) {
        outcome.text = "the original is gone, so the copy is kept";
        return outcome;
    }
    QueueItem item;
    item.path = op.old_path;
    item.file_name = getfname(op.old_path);
    item.target_folder = getpath(op.new_path, 0);
    item.new_name = getfname(op.new_path);
    if (undofileops(item, static_cast<FileAction>(op.action), log)) {
        outcome.result = UndoResult::Undone;
        outcome.text = undoneText(op.action);
    } else {
        outcome.result = UndoResult::Failed;
        outcome.text = item.error_text.empty() ? "The file undo operation failed" : item.error_text;
    }
    return outcome;
}

}  // namespace

bool undoJournalRun(const std::string& workdir, int32_t& run, ActivityLog& log,
                    std::vector<UndoOutcome>& outcomes, std::string& error) {
    outcomes.clear();
    JournalHistory history;
    if (!readJournal(workdir, history, &error)) return false;
    const JournalRun* chosen = run > 0 ? history.find(run) : history.newestToUndo();
    if (!chosen) {
        error = run > 0 ? "there is no run " + std::to_string(run) : "there is nothing to undo";
        return false;
    }
    run = chosen->number;
    if (chosen->undoable() == 0) {
        error = "run " + std::to_string(run) + " has nothing left to undo";
        return false;
    }
    NoConfirmation no_confirmation;
    Journal journal;
    for (auto op = chosen->ops.rbegin(); op != chosen->ops.rend(); ++op) {
        if (op->state != JournalOpState::Done && op->state != JournalOpState::Pending) continue;
        outcomes.push_back(undoOne(*op, log));
        if (outcomes.back().result == UndoResult::Undone)
            journal.recordUndo(workdir, JournalOpId{run, op->number}, log, true);
    }
    journal.recordRunUndone(workdir, run, log);
    return true;
}

const char* undoResultText(UndoResult result) {
    switch (result) {
        case UndoResult::Undone:
            return "Undone";
        case UndoResult::Skipped:
            return "Skipped";
        case UndoResult::Refused:
            return "Refused";
        case UndoResult::Failed:
            return "Failed";
    }
    return "Failed";
}

}  // namespace vantel
