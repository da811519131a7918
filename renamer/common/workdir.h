#pragma once
// The work directory: the folder of the data files ("filters.dat", "man.dat") and the "cache"
// folder, and the folders it is derived from.
//
//   settings.workdir = setworkdir(log);   // e.g. "/home/ann/.local/share/Vantel/"

#include "renamer/common/activity_log.h"

#include <string>

namespace vantel {

// The application title: names the registry key, the work folder and the window caption.
inline constexpr const char* kAppTitle = "Vantel";

// programFolder: the folder of the running executable (from /proc/self/exe), without a
// trailing "/"; "." when it cannot be determined.
std::string programFolder();

// programDataFolder: the folder of the files the program ships besides itself (the help page,
// the icon): "share/vantel" beside the folder that holds the executable's folder, as installed
// ("/usr/bin/vantel" -> "/usr/share/vantel") and as built ("build/bin" -> "build/share/vantel").
// Without a trailing "/"; whether it exists is not checked.
std::string programDataFolder();

// appDataFolder: $APPDATA when set and not empty, else $XDG_DATA_HOME when set and not empty,
// else $HOME/.local/share. No trailing "/". "" when none of them can be determined.
std::string appDataFolder();

// setworkdir: appDataFolder() + "/Vantel/", creating the data folder (with its parents, as the
// desktop's folder rules ask) and the "Vantel" folder below it when missing. When a folder
// cannot be created, logs "Error making work dir: " + the reason at level 1 and returns the
// program folder + "/". The result always ends in "/".
std::string setworkdir(ActivityLog& log);

}  // namespace vantel
