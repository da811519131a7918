#pragma once
// The main window's file commands without a toolkit: what "Add File" asks the open-file dialog
// for, and how chosen or dropped files reach the queue.
//
//   std::string filter = openFileFilter(core.settings().types);
//   // "Supported Types|*.avi;*.mkv;*.mpg;*.mp4|All Files|*.*"
//   queueFiles(core, chosen_paths);

#include "renamer/engine/core.h"

#include <string>
#include <vector>

namespace vantel {

// The open-file dialog's title.
inline constexpr const char* kOpenFileTitle = "Select File";

// openFileFilter: the dialog's filter in the common dialog's form: "Supported Types|" + "*." +
// each extension of types joined by ";" + "|All Files|*.*".
std::string openFileFilter(const std::string& types);

// queueFiles: hands each path, in order, to add_to_queue (Timer1 armed when no pass runs), as
// the open-file dialog and a drop onto the window do. Stops when the window has gone meanwhile.
// Returns how many files were added.
int queueFiles(Core& core, const std::vector<std::string>& paths);

}  // namespace vantel
