#include "renamer/cli/detect_command.h"

#include "renamer/cli/cli_text.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/detection.h"
#include "renamer/engine/paths.h"

namespace vantel {

void prepareDetect(Core& core) {
    core.settings().workdir = setworkdir(core.log());
    readSettings(core.settings());
    if (core.loadefilters()) {
        core.debug_log("Loaded " + std::to_string(core.exceptions().count()) + " efilters", 2);
    } else {
        core.debug_log("Failed to load efilters", 1);
    }
}

std::string detectLine(Core& core, const std::string& name, bool* matched) {
    QueueItem item;
    item.path = name;
    item.file_name = getfname(name);
    int32_t row = 0;
    // A bare file name has no folder to look at.
    bool found = name.find('/') != std::string::npos && getbits(item, true, core.log(), &row);
    if (!found) found = getbits(item, false, core.log(), &row);
    *matched = found;
    if (!found) return "no match\t" + oneLine(name);
    const std::string detected = item.detected_show;
    checkex(item, core.exceptions());
    return oneLine(detected) + '\t' + std::to_string(item.season) + '\t' +
           std::to_string(item.episode) + '\t' + std::to_string(row) + '\t' +
           oneLine(item.detected_show);
}

int runDetect(Core& core, const std::vector<std::string>& names, std::ostream& out) {
    int status = 0;
    for (const std::string& name : names) {
        bool matched = false;
        out << detectLine(core, name, &matched) << '\n';
        if (!matched) status = 1;
    }
    out.flush();
    return status;
}

}  // namespace vantel
