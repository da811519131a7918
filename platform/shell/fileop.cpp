// SHFileOperationA: reads the request, works out each item's destination and hands the items to
// the move/copy engine, the Trash or the permanent removal.

#include <sys/stat.h>

#include <cerrno>

#include "platform/shell/operation.h"
#include "platform/shell/shell.h"
#include "platform/shell/transfer.h"
#include "platform/shell/trash.h"

namespace shelldetail {
namespace {

using namespace shellerror;

// Splits a list of NUL-ended paths that ends with an empty one.
std::vector<std::string> splitList(const char* list) {
    std::vector<std::string> out;
    if (!list) return out;
    while (*list) {
        std::string item = list;
        list += item.size() + 1;
        out.push_back(item);
    }
    return out;
}

bool usablePath(const std::string& path) {
    if (path.empty()) return false;
    std::string name = baseName(path);
    return name != "." && name != "..";
}

int deleteItem(Operation& op, const std::string& source) {
    struct stat st;
    if (lstat(source.c_str(), &st) != 0) return resultFromErrno(errno);
    if (source == "/") return DE_ROOTDIR;
    if (!op.confirm(ConfirmKind::Delete, source, "")) return ERROR_CANCELLED;
    if (op.has(FOF_ALLOWUNDO)) return moveToTrash(source);
    return removeTree(source);
}

// FO_RENAME: a new name in the same folder. A bare name is taken in the source's folder.
int renameItem(Operation& op, const std::string& source, const std::string& target) {
    std::string clean = withoutTrailingSlashes(target);
    std::string destination =
        clean.find('/') == std::string::npos ? joinPath(parentOf(source), clean) : clean;
    struct stat item, sourceFolder, targetFolder;
    if (lstat(source.c_str(), &item) != 0) return resultFromErrno(errno);
    const std::string folder = parentOf(source);
    if (stat(folder.c_str(), &sourceFolder) != 0) return resultFromErrno(errno);
    // A new name given bare (the usual case) names the same folder: nothing more to compare.
    if (parentOf(destination) != folder &&
        (stat(parentOf(destination).c_str(), &targetFolder) != 0 ||
         sourceFolder.st_dev != targetFolder.st_dev ||
         sourceFolder.st_ino != targetFolder.st_ino)) {
        return DE_DIFFDIR;
    }
    // The source and its folder were just looked at: the transfer need not look again.
    return transferItem(op, source, destination, true, &item);
}

// FO_MOVE and FO_COPY: works out where the source lands (see the header: into a folder, or
// exactly at the destination path).
int moveOrCopyItem(Operation& op, const std::string& source, const std::string& target,
                   bool intoFolder) {
    std::string destination = withoutTrailingSlashes(target);
    if (!intoFolder) {
        struct stat st;
        intoFolder = stat(destination.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (intoFolder) destination = joinPath(destination, baseName(source));
    return transferItem(op, source, destination, op.func() == FO_MOVE);
}

}  // namespace
}  // namespace shelldetail

int SHFileOperationA(SHFILEOPSTRUCTA* request) {
    using namespace shelldetail;
    using namespace shellerror;
    if (!request) return ERROR_INVALID_PARAMETER;
    request->fAnyOperationsAborted = FALSE;
    const UINT func = request->wFunc;
    if (func < FO_MOVE || func > FO_RENAME) return ERROR_INVALID_PARAMETER;
    if (request->fFlags & (FOF_RENAMEONCOLLISION | FOF_WANTMAPPINGHANDLE)) {
        return ERROR_INVALID_PARAMETER;
    }

    std::vector<std::string> sources = splitList(request->pFrom);
    if (sources.empty()) return DE_INVALIDFILES;
    for (std::string& source : sources) {
        source = withoutTrailingSlashes(source);
        if (!usablePath(source)) return DE_INVALIDFILES;
    }

    const bool multipleTargets = (request->fFlags & FOF_MULTIDESTFILES) != 0;
    std::vector<std::string> targets;
    if (func != FO_DELETE) {
        if (!request->pTo) return ERROR_INVALID_PARAMETER;
        targets = splitList(request->pTo);
        if (targets.empty()) return ERROR_INVALID_PARAMETER;
        for (const std::string& target : targets) {
            if (!usablePath(withoutTrailingSlashes(target))) return DE_INVALIDFILES;
        }
        if (multipleTargets ? targets.size() != sources.size() : targets.size() != 1) {
            return DE_MANYDEST;
        }
        if (func == FO_RENAME && sources.size() > 1 && !multipleTargets) return DE_MANYSRC1DEST;
    }

    Operation op(request->hwnd, func, request->fFlags);
    int result = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        int rc = 0;
        if (func == FO_DELETE) {
            rc = deleteItem(op, sources[i]);
        } else {
            const std::string& target = multipleTargets ? targets[i] : targets[0];
            if (func == FO_RENAME) {
                rc = renameItem(op, sources[i], target);
            } else {
                bool intoFolder = (!multipleTargets && sources.size() > 1) ||
                                  (!target.empty() && target.back() == '/');
                rc = moveOrCopyItem(op, sources[i], target, intoFolder);
            }
        }
        // A declined item is skipped; any other failure, or the host's cancel, ends the run.
        if (rc == ERROR_CANCELLED && !op.cancelled()) continue;
        if (rc != 0) {
            result = rc;
            break;
        }
    }
    if (op.declined() || op.cancelled()) {
        request->fAnyOperationsAborted = TRUE;
        if (result == 0) result = ERROR_CANCELLED;
    }
    return result;
}
