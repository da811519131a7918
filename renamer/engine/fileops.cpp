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

// How the checks before an operation see the files: as they are, or (for a rehearsal) as the
// operations rehearsed before would have left them.
class Look {
  public:
    virtual ~Look() = default;
    virtual bool exists(const std::string& path) const { return pathExists(path); }
    virtual bool folder(const std::string& path) const { return isFolder(path); }
};

// Reports a failed shell operation that was to put a file at target: the number, as the user
// sees it, and where it is known a line that says in words what happened. Always false.
bool operationFailed(QueueItem& item, int result, const std::string& target, ActivityLog& log,
                     const Look& look = Look()) {
    const std::string n = std::to_string(result);
    log.debug_log("File operation failed (" + n + ")", 1);
    if (result == DE_FILEDESTISFLD) {
        log.debug_log("The destination " + target + " is a folder", 1);
    } else if (result == ERROR_CANCELLED) {
        std::string folder = target.substr(0, target.rfind('/') + 1);
        if (look.exists(target)) {
            log.debug_log(
                "The destination " + target + " already exists and replacing it was not confirmed",
                1);
        } else if (!folder.empty() && !look.folder(folder)) {
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

// A rehearsal: how the checks see the files, and how the confirmations would be answered.
struct Rehearsal {
    const Look& look;
    FileopsRehearsal::Answers answers;
};

// What make_tree and the shell would make of a move or copy to dest, without doing it: 0 when
// it would go ahead. The folders make_tree may create (from the third level on) count as there.
int rehearseMoveOrCopy(const std::string& target_folder, const std::string& dest,
                       const Rehearsal& rehearsal) {
    std::string prefix;
    int level = 0;
    size_t start = 0;
    for (size_t slash = target_folder.find('/'); slash != std::string::npos;
         slash = target_folder.find('/', slash + 1)) {
        std::string component = target_folder.substr(start, slash - start);
        start = slash + 1;
        if (component.empty() && level > 0) continue;
        prefix += component + "/";
        ++level;
        if (rehearsal.look.exists(prefix)) {
            if (!rehearsal.look.folder(prefix)) return ERROR_PATH_NOT_FOUND;
        } else if (level < 3 && !rehearsal.answers.create_folder) {
            // Not made by make_tree: the shell asks before it creates the folder.
            return ERROR_CANCELLED;
        } else {
            break;  // created, with every folder below it
        }
    }
    if (rehearsal.look.folder(dest)) return DE_FILEDESTISFLD;
    if (rehearsal.look.exists(dest) && !rehearsal.answers.replace) return ERROR_CANCELLED;
    return 0;
}

// The file operation, or with rehearsal only its checks: the same refusals, log lines and
// error texts, and true where the operation would go ahead.
bool doFileops(QueueItem& item, FileAction action, ActivityLog& log,
               const Rehearsal* rehearsal = nullptr) {
    const Look real;
    const Look& look = rehearsal ? rehearsal->look : real;
    const std::string dest = item.target_folder + item.new_name;
    if (!look.exists(item.path)) {
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
            if (look.exists(dest)) {
                log.debug_log("File rename failed. Destination already exists", 2);
                item.error_text = "The destination aleady exists. File cannot be renamed";
                return false;
            }
            if (!rehearsal) result = shellOperation(FO_RENAME, item.path, dest, FOF_ALLOWUNDO);
            break;
        case kActionMove:
        case kActionCopy:
            log.debug_log(
                (action == kActionMove ? "Moving " : "Copying ") + item.path + " to " + dest, 2);
            if (rehearsal) {
                result = rehearseMoveOrCopy(item.target_folder, dest, *rehearsal);
                break;
            }
            make_tree(item.target_folder);
            // No FOF_NOCONFIRMMKDIR: a folder that make_tree would not create (a missing
            // top-level one) is put to the host's confirmation, as is an existing file.
            result = moveOrCopy(item, action == kActionMove ? FO_MOVE : FO_COPY, dest);
            break;
        default:
            return false;
    }
    return result == 0 || operationFailed(item, result, dest, log, look);
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

namespace {

// The files as the rehearsed operations would have left them: names they took, names they
// freed, over the files as they are.
class RehearsedLook final : public Look {
  public:
    explicit RehearsedLook(const NameMarks& marks) : m_marks(marks) {}
    bool exists(const std::string& path) const override {
        const NameMarks::Mark mark = m_marks.find(path);
        return mark == NameMarks::kTaken || (mark == NameMarks::kUnmarked && pathExists(path));
    }
    bool folder(const std::string& path) const override {
        return m_marks.find(path) == NameMarks::kUnmarked && isFolder(path);
    }

  private:
    const NameMarks& m_marks;
};

}  // namespace

bool FileopsRehearsal::rehearse(QueueItem& item, FileAction action, ActivityLog& log) {
    const RehearsedLook look(m_marks);
    const Rehearsal rehearsal{look, m_answers};
    const bool ahead = trapped("Error renaming/moving: ", log,
                               [&] { return doFileops(item, action, log, &rehearsal); });
    if (!ahead) return false;
    if (action != kActionCopy) m_marks.mark(item, NameMarks::kPath, NameMarks::kFreed);
    m_marks.mark(item, NameMarks::kDestination, NameMarks::kTaken);
    return true;
}

}  // namespace vantel
