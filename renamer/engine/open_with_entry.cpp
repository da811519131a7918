#include "renamer/engine/open_with_entry.h"

#include "platform/shell/shell.h"
#include "renamer/common/textfile.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/shell_entries.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

namespace vantel {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// A desktop entry's string value: quoted as one argument of its Exec key, with the characters
// the desktop entry format reserves inside quotes escaped by a backslash. The key's own escaping
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

std::string openWithEntryText(const std::string& types, const std::string& program,
                              const std::string& icon) {
    std::string mime_types;
    std::vector<std::string> listed;
    for (const std::string& type : shellEntryTypes(types)) {
        std::optional<std::string> mime = type == "DIR" ? std::nullopt : mimeTypeOf(type);
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
           icon +
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

bool writeOpenWithEntry(const std::string& types, const std::string& program) {
    const std::string path = openWithEntryPath();
    if (path.empty()) return false;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return false;
    if (!ReplaceTextFile(path, openWithEntryText(types, program, iconName()))) return false;
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

void addContextEntries(const std::string& types, const std::string& program) {
    const std::string command = shellCommand(program);
    for (const std::string& type : shellEntryTypes(types))
        AddShellEntries(type, command);
    writeOpenWithEntry(types, program);
}

void removeContextEntries(const std::string& types) {
    for (const std::string& type : shellEntryTypes(types))
        RemoveShellEntries(type);
    removeOpenWithEntry();
}

}  // namespace vantel
