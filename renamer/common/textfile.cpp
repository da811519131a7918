#include "renamer/common/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <string_view>

namespace vantel {

namespace {

// A file descriptor that is closed when it goes out of scope (keeping the errno of the failure
// that made the caller leave).
class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            int saved = errno;
            ::close(m_fd);
            errno = saved;
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports the result: a close can report a delayed write error.
    bool close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_fd;
};

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string ReadTextFile(const std::string& path, bool* ok) {
    if (ok) *ok = false;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return {};
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return {};
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    if (ok) *ok = true;
    return text;
}

bool WriteTextFile(const std::string& path, const std::string& text, bool no_overwrite) {
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (no_overwrite ? O_EXCL : 0);
    Fd fd(::open(path.c_str(), flags, 0666));
    if (fd.get() < 0) return false;
    if (!writeAll(fd.get(), text)) return false;
    return fd.close();
}

bool ReplaceTextFile(const std::string& path, const std::string& text) {
    // A name no other writer in this process or another uses at the same time.
    static std::atomic<unsigned> counter{0};
    std::string temp =
        path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1));
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) return false;
    bool written = writeAll(fd.get(), text) && ::fsync(fd.get()) == 0 && fd.close();
    if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return false;
    }
    // The rename itself becomes durable once the folder is flushed; a failure here cannot undo
    // the replacement, so it is not reported.
    Fd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
    return true;
}

}  // namespace vantel
