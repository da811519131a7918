#pragma once
// --get and --set: read and write the stored settings from the command line.
//
// The names and values are those the preferences dialog writes: "types" as text (REG_SZ, stored
// as the dialog stores it: lower case, without dots and without a trailing ";"), the others as
// numbers (REG_DWORD) within the dialog's range. Every command is checked before any is run,
// so a refused command leaves the store untouched.

#include "renamer/cli/cli_options.h"

#include <ostream>
#include <vector>

namespace vantel {

// runSettingCommands: runs the commands in order; a get prints the stored value on out. Returns
// the exit status: 0; 1 when a value to get is not stored or a set could not be written; 2 when
// a name is unknown or a value is refused (nothing is run then). Reasons go to err.
int runSettingCommands(const std::vector<CliOptions::SettingCommand>& commands, std::ostream& out,
                       std::ostream& err);

}  // namespace vantel
