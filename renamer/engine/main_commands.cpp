#include "renamer/engine/main_commands.h"

#include "renamer/engine/shell_entries.h"

namespace vantel {

std::string openFileFilter(const std::string& types) {
    std::string patterns;
    for (const std::string& extension : shellEntryTypes(types)) {
        if (extension == "DIR") continue;  // the folders' entry, not an extension
        if (!patterns.empty()) patterns += ';';
        patterns += "*." + extension;
    }
    return "Supported Types|" + patterns + "|All Files|*.*";
}

int queueFiles(Core& core, const std::vector<std::string>& paths) {
    int added = 0;
    for (const std::string& path : paths) {
        if (core.unloaded()) break;
        if (core.add_to_queue(path, true)) ++added;
    }
    return added;
}

}  // namespace vantel
