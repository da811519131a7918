#include "renamer/engine/fileops.h"

#include "platform/shell/shell.h"
#include "renamer/common/text.h"

#include <sys/stat.h>

#include <exception>

namespace vantel {

namespace {

using namespace shellerror;

// The path-exists test: true for files, folders and links (also a link that leads nowhere,
// since its name is taken all the same).
bool pathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Whether path is, or leads to, a folder: the shell would put a file INTO it.
bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One shell file operation on one file. The lists hold one path each, NUL-ended, with the extra
// NUL after it. A path with a NUL of its own would be cut short there and name another file, so
// it is refused.
int shellOperation(UINT func, const std::string& from, const std::string& to, FILEOP_FLAGS flags) {
    if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string fromList = from + std::string(2, '\0');
    const std::string toList = to + std::string(2, '\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = func;
    op.pFrom = fromList.c_str();
    op.pTo = func == FO_DELETE ? nullptr : toList.c_str();
    op.fFlags = flags;
    return SHFileOperationA(&op);
}

// Reports a failed shell operation that was to put a file at target: the number, as the user
// sees it, and where it is known a line that says in words what happened. Always false.
bool operationFailed(QueueItem& item, int result, const std::string& target, ActivityLog& log) {
    const std::string n = std::to_string(result);
    log.debug_log("File operation failed (" + n + ")", 1);
    if (result == DE_FILEDESTISFLD) {
        log.debug_log("The destination " + target + " is a folder", 1);
    } else if (result == ERROR_CANCELLED) {
        std::string folder = target.substr(0, target.rfind('/') + 1);
        if (pathExists(target)) {
            log.debug_log(
                "The destination " + target + " already exists and replacing it was not confirmed",
                1);
        } else if (!folder.empty() && !isFolder(folder)) {
            log.debug_log(
                "The folder " + folder + " does not exist and creating it was not confirmed", 1);
        } else {
            log.debug_log("The file operation was cancelled", 1);
        }
    }
    item.error_text = "The file operation failed. Windows reports error " + n;
    return false;
}

// Moves or copies the item's file to dest, which must not be an existing folder.
int moveOrCopy(const QueueItem& item, UINT func, const std::string& dest) {
    if (isFolder(dest)) return DE_FILEDESTISFLD;
    return shellOperation(func, item.path, dest, FOF_ALLOWUNDO);
}

bool doFileops(QueueItem& item, FileAction action, ActivityLog& log) {
    const std::string dest = item.target_folder + item.new_name;
    if (!pathExists(item.path)) {
        log.debug_log("File rename failed. Source file not found", 2);
        return false;
    }
    int result = 0;
    switch (action) {
        case kActionRename:
            log.debug_log("Renaming " + item.file_name + " to " + item.new_name, 2);
            // A change of letter case only is refused, also where the file system tells the
            // two names apart.
            if (lowerCase(dest) == lowerCase(item.path)) {
                log.debug_log("File rename failed. New name = old name", 2);
                item.error_text = "The new filename is the same as the old filename";
                return false;
            }
            if (pathExists(dest)) {
                log.debug_log("File rename failed. Destination already exists", 2);
                item.error_text = "The destination aleady exists. File cannot be renamed";
                return false;
            }
            result = shellOperation(FO_RENAME, item.path, dest, FOF_ALLOWUNDO);
            break;
        case kActionMove:
        case kActionCopy:
            log.debug_log(
                (action == kActionMove ? "Moving " : "Copying ") + item.path + " to " + dest, 2);
            make_tree(item.target_folder);
            // No FOF_NOCONFIRMMKDIR: a folder that make_tree would not create (a missing
            // top-level one) is put to the host's confirmation, as is an existing file.
            result = moveOrCopy(item, action == kActionMove ? FO_MOVE : FO_COPY, dest);
            break;
        default:
            return false;
    }
    return result == 0 || operationFailed(item, result, dest, log);
}

bool doUndofileops(QueueItem& item, FileAction action, ActivityLog& log) {
    const std::string dest = item.target_folder + item.new_name;
    if (!pathExists(dest)) {
        log.debug_log("Undo rename failed. Source file not found", 2);
        return false;
    }
    int result = 0;
    switch (action) {
        case kActionRename:
            if (pathExists(item.path)) {
                log.debug_log("File rename failed. Destination already exists", 2);
                item.error_text = "File rename failed. Destination already exists";
                return false;
            }
            result = shellOperation(FO_RENAME, dest, item.path, FOF_ALLOWUNDO);
            break;
        case kActionMove:
            result = isFolder(item.path) ? DE_FILEDESTISFLD
                                         : shellOperation(FO_MOVE, dest, item.path, FOF_ALLOWUNDO);
            break;
        case kActionCopy:
            // Undoing a copy throws the copy away. Without the original beside it (removed by
            // the user, or the item was renamed or moved under a filter since turned into a
            // copy) the "copy" is the only one left, and it stays.
            if (!pathExists(item.path)) {
                log.debug_log("Undo of the copy refused: the original " + item.path +
                                  " is gone, so " + dest + " is kept",
                              1);
                return false;
            }
            result = shellOperation(FO_DELETE, dest, "", FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
            break;
        default:
            // The filter at filter_index is gone or has no known action: nothing was undone,
            // and that is not reported as success.
            log.debug_log("Nothing to undo with: filter " + std::to_string(item.filter_index) +
                              " has no rename, move or copy action",
                          1);
            result = -1;
            break;
    }
    bool ok = result == 0;
    if (result > 0) ok = operationFailed(item, result, item.path, log);
    log.debug_log("Undone file operatrion", 2);
    return ok;
}

// Runs one file procedure; an unexpected error is logged with prefix and gives false.
template <class Procedure>
bool trapped(const char* prefix, ActivityLog& log, Procedure&& procedure) {
    try {
        return procedure();
    } catch (const std::exception& e) {
        log.debug_log(std::string(prefix) + e.what(), 1);
    } catch (...) {
        log.debug_log(std::string(prefix) + "unknown error", 1);
    }
    return false;
}

}  // namespace

bool fileops(QueueItem& item, FileAction action, ActivityLog& log) {
    return trapped("Error renaming/moving: ", log, [&] { return doFileops(item, action, log); });
}

bool undofileops(QueueItem& item, FileAction action, ActivityLog& log) {
    return trapped("Error renaming/moving (undo): ", log,
                   [&] { return doUndofileops(item, action, log); });
}

void make_tree(const std::string& path) {
    std::string prefix;
    int count = 0;
    size_t start = 0;
    for (size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string component = path.substr(start, slash - start);
        start = slash + 1;
        // "/tv//Lost/" is "/tv/Lost/": an empty component would otherwise count as a level and
        // let the folder below the root be created.
        if (component.empty() && count > 0) continue;
        prefix += component + "/";
        if (++count < 3) continue;
        if (!pathExists(prefix)) (void)::mkdir(prefix.c_str(), 0777);  // a failure is ignored
    }
}

}  // namespace vantel
