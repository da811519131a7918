#pragma once
// Undoing a whole run of the journal (journal.h): each of its operations, newest first, by the
// same rules as the undo of a queue item (fileops.h): a rename is renamed back, a move moved
// back, a copy goes to the Trash. Nothing is lost: an undo is refused when the file is no longer
// where the operation put it, when the old name is taken by another file, and, for a copy, when
// the original is gone (the copy is then the only one left).
//
//   std::vector<UndoOutcome> outcomes;
//   std::string error;
//   int32_t run = 0;                                         // the newest run not undone
//   if (!undoJournalRun(workdir, run, log, outcomes, error))
//       print(error);                                        // e.g. "there is nothing to undo"
//   for (const UndoOutcome& o : outcomes) print(o.op, undoResultText(o.result), o.text);

#include "renamer/common/activity_log.h"
#include "renamer/engine/journal.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantel {

enum class UndoResult {
    Undone,   // the file is back where it was (a copy: in the Trash)
    Skipped,  // the operation was never completed and left nothing to undo
    Refused,  // undoing it would lose or replace a file; nothing was changed
    Failed,   // the file operation failed; nothing was changed
};

struct UndoOutcome {
    int32_t op = 0;
    int32_t action = 0;
    std::string from;  // where the file is (the operation's new path)
    std::string to;    // where it goes back to (its old path)
    UndoResult result = UndoResult::Failed;
    std::string text;  // what happened, e.g. "renamed back", or why not
};

// undoJournalRun undoes run (0: the newest run that was never undone as a whole and has
// something to undo; it is then set to that run's number) of workdir's journal. Operations already
// undone or never made are passed over; one whose end was never recorded is undone when its file is
// at the new path and skipped otherwise. Each undone operation is recorded at once, and the run as
// undone after the last, so an undo that is killed can be run again. outcomes gets one entry per
// operation tried, newest first. Returns false with error set when there is nothing to try: the
// journal cannot be read, it holds no run to undo, run does not exist, or run has nothing left to
// undo. The file operations ask no one: a file in the way is never replaced.
bool undoJournalRun(const std::string& workdir, int32_t& run, ActivityLog& log,
                    std::vector<UndoOutcome>& outcomes, std::string& error);

// undoResultText: "Undone", "Skipped", "Refused", "Failed".
const char* undoResultText(UndoResult result);

}  // namespace vantel
