#include "renamer/engine/startup.h"

#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "renamer/common/reg.h"
#include "renamer/common/textfile.h"
#include "renamer/common/version.h"
#include "renamer/common/workdir.h"

#include <sys/stat.h>

namespace vantel {

namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int deleteWholeFolder(const std::string& folder) {
    std::string from = folder + std::string(1, '\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_SIMPLEPROGRESS;
    return SHFileOperationA(&op);
}

namespace {

// Deletes the work folder's cache; true when it existed and is gone.
bool deleteCache(Core& core) {
    const std::string cache = core.settings().workdir + "cache";
    if (!isFolder(cache)) return false;
    int result = deleteWholeFolder(cache);
    if (result != 0) {
        core.debug_log("Error deleting old cache: error " + std::to_string(result), 1);
        return false;
    }
    return true;
}

}  // namespace

std::string startedLine() {
    return std::string(kAppTitle) + " " + versionText() + " (build " +
           std::to_string(kVersionBuild) + ") started";
}

void migrateVersion(Core& core) {
    const std::string last = modReg::GetSettingString("");
    if (last.empty()) {
        modReg::SaveSettingString("", versionText());
        if (deleteCache(core)) modReg::SaveSettingInt("context", 0);
    } else if (last == "3.1" || last == "3.2" || last == "3.3") {
        modReg::SaveSettingString("", versionText());
        deleteCache(core);
    }
}

void startCore(Core& core) {
    core.settings().workdir = setworkdir(core.log());
    // A run killed while it replaced a data or cache file leaves its temporary file behind.
    const int stale = RemoveStaleTemporaryFiles(core.settings().workdir) +
                      RemoveStaleTemporaryFiles(core.settings().workdir + "cache");
    if (stale > 0)
        core.debug_log("Removed " + std::to_string(stale) + " temporary files of earlier runs", 2);
    migrateVersion(core);
    // A store that did not parse was kept aside by the first read above, which told standard
    // error; the log says it too, so the user learns why the settings are back to defaults.
    if (const std::string aside = RegistryStoreSetAside(); !aside.empty())
        core.debug_log("The settings store could not be read; it was kept as " + aside +
                           " and a new one was started",
                       1);
    readSettings(core.settings());
    core.resetQueue();
    if (core.loadfilters()) {
        core.debug_log("Loaded " + std::to_string(core.filters().count()) + " afilters", 2);
    } else {
        core.debug_log("Failed to load afilters", 1);
    }
    if (core.loadefilters()) {
        core.debug_log("Loaded " + std::to_string(core.exceptions().count()) + " efilters", 2);
    } else {
        core.debug_log("Failed to load efilters", 1);
    }
}

void queueCommandLine(Core& core, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (core.unloaded()) return;
        core.add_to_queue(path, false);
    }
    core.enableTimer1();
}

}  // namespace vantel
