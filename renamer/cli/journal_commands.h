#pragma once
// --history and --undo: the journal of file operations (renamer/engine/journal.h) from the
// command line.
//
//   vantel-cli --history   one line per run, newest first: number, local time, how many file
//                          operations it made, and "done", "undone", "partly undone" or
//                          "undo failed"
//   vantel-cli --undo [N]  undoes the newest run not yet undone (or run N), its operations
//                          newest first; one line per operation: its number, "Undone",
//                          "Skipped", "Refused" or "Failed", where the file is, where it goes
//                          back to, and what happened in words

#include <cstdint>
#include <ostream>

namespace vantel {

// runHistory prints the runs on out. Returns 0, or 1 when the journal cannot be read (reason
// on err). An empty journal prints nothing and says so on err.
int runHistory(std::ostream& out, std::ostream& err);

// runUndo undoes run (0: the newest one not yet undone) and prints one line per operation on
// out; the log goes to err. Returns 0 when every operation was undone (or had nothing to undo),
// 1 otherwise, and 1 with a reason on err when there is nothing to undo.
int runUndo(int32_t run, std::ostream& out, std::ostream& err);

}  // namespace vantel
