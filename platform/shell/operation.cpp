#include "platform/shell/operation.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>

namespace {

std::mutex g_callbackMutex;
FileOperationConfirm g_confirm;
FileOperationProgress g_progress;

}  // namespace

FileOperationConfirm setFileOperationConfirm(FileOperationConfirm confirm) {
    std::lock_guard<std::mutex> lock(g_callbackMutex);
    std::swap(g_confirm, confirm);
    return confirm;
}

FileOperationProgress setFileOperationProgress(FileOperationProgress progress) {
    std::lock_guard<std::mutex> lock(g_callbackMutex);
    std::swap(g_progress, progress);
    return progress;
}

namespace shelldetail {

Operation::Operation(HWND hwnd, UINT func, FILEOP_FLAGS flags)
    : m_hwnd(hwnd), m_func(func), m_flags(flags) {}

bool Operation::confirm(ConfirmKind kind, const std::string& source,
                        const std::string& destination) {
    if (has(FOF_NOCONFIRMATION)) return true;
    if (kind == ConfirmKind::CreateFolder && has(FOF_NOCONFIRMMKDIR)) return true;
    // The callback is copied out of the lock so that it may itself start file operations.
    FileOperationConfirm callback;
    {
        std::lock_guard<std::mutex> lock(g_callbackMutex);
        callback = g_confirm;
    }
    bool allowed = false;
    if (callback) {
        ConfirmRequest request{kind, m_func, m_hwnd, source, destination, has(FOF_ALLOWUNDO)};
        try {
            allowed = callback(request);
        } catch (...) {
            // A failing dialog is no consent.
            allowed = false;
        }
    }
    if (!allowed) m_declined = true;
    return allowed;
}

bool Operation::progress(const std::string& destination, uint64_t done, uint64_t total) {
    if (m_cancelled) return false;
    if (has(FOF_SILENT)) return true;
    FileOperationProgress callback;
    {
        std::lock_guard<std::mutex> lock(g_callbackMutex);
        callback = g_progress;
    }
    if (!callback) return true;
    bool goOn = false;
    try {
        goOn = callback(destination, done, total);
    } catch (...) {
        goOn = false;
    }
    if (!goOn) m_cancelled = true;
    return goOn;
}

int resultFromErrno(int err, bool writing) {
    using namespace shellerror;
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOEXEC:
            return ERROR_BAD_FORMAT;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case EIO:
            return writing ? ERROR_WRITE_FAULT : ERROR_READ_FAULT;
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case EBUSY:
            return ERROR_BUSY;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EFBIG:
            return ERROR_FILE_TOO_LARGE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        default:
            return DE_UNKNOWN_ERROR;
    }
}

std::string withoutTrailingSlashes(const std::string& path) {
    std::string out = path;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string parentOf(const std::string& path) {
    std::string clean = withoutTrailingSlashes(path);
    size_t slash = clean.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return withoutTrailingSlashes(clean.substr(0, slash));
}

std::string baseName(const std::string& path) {
    std::string clean = withoutTrailingSlashes(path);
    if (clean == "/") return clean;
    size_t slash = clean.rfind('/');
    return slash == std::string::npos ? clean : clean.substr(slash + 1);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool listFolder(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
        errno = 0;
    }
    int err = errno;
    closedir(dir);
    std::sort(names.begin(), names.end());
    errno = err;
    return err == 0;
}

int makeFolders(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : shellerror::ERROR_PATH_NOT_FOUND;
    }
    if (errno != ENOENT) return resultFromErrno(errno);
    std::string parent = parentOf(path);
    if (parent != path) {
        int rc = makeFolders(parent);
        if (rc != 0) return rc;
    }
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return resultFromErrno(errno, true);
    return 0;
}

void syncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

int renameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    // This file system cannot rename without replacing. A file is given its new name as a
    // second link, which fails when the name is taken, and then loses the old one.
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0) return 0;
            int err = errno;
            unlink(to.c_str());
            return err;
        }
        if (errno == EEXIST) return EEXIST;
    }
    // Folders (and file systems without hard links) are left with a check before the rename.
    if (lstat(to.c_str(), &st) == 0) return EEXIST;
    if (rename(from.c_str(), to.c_str()) != 0) return errno;
    return 0;
}

namespace {

// Removes name inside the open folder dirFd, descending into folders without following links.
int removeAt(int dirFd, const char* name) {
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return resultFromErrno(errno);
    if (S_ISDIR(st.st_mode)) {
        int fd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return resultFromErrno(errno);
        DIR* dir = fdopendir(fd);
        if (!dir) {
            int err = errno;
            close(fd);
            return resultFromErrno(err);
        }
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir)) {
            std::string entryName = entry->d_name;
            if (entryName != "." && entryName != "..") names.push_back(entryName);
        }
        int rc = 0;
        for (const std::string& entryName : names) {
            rc = removeAt(fd, entryName.c_str());
            if (rc != 0) break;
        }
        closedir(dir);
        if (rc != 0) return rc;
        if (unlinkat(dirFd, name, AT_REMOVEDIR) != 0) return resultFromErrno(errno, true);
        return 0;
    }
    if (unlinkat(dirFd, name, 0) != 0) return resultFromErrno(errno, true);
    return 0;
}

}  // namespace

int removeTree(const std::string& path) {
    std::string clean = withoutTrailingSlashes(path);
    std::string parent = parentOf(clean);
    int dirFd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return resultFromErrno(errno);
    int rc = removeAt(dirFd, baseName(clean).c_str());
    close(dirFd);
    return rc;
}

}  // namespace shelldetail
