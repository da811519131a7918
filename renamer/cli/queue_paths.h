#pragma once
// Queueing the paths of vantel-cli's command line, saying on the log stream, for each path that
// queued nothing, why.
//
//   bool all = queueNamedPaths(core, options.paths, std::cerr);  // then runs the queue
//
// "vantel-cli: nothing queued from /videos/notes.txt: its type (txt) is not one of avi;mkv"

#include "renamer/engine/core.h"

#include <ostream>
#include <string>
#include <vector>

namespace vantel {

// queueNamedPaths hands each path (made whole by queuePath) to add_to_queue and then arms
// Timer1, as queueCommandLine does. For each path that added no file it writes one line to err
// with the reason. Returns false when some path added no file.
bool queueNamedPaths(Core& core, const std::vector<std::string>& paths, std::ostream& err);

// nothingQueuedReason: why a path whose add_to_queue call counted tally added nothing, in
// words ("no such file or folder", "the folder holds no file to queue: 2 of another type, ...").
std::string nothingQueuedReason(const Core::QueueTally& tally, const std::string& path,
                                const std::string& types);

}  // namespace vantel
