#include "renamer/cli/queue_paths.h"

#include "renamer/cli/cli_options.h"
#include "renamer/cli/cli_text.h"
#include "renamer/engine/paths.h"

namespace vantel {

namespace {

// "1 file of another type" / "2 files of another type".
std::string counted(int32_t count, const char* what) {
    return std::to_string(count) + (count == 1 ? " file " : " files ") + what;
}

}  // namespace

std::string nothingQueuedReason(const Core::QueueTally& t, const std::string& path,
                                const std::string& types) {
    if (t.too_short) return "the path is too short";
    if (t.missing) return "no such file or folder";
    if (t.too_long) return "the path is longer than the system allows";
    if (t.unreadable) return "it cannot be read: " + t.error;
    const int32_t files = t.already_queued + t.unlisted_type + t.sample;
    // One file given by its path: its own reason.
    if (files == 1 && t.already_queued) return "it is queued already";
    if (files == 1 && t.unlisted_type) {
        const std::string ext = getextension(path);
        return (ext.empty() ? std::string("it has no file type") : "its type (" + ext + ")") +
               " is not one of the accepted types " + types;
    }
    if (files == 1 && t.sample) return "\"sample\" is in its path";
    if (files == 0) return "the folder holds no file";
    std::string reasons;
    for (auto [count, what] : {std::pair{t.unlisted_type, "of a type not in " + types},
                               std::pair{t.sample, std::string("with \"sample\" in the path")},
                               std::pair{t.already_queued, std::string("queued already")}}) {
        if (count == 0) continue;
        if (!reasons.empty()) reasons += ", ";
        reasons += counted(count, what.c_str());
    }
    return "the folder holds no file to queue: " + reasons;
}

bool queueNamedPaths(Core& core, const std::vector<std::string>& paths, std::ostream& err) {
    bool all = true;
    for (const std::string& given : paths) {
        if (core.unloaded()) break;
        Core::QueueTally tally;
        core.add_to_queue(queuePath(given), false, &tally);
        if (tally.added > 0) continue;
        all = false;
        err << "vantel-cli: nothing queued from " << oneLine(given) << ": "
            << nothingQueuedReason(tally, given, core.settings().types) << '\n';
    }
    core.enableTimer1();
    return all;
}

}  // namespace vantel
