#include "renamer/common/workdir.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vantel {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates path and every missing parent. False (errno set) when one cannot be created.
bool makeFolders(const std::string& path) {
    if (path.empty() || isFolder(path)) return true;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash))) {
        return false;
    }
    // Another process may create the same folder at the same moment; that is success too.
    return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && isFolder(path));
}

}  // namespace

std::string programFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    std::string exe(buffer, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string programDataFolder() {
    const std::string program = programFolder();
    const size_t slash = program.rfind('/');
    const std::string prefix =
        slash == std::string::npos ? std::string(".") : program.substr(0, slash);
    return prefix + "/share/vantel";
}

std::string appDataFolder() {
    std::string folder = environment("APPDATA");
    if (folder.empty()) folder = environment("XDG_DATA_HOME");
    if (folder.empty()) {
        std::string home = environment("HOME");
        if (home.empty()) return {};
        folder = withoutTrailingSlashes(home) + "/.local/share";
    }
    return withoutTrailingSlashes(folder);
}

std::string setworkdir(ActivityLog& log) {
    std::string base = appDataFolder();
    const char* reason = "no data folder (HOME is not set)";
    if (!base.empty()) {
        std::string folder = (base == "/" ? std::string() : base) + "/" + kAppTitle;
        if (makeFolders(base) &&
            (::mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && isFolder(folder)))) {
            return folder + "/";
        }
        reason = std::strerror(errno);
    }
    log.debug_log(std::string("Error making work dir: ") + reason, 1);
    std::string program = programFolder();
    return program == "/" ? program : program + "/";
}

}  // namespace vantel
