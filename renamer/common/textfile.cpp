#include "renamer/common/textfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
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

// The process number of a temporary file's name "<file>.tmp.PID.N", or 0 when it is no such
// name.
long temporaryOwner(const std::string& name) {
    const size_t last = name.rfind('.');
    if (last == std::string::npos || last == 0) return 0;
    const size_t middle = name.rfind('.', last - 1);
    if (middle == std::string::npos || middle < 4 || name.compare(middle - 4, 4, ".tmp") != 0)
        return 0;
    const std::string pid = name.substr(middle + 1, last - middle - 1);
    const std::string number = name.substr(last + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() < 10 &&
               s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(pid) || !digits(number)) return 0;
    return std::stol(pid);
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

namespace {

// How long ago a file must have changed for its stamp to stand for its content (well above the
// coarsest step of file times, a few milliseconds).
constexpr int64_t kSettledNs = 100 * 1000000LL;

FileStamp stampOf(const struct stat& st) {
    return FileStamp{static_cast<uint64_t>(st.st_dev),
                     static_cast<uint64_t>(st.st_ino),
                     static_cast<uint64_t>(st.st_size),
                     st.st_mtim.tv_sec,
                     st.st_mtim.tv_nsec,
                     st.st_ctim.tv_sec,
                     st.st_ctim.tv_nsec};
}

}  // namespace

bool WriteAll(int fd, std::string_view text) {
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

std::optional<FileStamp> StampOfFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return stampOf(st);
}

bool StillAsRead(const std::string& path, const std::string& read_path,
                 const std::optional<FileStamp>& read_stamp) {
    return read_stamp && path == read_path && StampOfFile(path) == read_stamp;
}

std::optional<std::string> ReadBoundedFile(const std::string& path, size_t max_bytes,
                                           std::string* error, std::optional<FileStamp>* stamp) {
    if (stamp) stamp->reset();
    auto fail = [&](std::string why) -> std::optional<std::string> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer for ever.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return fail(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return fail("not a regular file");
    }
    const std::string too_large = "larger than " + std::to_string(max_bytes) + " bytes";
    if (static_cast<uint64_t>(st.st_size) > max_bytes) {
        errno = EFBIG;
        return fail(too_large);
    }
    std::string text;
    text.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(std::strerror(errno));
        }
        if (n == 0) break;
        // A file may grow while it is read, or hold more than its size says (/proc).
        if (text.size() + static_cast<size_t>(n) > max_bytes) {
            errno = EFBIG;
            return fail(too_large);
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    if (stamp) {
        // The content belongs to the stamp only when nothing changed while it was read, and when
        // the file's last change lies clearly before the read: file times advance in coarse
        // steps, so a write in the same step as the last one could leave every part of the stamp
        // as it was. A file changed that recently is read again next time.
        struct stat after {};
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const int64_t age_ns =
            (now.tv_sec - st.st_ctim.tv_sec) * 1000000000LL + (now.tv_nsec - st.st_ctim.tv_nsec);
        if (::fstat(fd.get(), &after) == 0 && stampOf(after) == stampOf(st) &&
            static_cast<uint64_t>(st.st_size) == text.size() && age_ns > kSettledNs)
            *stamp = stampOf(st);
    }
    return text;
}

std::string ReadTextFile(const std::string& path, bool* ok) {
    std::optional<std::string> text = ReadBoundedFile(path, SIZE_MAX);
    if (ok) *ok = text.has_value();
    return text ? std::move(*text) : std::string();
}

bool WriteTextFile(const std::string& path, const std::string& text, bool no_overwrite) {
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (no_overwrite ? O_EXCL : 0);
    Fd fd(::open(path.c_str(), flags, 0666));
    if (fd.get() < 0) return false;
    if (!WriteAll(fd.get(), text)) return false;
    return fd.close();
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const time_t hour_ago = ::time(nullptr) - 3600;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long owner = temporaryOwner(name);
        if (owner <= 0) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            S_ISDIR(st.st_mode))
            continue;
        // A process of another user answers EPERM: it is alive, and so may be its write.
        const bool gone = ::kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH;
        if (!gone && st.st_mtime > hour_ago) continue;
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool ReplaceTextFile(const std::string& path, const std::string& text) {
    // A name no other writer in this process or another uses at the same time.
    static std::atomic<unsigned> counter{0};
    std::string temp =
        path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1));
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) return false;
    bool written = WriteAll(fd.get(), text) && ::fsync(fd.get()) == 0 && fd.close();
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
