#include "renamer/engine/shell_entries.h"

#include "renamer/common/reg.h"
#include "renamer/engine/core.h"

namespace vantel {

namespace {

constexpr const char* kVerb = "\\shell\\Vantel";

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

void writeCommand(const std::string& key, const std::string& command) {
    modReg::RegWriteString(HKEY_CLASSES_ROOT, key + kVerb + "\\command", "", command);
}

}  // namespace

std::string shellCommand(const std::string& program) {
    return "\"" + program + "\" %1";
}

std::vector<std::string> shellEntryTypes(const std::string& types) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start <= types.size()) {
        size_t end = types.find(';', start);
        if (end == std::string::npos) end = types.size();
        if (end > start) result.push_back(types.substr(start, end - start));
        start = end + 1;
    }
    result.push_back("DIR");
    return result;
}

void AddShellEntries(const std::string& type, const std::string& command) {
    if (type == "DIR") {
        writeCommand("SystemFileAssociations\\video", command);
        writeCommand("Directory", command);
        return;
    }
    const std::string dotted = "." + type;
    std::string file_class = modReg::RegReadString(HKEY_CLASSES_ROOT, dotted, "");
    writeCommand("SystemFileAssociations\\." + lowerCase(type), command);
    if (file_class.empty()) {
        file_class = lowerCase(type) + "file";
        modReg::RegWriteString(HKEY_CLASSES_ROOT, dotted, "", file_class);
    }
    writeCommand(file_class, command);
}

void RemoveShellEntries(const std::string& type) {
    auto removeVerb = [](const std::string& key) {
        const std::string verb = key + kVerb;
        for (const char* sub :
             {"\\ddeexec\\Application", "\\ddeexec\\Topic", "\\ddeexec", "\\command", ""}) {
            modReg::DeleteRegKey(HKEY_CLASSES_ROOT, verb + sub);
        }
    };
    if (type == "DIR") {
        removeVerb("Directory");
        modReg::DeleteRegKey(HKEY_CLASSES_ROOT,
                             std::string("SystemFileAssociations\\video") + kVerb + "\\command");
        modReg::DeleteRegKey(HKEY_CLASSES_ROOT,
                             std::string("SystemFileAssociations\\video") + kVerb);
        return;
    }
    const std::string file_class = modReg::RegReadString(HKEY_CLASSES_ROOT, "." + type, "");
    if (file_class.empty()) return;
    removeVerb(file_class);
    modReg::DeleteRegKey(HKEY_CLASSES_ROOT,
                         "SystemFileAssociations\\." + lowerCase(type) + kVerb + "\\command");
}

bool setUpShellEntries(Core& core, const std::string& command) {
    if (core.settings().context != 0) return false;
    core.debug_log("Setting up context menu entries", 2);
    for (const std::string& type : shellEntryTypes(core.settings().types))
        AddShellEntries(type, command);
    core.settings().context = 2;
    return true;
}

}  // namespace vantel
