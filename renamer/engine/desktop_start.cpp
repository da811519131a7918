#include "renamer/engine/desktop_start.h"

#include "renamer/common/reg.h"
#include "renamer/common/version.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/handover.h"
#include "renamer/engine/shell_entries.h"
#include "renamer/engine/startup.h"

#include <chrono>
#include <filesystem>
#include <thread>

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
    if (!findRunningInstance()) return StartKind::Normal;
    // The first instance may still be starting: give it a moment before handing over.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SendToRunningInstance(queueMessageText(line.text));
    DoEvents();
    return StartKind::HandedOver;
}

void runUninstall() {
    const std::string types = readTypesRule(modReg::GetSettingString("types"));
    removeContextEntries(types);
    // The verb keys that the entries' removal keeps are ours too: nothing of the program stays.
    for (const std::string& extension : splitTypes(types)) {
        std::string lower = extension;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        modReg::DeleteRegKey(HKEY_CLASSES_ROOT,
                             "SystemFileAssociations\\." + lower + "\\shell\\" + kShellVerb);
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

void startDesktop(Core& core, DesktopWindow& window, const CommandLine& line) {
    core.settings().logging = 1;
    core.debug_log(startedLine(), 1);
    window.recordWindowSize();
    window.addTrayIcon();
    startSettings(core);
    if (core.settings().context == 0) {
        core.debug_log("Setting up context menu entries", 2);
        addContextEntries(core.settings().types);
        // Only in memory: the entries are made again at every start until the user confirms
        // the preferences.
        core.settings().context = 2;
    }
    window.setHelpFile(helpFilePath(core));
    startLists(core);
    window.setFullRowSelect();
    queueCommandLine(core, {line.text});
    if (line.startup) window.centreAndMinimise();
    core.flags().loaded = true;
}

std::string fatalStartupMessage(const std::string& description) {
    return "Vantel encountered an error loading and cannot continue. (" + description + ")";
}
