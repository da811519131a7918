#include "platform/shell/transfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/shell/filecopy.h"
#include "platform/shell/trash.h"

namespace shelldetail {
namespace {

using shellerror::ERROR_CANCELLED;

bool sameNode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The real path a (perhaps not yet existing) path would have: the real path of its nearest
// existing folder followed by the rest, whose "." and ".." are resolved by the letter (nothing in
// it exists, so no link can lead elsewhere).
std::string resolvedPath(const std::string& path) {
    std::string rest;
    std::string current = path;
    for (;;) {
        if (char* real = realpath(current.c_str(), nullptr)) {
            std::string out = std::filesystem::path(real + rest).lexically_normal().string();
            free(real);
            return withoutTrailingSlashes(out);
        }
        if (current == "/" || current == ".") return path;
        rest = "/" + baseName(current) + rest;
        current = parentOf(current);
    }
}

// True when destination is folder itself or lies somewhere below it.
bool isWithin(const std::string& destination, const std::string& folder) {
    std::string root = resolvedPath(folder);
    std::string target = resolvedPath(destination);
    if (root == "/") return true;
    return target == root || target.compare(0, root.size() + 1, root + "/") == 0;
}

int ensureParent(Operation& op, const std::string& destination) {
    std::string parent = parentOf(destination);
    struct stat st;
    if (stat(parent.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : shellerror::ERROR_PATH_NOT_FOUND;
    }
    if (errno != ENOENT) return resultFromErrno(errno);
    if (!op.confirm(ConfirmKind::CreateFolder, "", parent)) return ERROR_CANCELLED;
    return makeFolders(parent);
}

// The source's permissions, times and (for a move, where allowed) owner on a copied folder.
void keepFolderAttributes(const std::string& folder, const struct stat& st, bool move) {
    if (move) {
        int ignored = lchown(folder.c_str(), st.st_uid, st.st_gid);
        (void)ignored;
    }
    chmod(folder.c_str(), st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, folder.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

int mergeFolder(Operation& op, const std::string& source, const std::string& destination,
                bool move) {
    std::vector<std::string> names;
    if (!listFolder(source, names)) return resultFromErrno(errno);
    for (const std::string& name : names) {
        int rc = transferItem(op, joinPath(source, name), joinPath(destination, name), move);
        if (rc == ERROR_CANCELLED && !op.cancelled()) continue;  // declined: the rest goes on
        if (rc != 0) return rc;
    }
    // A declined entry keeps the source folder; the declined answer is the operation's result.
    if (move && rmdir(source.c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST) {
        return resultFromErrno(errno, true);
    }
    return 0;
}

// Copies (or, across file systems, moves) a folder to a destination that does not exist yet.
int copyFolder(Operation& op, const std::string& source, const struct stat& st,
               const std::string& destination, bool move) {
    std::vector<std::string> names;
    if (!listFolder(source, names)) return resultFromErrno(errno);
    if (mkdir(destination.c_str(), 0700) != 0) {
        return errno == EEXIST ? kDestinationAppeared : resultFromErrno(errno, true);
    }
    int rc = 0;
    for (size_t i = 0; rc == 0 && i < names.size(); ++i) {
        rc = transferItem(op, joinPath(source, names[i]), joinPath(destination, names[i]), move);
        if (rc == ERROR_CANCELLED && !op.cancelled()) rc = 0;
    }
    if (rc != 0) {
        // A failed copy takes back the folder it made: everything in it is a copy. A failed move
        // keeps it: each file in it exists there and only there.
        if (!move) removeTree(destination);
        return rc;
    }
    keepFolderAttributes(destination, st, move);
    if (move && rmdir(source.c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST) {
        return resultFromErrno(errno, true);
    }
    return 0;
}

int copyItem(Operation& op, const std::string& source, const struct stat& st,
             const std::string& destination, bool replace, bool move) {
    if (S_ISREG(st.st_mode)) return copyFileVerified(op, source, st, destination, replace, move);
    if (S_ISLNK(st.st_mode)) return copySymlink(source, destination, replace);
    if (S_ISDIR(st.st_mode)) return copyFolder(op, source, st, destination, move);
    return shellerror::ERROR_NOT_SUPPORTED;
}

// A move between file systems: a verified copy first, the source removed last.
int moveAcross(Operation& op, const std::string& source, const struct stat& st,
               const std::string& destination, bool replace) {
    if (S_ISDIR(st.st_mode)) return copyFolder(op, source, st, destination, true);
    // Without the right to remove the source the move would end as a copy: refuse at once.
    if (access(parentOf(source).c_str(), W_OK | X_OK) != 0) return resultFromErrno(errno);
    if (int rc = copyItem(op, source, st, destination, replace, true); rc != 0) return rc;
    struct stat now;
    if (lstat(source.c_str(), &now) != 0 || !sameNode(now, st)) {
        // Someone replaced the source meanwhile: both files stay.
        return shellerror::ERROR_SHARING_VIOLATION;
    }
    if (unlink(source.c_str()) != 0) {
        int err = errno;
        // The source stays as it was, so the new copy goes; a replaced file cannot come back.
        if (!replace) unlink(destination.c_str());
        return resultFromErrno(err, true);
    }
    syncFolder(parentOf(source));
    return 0;
}

// Puts source at destination, which does not exist (replace false) or is a file that may be
// replaced (replace true).
int placeItem(Operation& op, const std::string& source, const struct stat& st,
              const std::string& destination, bool move, bool replace) {
    if (!move) return copyItem(op, source, st, destination, replace, false);
    int err = replace ? (rename(source.c_str(), destination.c_str()) == 0 ? 0 : errno)
                      : renameNoReplace(source, destination);
    // A rename within one file system is atomic and touches no file data: after a crash the
    // file has its old name or its new one, never neither, so no folder sync is owed here (it
    // would cost a disk flush per file on a collection of thousands). The copy paths, which
    // remove a source, sync before they do.
    if (err == 0) return 0;
    if (err == EEXIST && !replace) return kDestinationAppeared;
    if (err != EXDEV) return resultFromErrno(err, true);
    return moveAcross(op, source, st, destination, replace);
}

// Replaces the existing file destination (the host has confirmed). With FOF_ALLOWUNDO the old
// file goes to the Trash first and comes back when the new one cannot take its place.
int replaceItem(Operation& op, const std::string& source, const struct stat& st,
                const std::string& destination, bool move) {
    if (!op.has(FOF_ALLOWUNDO)) return placeItem(op, source, st, destination, move, true);
    TrashedItem old;
    if (int rc = moveToTrash(destination, &old); rc != 0) return rc;
    int rc = placeItem(op, source, st, destination, move, false);
    if (rc != 0) {
        // When another file took the name meanwhile, the old one stays safe in the Trash.
        putBackFromTrash(old, destination);
        return rc == kDestinationAppeared ? shellerror::ERROR_ALREADY_EXISTS : rc;
    }
    return 0;
}

}  // namespace

int transferItem(Operation& op, const std::string& source, const std::string& destination,
                 bool move, const struct stat* sourceSeen) {
    if (op.cancelled()) return ERROR_CANCELLED;
    struct stat st;
    if (sourceSeen) {
        st = *sourceSeen;
    } else if (lstat(source.c_str(), &st) != 0) {
        return resultFromErrno(errno);
    }
    if (S_ISDIR(st.st_mode) && isWithin(destination, source)) return shellerror::DE_DESTSUBTREE;
    if (!sourceSeen) {
        if (int rc = ensureParent(op, destination); rc != 0) return rc;
    }

    // Each pass looks at the destination afresh: a file that appears between the look and the
    // act is never replaced unasked.
    for (int attempt = 0; attempt < 5; ++attempt) {
        struct stat existing;
        if (lstat(destination.c_str(), &existing) != 0) {
            if (errno != ENOENT) return resultFromErrno(errno);
            int rc = placeItem(op, source, st, destination, move, false);
            if (rc == kDestinationAppeared) continue;
            return rc;
        }
        if (sameNode(st, existing)) {
            // Only a change of letter case (on a file system that ignores case) is a real move.
            std::string from = baseName(source), to = baseName(destination);
            if (move && from != to && lowerAscii(from) == lowerAscii(to) &&
                parentOf(source) == parentOf(destination)) {
                return rename(source.c_str(), destination.c_str()) == 0
                           ? 0
                           : resultFromErrno(errno, true);
            }
            return shellerror::DE_SAMEFILE;
        }
        if (S_ISDIR(st.st_mode) && S_ISDIR(existing.st_mode)) {
            if (!op.confirm(ConfirmKind::MergeFolder, source, destination)) return ERROR_CANCELLED;
            return mergeFolder(op, source, destination, move);
        }
        if (S_ISDIR(st.st_mode)) return shellerror::DE_FLDDESTISFILE;
        if (S_ISDIR(existing.st_mode)) return shellerror::DE_FILEDESTISFLD;
        if (!op.confirm(ConfirmKind::Overwrite, source, destination)) return ERROR_CANCELLED;
        return replaceItem(op, source, st, destination, move);
    }
    return shellerror::ERROR_ALREADY_EXISTS;
}

}  // namespace shelldetail
