#include "renamer/engine/shell_entries.h"

#include "platform/shell/shell.h"
#include "renamer/common/reg.h"
#include "renamer/common/textfile.h"
#include "renamer/common/workdir.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

namespace {

constexpr const char* kProgramName = "vantel";

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

void writeCommand(const std::string& key) {
    modReg::RegWriteString(HKEY_CLASSES_ROOT, key, "", shellCommandText());
}

void deleteKey(const std::string& key) {
    modReg::DeleteRegKey(HKEY_CLASSES_ROOT, key);
}

// Deletes verb_key's "ddeexec" keys (written by earlier versions), its command and itself.
void deleteVerb(const std::string& verb_key) {
    deleteKey(verb_key + "\\ddeexec\\Application");
    deleteKey(verb_key + "\\ddeexec\\Topic");
    deleteKey(verb_key + "\\ddeexec");
    deleteKey(verb_key + "\\command");
    deleteKey(verb_key);
}

std::string verbPath(const std::string& class_key) {
    return class_key + "\\shell\\" + kShellVerb;
}

// A desktop entry's string value: quoted as one argument of its Exec key, with the characters
// the specification reserves inside quotes escaped by a backslash. The key's own escaping
// doubles every backslash once more.
std::string execArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        value += c;
        if (c == '\\') value += '\\';
    }
    return value;
}

std::string programPath() {
    return programFolder() + "/" + kProgramName;
}

// The program's icon from its data folder when it is there (a build or an install in its own
// prefix), else the icon theme's name for it.
std::string iconName() {
    const std::string shipped = programDataFolder() + "/vantel.svg";
    std::error_code error;
    return std::filesystem::exists(shipped, error) ? shipped : std::string("vantel");
}

void refreshMimeCache(const std::string& folder) {
    startProgram("update-desktop-database", {"-q", folder});
}

}  // namespace

std::string shellCommandText() {
    return "\"" + programPath() + "\" %1";
}

void AddShellEntries(const std::string& extension) {
    if (extension == kShellFolders) {
        writeCommand(verbPath("SystemFileAssociations\\video") + "\\command");
        writeCommand(verbPath("Directory") + "\\command");
        return;
    }
    const std::string class_name = modReg::RegReadString(HKEY_CLASSES_ROOT, "." + extension, "");
    writeCommand(verbPath("SystemFileAssociations\\." + lowerCase(extension)) + "\\command");
    if (!class_name.empty()) {
        writeCommand(verbPath(class_name) + "\\command");
        return;
    }
    const std::string made_up = lowerCase(extension) + "file";
    modReg::RegWriteString(HKEY_CLASSES_ROOT, "." + extension, "", made_up);
    writeCommand(verbPath(made_up) + "\\command");
}

void RemoveShellEntries(const std::string& extension) {
    if (extension == kShellFolders) {
        deleteVerb(verbPath("Directory"));
        deleteKey(verbPath("SystemFileAssociations\\video") + "\\command");
        deleteKey(verbPath("SystemFileAssociations\\video"));
        return;
    }
    const std::string class_name = modReg::RegReadString(HKEY_CLASSES_ROOT, "." + extension, "");
    if (class_name.empty()) return;
    deleteVerb(verbPath(class_name));
    deleteKey(verbPath("SystemFileAssociations\\." + lowerCase(extension)) + "\\command");
}

std::vector<std::string> splitTypes(const std::string& types) {
    std::vector<std::string> extensions;
    size_t start = 0;
    while (start <= types.size()) {
        size_t end = types.find(';', start);
        if (end == std::string::npos) end = types.size();
        if (end > start) extensions.push_back(types.substr(start, end - start));
        start = end + 1;
    }
    return extensions;
}

std::optional<std::string> mimeTypeOf(const std::string& extension) {
    static const std::map<std::string, std::string> kTypes = {
        {"3gp", "video/3gpp"},
        {"asf", "video/x-ms-asf"},
        {"avi", "video/x-msvideo"},
        {"divx", "video/x-msvideo"},
        {"flv", "video/x-flv"},
        {"m2ts", "video/mp2t"},
        {"m4v", "video/x-m4v"},
        {"mkv", "video/x-matroska"},
        {"mov", "video/quicktime"},
        {"mp4", "video/mp4"},
        {"mpeg", "video/mpeg"},
        {"mpg", "video/mpeg"},
        {"ogm", "video/x-ogm+ogg"},
        {"ogv", "video/ogg"},
        {"rm", "application/vnd.rn-realmedia"},
        {"rmvb", "application/vnd.rn-realmedia"},
        {"srt", "application/x-subrip"},
        {"ts", "video/mp2t"},
        {"webm", "video/webm"},
        {"wmv", "video/x-ms-wmv"},
    };
    auto found = kTypes.find(lowerCase(extension));
    if (found == kTypes.end()) return std::nullopt;
    return found->second;
}

std::string openWithEntryPath() {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    return data + "/applications/vantel-open-with.desktop";
}

std::string openWithEntryText(const std::string& types, const std::string& program) {
    std::string mime_types;
    std::vector<std::string> listed;
    for (const std::string& extension : splitTypes(types)) {
        std::optional<std::string> mime = mimeTypeOf(extension);
        if (!mime) continue;
        bool seen = false;
        for (const std::string& other : listed)
            seen = seen || other == *mime;
        if (seen) continue;
        listed.push_back(*mime);
        mime_types += *mime + ";";
    }
    mime_types += "inode/directory;";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vantel\n"
           "Comment=Rename TV episode files\n"
           "Icon=" +
           iconName() +
           "\n"
           "Exec=" +
           execArgument(program) +
           " %f\n"
           "MimeType=" +
           mime_types +
           "\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

bool writeOpenWithEntry(const std::string& types) {
    const std::string path = openWithEntryPath();
    if (path.empty()) return false;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return false;
    if (!ReplaceTextFile(path, openWithEntryText(types, programPath()))) return false;
    refreshMimeCache(folder.string());
    return true;
}

bool removeOpenWithEntry() {
    const std::string path = openWithEntryPath();
    if (path.empty()) return false;
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) return false;
    refreshMimeCache(std::filesystem::path(path).parent_path().string());
    return true;
}

void addContextEntries(const std::string& types) {
    for (const std::string& extension : splitTypes(types))
        AddShellEntries(extension);
    AddShellEntries(kShellFolders);
    writeOpenWithEntry(types);
}

void removeContextEntries(const std::string& types) {
    for (const std::string& extension : splitTypes(types))
        RemoveShellEntries(extension);
    RemoveShellEntries(kShellFolders);
    removeOpenWithEntry();
}
