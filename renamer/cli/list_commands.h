#pragma once
// The list commands: list, add, remove and reorder the action filters ("filters.dat") and the
// exceptions ("man.dat") from the command line, through the same commands of the core as the
// window's buttons and dialogs, so the files come out as the window writes them.
//
//   vantel-cli --filters                  N, description, action, mask, path (TAB-separated)
//   vantel-cli --add-filter [--show TEXT | --type TEXT] [--not]
//                           [--rename | --move FOLDER | --copy FOLDER] [--mask MASK]
//   vantel-cli --remove-filter N | --move-filter N TO      (TO: a position, up or down)
//   vantel-cli --exceptions               N, detected name, new name
//   vantel-cli --add-exception DETECTED NEW | --remove-exception N | --move-exception N TO
//
// A command that changes a list prints the list as it is afterwards.

#include "renamer/cli/cli_options.h"

#include <ostream>

namespace vantel {

// runListCommand runs command in the user's work folder. Returns the exit status: 0; 1 when
// the entry is refused (the dialog's message, an entry number outside the list, the last
// filter), when the list's file did not load whole (nothing is changed then) or could not be
// saved. Reasons and the log go to err.
int runListCommand(const CliOptions::ListCommand& command, std::ostream& out, std::ostream& err);

}  // namespace vantel
