#include "platform/registry/store_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

// Creates every missing folder of path, each with mode 0700 (the store is private to its user).
bool makeFolders(const std::string& folder) {
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) break;
    }
    struct stat info;
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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
    const std::string temporary = path + ".tmp";
    Fd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
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

}  // namespace

LSTATUS readStore(const std::string& path, Key& root) {
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

LSTATUS changeStore(const std::string& path, const StoreChange& change) {
    if (!makeFolders(folderOf(path))) return ERROR_CANTWRITE;
    const std::string lockPath = path + ".lock";
    Fd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock.valid() || !lockExclusive(lock.get())) return ERROR_CANTWRITE;
    // Reading again under the lock is what keeps another process's change from being lost.
    Key root;
    if (const LSTATUS status = readStore(path, root); status != ERROR_SUCCESS) return status;
    bool changed = false;
    if (const LSTATUS status = change(root, changed); status != ERROR_SUCCESS || !changed) {
        return status;
    }
    return replaceStore(path, serializeStore(root));
}

}  // namespace registry
