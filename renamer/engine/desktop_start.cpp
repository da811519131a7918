#include "renamer/engine/desktop_start.h"

#include "renamer/common/reg.h"
#include "renamer/common/version.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/open_with_entry.h"
#include "renamer/engine/shell_entries.h"
#include "renamer/engine/startup.h"

#include <cctype>
#include <filesystem>

namespace vantel {

CommandLine readCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) line.text += ' ';
        line.text += args[i];
    }
    line.uninstall = line.text.find(kUninstallSwitch) != std::string::npos;
    line.startup = line.text.find(kStartupSwitch) != std::string::npos;
    return line;
}

StartKind startOrHandOver(const CommandLine& line) {
    if (line.uninstall) {
        runUninstall();
        return StartKind::Uninstall;
    }
    return Application::handOverToRunningInstance(line.text) ? StartKind::HandedOver
                                                             : StartKind::Normal;
}

void runUninstall() {
    const std::string types = readTypesRule(modReg::GetSettingString("types"));
    removeContextEntries(types);
    // The verb keys that the entries' removal keeps are ours too: nothing of the program stays.
    for (const std::string& extension : shellEntryTypes(types)) {
        if (extension == "DIR") continue;
        std::string lower = extension;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        modReg::DeleteRegKey(HKEY_CLASSES_ROOT,
                             "SystemFileAssociations\\." + lower + "\\shell\\Vantel");
    }
    modReg::DeleteRegKey(HKEY_CURRENT_USER, modReg::kAppKey);
    // The work folder is ours as a whole. (A "filters.dat" in the current folder is not: the
    // work folder is never the current folder, so it is left alone.)
    const std::string data = appDataFolder();
    if (!data.empty()) {
        const std::string work = data + "/" + kAppTitle;
        std::error_code error;
        if (std::filesystem::is_directory(std::filesystem::symlink_status(work, error)))
            deleteWholeFolder(work);
    }
}

std::string helpFilePath(Core& core) {
    const std::string help = programDataFolder() + "/vantel-help.html";
    std::error_code error;
    if (std::filesystem::is_regular_file(help, error)) return help;
    core.debug_log("Help File not found in program directory", 1);
    return {};
}

void startDesktop(Application& app, DesktopWindow& window, const CommandLine& line) {
    Core& core = app.core();
    window.recordWindowSize();
    app.start();
    window.addTrayIcon();
    window.setHelpFile(helpFilePath(core));
    window.setFullRowSelect();
    app.queueCommandLine({line.text});
    if (line.startup) window.centreAndMinimise();
    app.setLoaded();
}

std::string fatalStartupMessage(const std::string& description) {
    return "Vantel encountered an error loading and cannot continue. (" + description + ")";
}

}  // namespace vantel
