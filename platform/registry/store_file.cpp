#include "platform/registry/store_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/registry/store_text.h"

namespace registry {

namespace {

// Owns one file descriptor.
class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    // Closes now and tells whether the close (which may report a late write error) worked.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_fd;
};

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates every missing folder of path, each with mode 0700 (the store is private to its user),
// and makes the store's own folder private when its owner left it open to others.
bool makeFolders(const std::string& folder) {
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) break;
    }
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    if ((info.st_mode & 077) != 0 && info.st_uid == ::geteuid()) ::chmod(folder.c_str(), 0700);
    return true;
}

// Removes the temporary files of earlier writes to path that a killed writer left behind
// (path + ".tmp", the name older versions used, and path + ".tmp.PID.N"). Called with the lock
// held: every writer writes its temporary file under the lock, so none of them is in use.
void removeStaleTemporaries(const std::string& path) {
    const std::string prefix = baseOf(path) + ".tmp";
    DIR* folder = ::opendir(folderOf(path).c_str());
    if (!folder) return;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == prefix || name.starts_with(prefix + "."))
            ::unlinkat(::dirfd(folder), name.c_str(), 0);
    }
    ::closedir(folder);
}

bool readAll(int fd, std::string& out) {
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool lockExclusive(int fd) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// Replaces the store with text: a reader sees either the old file or the new one, and after a
// crash the folder holds one of the two in full.
LSTATUS replaceStore(const std::string& path, const std::string& text) {
    removeStaleTemporaries(path);
    // A name of this write alone, created afresh: a file or a link planted under it makes the
    // open fail instead of writing through the link.
    static std::atomic<unsigned> counter{0};
    const std::string temporary =
        path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1));
    Fd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid()) return ERROR_CANTWRITE;
    if (!writeAll(file.get(), text) || ::fsync(file.get()) != 0 || !file.close() ||
        ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return ERROR_CANTWRITE;
    }
    // The rename has happened; flushing the folder makes it last through a power loss. Some file
    // systems cannot flush a folder, and the change is made either way, so its result is not a
    // failure of the write.
    Fd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
    return ERROR_SUCCESS;
}

std::mutex g_setAsideMutex;
std::string g_setAside;

// The store's lock file, opened and locked exclusively: its descriptor, or -1 when it cannot be.
int lockStore(const std::string& path) {
    const int fd =
        ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && !lockExclusive(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Keeps a store that does not parse aside under a new name (path + ".damaged-" + the time, and
// a number when that is taken), says so once on standard error, and so lets the caller start
// with an empty store. Called with the lock held. False when it cannot be renamed.
bool setDamagedStoreAside(const std::string& path) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 0; n < 100; ++n) {
        std::string aside = path + ".damaged-" + stamp;
        if (n > 0) aside += "." + std::to_string(n);
        struct stat info;
        if (::lstat(aside.c_str(), &info) == 0 || errno != ENOENT) continue;
        if (::rename(path.c_str(), aside.c_str()) != 0) return false;
        std::fprintf(stderr,
                     "The settings store %s could not be read; it was kept as %s and a new one "
                     "was started\n",
                     path.c_str(), aside.c_str());
        const std::lock_guard<std::mutex> guard(g_setAsideMutex);
        g_setAside = aside;
        return true;
    }
    return false;
}

// readStore without setting a damaged store aside.
LSTATUS readStoreAsItIs(const std::string& path, Key& root);

}  // namespace

std::string damagedStoreSetAside() {
    const std::lock_guard<std::mutex> guard(g_setAsideMutex);
    return g_setAside;
}

LSTATUS readStore(const std::string& path, Key& root) {
    const LSTATUS status = readStoreAsItIs(path, root);
    if (status != ERROR_BADDB) return status;
    // Another process may be setting it aside at this moment: look again under the lock.
    Fd lock(lockStore(path));
    if (!lock.valid()) return status;
    const LSTATUS again = readStoreAsItIs(path, root);
    if (again != ERROR_BADDB || !setDamagedStoreAside(path)) return again;
    root = Key{};
    return ERROR_SUCCESS;
}

namespace {

LSTATUS readStoreAsItIs(const std::string& path, Key& root) {
    root = Key{};
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        if (errno == ENOENT) return ERROR_SUCCESS;
        return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTREAD;
    }
    std::string text;
    if (!readAll(file.get(), text)) return ERROR_CANTREAD;
    return parseStore(text, root) ? ERROR_SUCCESS : ERROR_BADDB;
}

}  // namespace

LSTATUS changeStore(const std::string& path, const StoreChange& change) {
    if (!makeFolders(folderOf(path))) return ERROR_CANTWRITE;
    Fd lock(lockStore(path));
    if (!lock.valid()) return ERROR_CANTWRITE;
    // Reading again under the lock is what keeps another process's change from being lost.
    Key root;
    LSTATUS read = readStoreAsItIs(path, root);
    if (read == ERROR_BADDB && setDamagedStoreAside(path)) {
        root = Key{};
        read = ERROR_SUCCESS;
    }
    if (read != ERROR_SUCCESS) return read;
    bool changed = false;
    if (const LSTATUS status = change(root, changed); status != ERROR_SUCCESS || !changed) {
        return status;
    }
    return replaceStore(path, serializeStore(root));
}

}  // namespace registry
