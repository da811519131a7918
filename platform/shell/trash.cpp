#include "platform/shell/trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/shell/operation.h"

#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif

namespace shelldetail {
namespace {

constexpr size_t kMaxNameBytes = 255;
constexpr const char* kInfoSuffix = ".trashinfo";

// Where a folder lives: its device and, where the kernel tells, its mount. rename(2) works only
// within one mount, so a trash serves the items of its own mount.
struct Place {
    dev_t dev = 0;
    uint64_t mount = 0;
    bool knowsMount = false;
};

bool placeOf(const std::string& path, Place& place) {
    struct statx sx;
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_INO | STATX_MNT_ID, &sx) != 0) return false;
    place.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    place.knowsMount = (sx.stx_mask & STATX_MNT_ID) != 0;
    place.mount = sx.stx_mnt_id;
    return true;
}

bool samePlace(const Place& a, const Place& b) {
    if (a.dev != b.dev) return false;
    return !(a.knowsMount && b.knowsMount) || a.mount == b.mount;
}

std::string realFolder(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out = real;
    free(real);
    return out;
}

// The top folder of the mount that holds folder (a real path).
std::string mountTop(const std::string& folder, const Place& place) {
    std::string current = folder;
    while (current != "/") {
        std::string up = parentOf(current);
        Place upPlace;
        if (!placeOf(up, upPlace) || !samePlace(upPlace, place)) break;
        current = up;
    }
    return current;
}

// A trash folder of ours: a real folder (not a link) owned by this user. Creates it when missing.
int ownFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return resultFromErrno(errno, true);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return resultFromErrno(errno);
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return shellerror::ERROR_NOT_SUPPORTED;
    return 0;
}

// Makes a trash folder with files/ and info/ ready. 0 or a result number.
int prepareTrash(const std::string& trash, const Place& place) {
    if (int rc = ownFolder(trash); rc != 0) return rc;
    Place trashPlace;
    if (!placeOf(trash, trashPlace) || !samePlace(trashPlace, place)) {
        return shellerror::ERROR_NOT_SUPPORTED;
    }
    if (int rc = ownFolder(joinPath(trash, "files")); rc != 0) return rc;
    return ownFolder(joinPath(trash, "info"));
}

// Chooses the trash for an item whose folder is the real path folder. Sets trash and, for a
// top-folder trash, top (the base of relative paths). 0 or a result number.
int chooseTrash(const std::string& folder, std::string& trash, std::string& top) {
    Place place;
    if (!placeOf(folder, place)) return resultFromErrno(errno);

    std::string home = homeTrashFolder();
    std::string existing = home;
    struct stat st;
    while (stat(existing.c_str(), &st) != 0 && existing != "/" && existing != ".") {
        existing = parentOf(existing);
    }
    Place homePlace;
    if (placeOf(existing, homePlace) && samePlace(homePlace, place)) {
        if (int rc = makeFolders(parentOf(home)); rc != 0) return rc;
        trash = home;
        top.clear();
        return prepareTrash(trash, place);
    }

    top = mountTop(folder, place);
    std::string uid = std::to_string(geteuid());
    // An administrator's shared trash counts only when it is a sticky folder and no link.
    std::string shared = joinPath(top, ".Trash");
    if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        trash = joinPath(shared, uid);
        if (prepareTrash(trash, place) == 0) return 0;
    }
    trash = joinPath(top, ".Trash-" + uid);
    return prepareTrash(trash, place);
}

std::string deletionDate() {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Cuts text to at most limit bytes without splitting a UTF-8 character.
std::string cutUtf8(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

}  // namespace

std::string homeTrashFolder() {
    const char* data = getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return joinPath(data, "Trash");
    std::string home;
    if (const char* env = getenv("HOME"); env && env[0] == '/') {
        home = env;
    } else if (struct passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return joinPath(joinPath(home, ".local/share"), "Trash");
}

std::string trashPathEncode(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        bool keep =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::string_view("-_.!~*'()/").find(static_cast<char>(c)) != std::string_view::npos;
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string trashName(const std::string& name, int n) {
    std::string stem = name;
    std::string extension;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
    std::string counter = n > 1 ? "." + std::to_string(n) : "";
    size_t room = kMaxNameBytes - std::string(kInfoSuffix).size();
    size_t fixed = counter.size() + extension.size();
    if (stem.size() + fixed > room) stem = cutUtf8(stem, room > fixed ? room - fixed : 1);
    return stem + counter + extension;
}

int moveToTrash(const std::string& path, TrashedItem* trashed) {
    std::string clean = withoutTrailingSlashes(path);
    struct stat st;
    if (lstat(clean.c_str(), &st) != 0) return resultFromErrno(errno);
    std::string name = baseName(clean);
    if (clean == "/" || name == "/") return shellerror::DE_ROOTDIR;
    if (name == "." || name == "..") return shellerror::DE_INVALIDFILES;
    std::string folder = realFolder(parentOf(clean));
    if (folder.empty()) return resultFromErrno(errno);
    std::string original = joinPath(folder, name);

    std::string trash, top;
    if (int rc = chooseTrash(folder, trash, top); rc != 0) return rc;
    std::string recorded = original;
    if (!top.empty()) recorded = top == "/" ? original.substr(1) : original.substr(top.size() + 1);
    std::string info = "[Trash Info]\nPath=" + trashPathEncode(recorded) +
                       "\nDeletionDate=" + deletionDate() + "\n";

    for (int n = 1; n < 10000; ++n) {
        std::string candidate = trashName(name, n);
        std::string infoPath = joinPath(joinPath(trash, "info"), candidate + kInfoSuffix);
        std::string filePath = joinPath(joinPath(trash, "files"), candidate);
        // The info file is made first and exclusively: it reserves the name among all programs
        // that trash into this folder.
        int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return resultFromErrno(errno, true);
        }
        struct stat taken;
        if (lstat(filePath.c_str(), &taken) == 0) {
            close(fd);
            unlink(infoPath.c_str());
            continue;
        }
        bool written = writeAll(fd, info) && fsync(fd) == 0;
        int err = errno;
        close(fd);
        if (!written) {
            unlink(infoPath.c_str());
            return resultFromErrno(err, true);
        }
        err = renameNoReplace(original, filePath);
        if (err == 0) {
            syncFolder(joinPath(trash, "files"));
            if (trashed) *trashed = TrashedItem{filePath, infoPath};
            return 0;
        }
        unlink(infoPath.c_str());
        if (err != EEXIST) return resultFromErrno(err, true);
    }
    return shellerror::ERROR_ALREADY_EXISTS;
}

int putBackFromTrash(const TrashedItem& trashed, const std::string& original) {
    int err = renameNoReplace(trashed.file, original);
    if (err != 0) return resultFromErrno(err, true);
    unlink(trashed.info.c_str());
    return 0;
}

}  // namespace shelldetail
