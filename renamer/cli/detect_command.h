#pragma once
// vantel-cli --detect: what filename detection makes of names, without queueing anything, so a
// user can see why a file is or is not recognised.
//
//   Core core(&view);
//   prepareDetect(core);                              // work folder, log level, exceptions
//   int status = runDetect(core, {"/tv/Lost/lost.s01e05.avi"}, std::cout);
//   // prints "lost\t1\t5\t1\tlost"

#include "renamer/engine/core.h"

#include <ostream>
#include <string>
#include <vector>

namespace vantel {

// prepareDetect: the work folder (setworkdir), the stored options (the log level) and the
// exceptions from "man.dat" ("Loaded N efilters", level 2, or "Failed to load efilters",
// level 1, keeping what did load). Nothing is migrated or queued. Never fails.
void prepareDetect(Core& core);

// detectLine: the report line (without line end) for one name, and in *matched whether a
// detection row matched. A name holding "/" is a path: the name of the folder holding the file
// is tried first, then the file's name, as the queue does. A match gives
//   show TAB season TAB episode TAB row id TAB show as searched
// where the last field is the show after the exceptions of core.exceptions() (lower case when
// an exception applied); no match gives "no match" TAB the name. Detection's own log lines go
// to core's log.
std::string detectLine(Core& core, const std::string& name, bool* matched);

// runDetect: detectLine for each name in order, one line each on out. Returns 0 when every
// name matched, 1 otherwise.
int runDetect(Core& core, const std::vector<std::string>& names, std::ostream& out);

}  // namespace vantel
