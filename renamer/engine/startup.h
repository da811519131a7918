#pragma once
// The start of the program that needs no window toolkit: what the desktop window and the
// headless front end both do before and after the command line is queued. Front ends do not call
// these one by one: Application (application.h) runs them in order with the rest of the set-up.
//
//   Core core(&view, nullptr, mainCaption());
//   core.debug_log(startedLine(), 1);
//   startCore(core);                 // work folder, version migration, settings, empty queue
//   queueCommandLine(core, {text});  // the window: the whole command line is one path
//   core.flags().loaded = true;

#include "renamer/engine/core.h"

#include <string>
#include <vector>

namespace vantel {

// startedLine: "Vantel 4.0 (build 151) started", the first line of every run's log.
std::string startedLine();

// startCore: the work folder (setworkdir), the version migration (migrateVersion), every stored
// option (readSettings), an empty queue, then the action filters and the exceptions from the
// work folder ("Loaded N afilters" / "Loaded N efilters", level 2; "Failed to load afilters" /
// "Failed to load efilters", level 1, keeping what did load). The desktop window then sets up the
// context-menu entries when settings().context is 0. Never fails; problems are logged.
void startCore(Core& core);

// deleteWholeFolder: deletes folder with its contents at once: silent, no confirmation, not to
// the Trash (links are removed as links, never followed). Returns the shell's result (0 on
// success, else a shellerror number).
int deleteWholeFolder(const std::string& folder);

// migrateVersion: compares the version that last started (the program key's default value)
// with this one. Nothing stored: this version is stored and, when the work folder holds a
// "cache" folder, that folder is deleted and "context" is stored as 0. A stored "3.1", "3.2" or
// "3.3": this version is stored and the "cache" folder (of a format this version cannot read) is
// deleted. Any other stored version is left as it is. core.settings().workdir must be set. A
// cache folder that cannot be deleted is logged ("Error deleting old cache: ...", level 1).
void migrateVersion(Core& core);

// queueCommandLine: hands each path to add_to_queue and then arms Timer1, so that one pass runs
// shortly after start even when nothing was queued ("No work to do"). Stops early when the
// window was closed meanwhile.
void queueCommandLine(Core& core, const std::vector<std::string>& paths);

}  // namespace vantel
