#pragma once
// The headless front end's answers to the questions the shell layer asks during a file
// operation (setFileOperationConfirm).
//
// Nothing is replaced unasked, and vantel-cli has nobody to ask in the middle of a run, so it
// answers from its command line: with --yes a file in the way of a move or copy is replaced
// (the renamer asks for undo, so the replaced file goes to the Trash); without --yes it stays
// and the item fails. A folder is never created on the layer's initiative: the renamer creates
// every target folder it may create before the operation, and what is still missing then is a
// top-level folder (an unmounted disk, a mistyped filter). Deleting and merging folders are
// never asked by the renamer and are declined. Every answer is one line on the log stream.
//
//   setFileOperationConfirm(shellConfirmation(options.yes, std::cerr));

#include "platform/shell/shell.h"

#include <ostream>

namespace vantel {

// shellConfirmation returns the callback; log must outlive it.
FileOperationConfirm shellConfirmation(bool yes, std::ostream& log);

}  // namespace vantel
