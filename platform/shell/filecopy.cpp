#include "platform/shell/filecopy.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

namespace shelldetail {
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr const char* kPartialPrefix = ".vantel-partial-";

// A streaming 64-bit checksum: four lanes, each mixing in every fourth 8-byte word by
// multiplication and rotation (independent lanes keep the processor busy), folded together with
// the length at the end. It guards against corruption (a short or garbled write, a failing disk),
// not against an attacker.
class Checksum {
  public:
    void update(const char* data, size_t size) {
        m_length += size;
        if (m_tailLength > 0) {
            size_t take = std::min(size, kStripe - m_tailLength);
            std::memcpy(m_tail + m_tailLength, data, take);
            m_tailLength += take;
            data += take;
            size -= take;
            if (m_tailLength < kStripe) return;
            mixStripe(m_tail);
            m_tailLength = 0;
        }
        for (; size >= kStripe; size -= kStripe, data += kStripe)
            mixStripe(data);
        std::memcpy(m_tail, data, size);
        m_tailLength = size;
    }

    uint64_t value() const {
        uint64_t h = m_length * kPrime3;
        for (uint64_t lane : m_lanes)
            h = mix(h, lane);
        unsigned char last[kStripe] = {};
        std::memcpy(last, m_tail, m_tailLength);
        for (size_t i = 0; i < kStripe; i += 8)
            h = mix(h, load(last + i));
        h ^= h >> 33;
        h *= kPrime2;
        h ^= h >> 29;
        h *= kPrime3;
        return h ^ (h >> 32);
    }

  private:
    static constexpr size_t kStripe = 32;
    static constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
    static constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
    static constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;

    static uint64_t load(const void* p) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    }
    static uint64_t mix(uint64_t h, uint64_t word) {
        h ^= word * kPrime2;
        h = (h << 31) | (h >> 33);
        return h * kPrime1;
    }
    void mixStripe(const void* p) {
        const char* bytes = static_cast<const char*>(p);
        for (size_t i = 0; i < 4; ++i)
            m_lanes[i] = mix(m_lanes[i], load(bytes + 8 * i));
    }

    uint64_t m_lanes[4] = {kPrime1, kPrime2, kPrime3, kPrime1 ^ kPrime3};
    uint64_t m_length = 0;
    unsigned char m_tail[kStripe] = {};
    size_t m_tailLength = 0;
};

std::string randomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string out;
    for (int i = 0; i < 10; ++i)
        out += kLetters[generator() % (sizeof(kLetters) - 1)];
    return out;
}

// The file being written. It has no name while it is incomplete (O_TMPFILE), so a crash or a
// killed process leaves nothing behind; where the file system cannot do that it has a hidden
// name that the destructor removes unless the file was committed.
class PartialFile {
  public:
    explicit PartialFile(std::string folder) : m_folder(std::move(folder)) {}
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    ~PartialFile() {
        if (m_fd >= 0) close(m_fd);
        if (!m_committed && !m_tempPath.empty()) unlink(m_tempPath.c_str());
    }

    int fd() const { return m_fd; }

    int create() {
        // Naming an unnamed file later goes through /proc/self/fd.
        if (access("/proc/self/fd", X_OK) == 0) {
            m_fd = open(m_folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (m_fd >= 0) return 0;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                return resultFromErrno(errno, true);
            }
        }
        std::string pattern = joinPath(m_folder, std::string(kPartialPrefix) + "XXXXXX");
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        m_fd = mkostemp(name.data(), O_CLOEXEC);
        if (m_fd < 0) return resultFromErrno(errno, true);
        m_tempPath = name.data();
        return 0;
    }

    // Gives the finished file its name. 0, kDestinationAppeared or a result number.
    int commit(const std::string& destination, bool replace) {
        int err = m_tempPath.empty() ? commitUnnamed(destination, replace)
                                     : commitNamed(destination, replace);
        if (err == EEXIST && !replace) return kDestinationAppeared;
        if (err != 0) return resultFromErrno(err, true);
        m_committed = true;
        syncFolder(m_folder);
        return 0;
    }

  private:
    int commitUnnamed(const std::string& destination, bool replace) {
        std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        if (!replace) {
            return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, destination.c_str(),
                          AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        }
        // Replacing takes a name first and then renames it over the destination in one step.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string temp = joinPath(m_folder, kPartialPrefix + randomSuffix());
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                if (errno == EEXIST) continue;
                return errno;
            }
            if (rename(temp.c_str(), destination.c_str()) == 0) return 0;
            int err = errno;
            unlink(temp.c_str());
            return err;
        }
        return EEXIST;
    }

    int commitNamed(const std::string& destination, bool replace) {
        if (!replace) return renameNoReplace(m_tempPath, destination);
        return rename(m_tempPath.c_str(), destination.c_str()) == 0 ? 0 : errno;
    }

    std::string m_folder;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_committed = false;
};

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads fd from its start to its end into a checksum. 0 or a result number.
int checksumOf(int fd, std::vector<char>& buffer, Checksum& sum, uint64_t& length) {
    length = 0;
    for (;;) {
        ssize_t n = pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(length));
        if (n < 0) {
            if (errno == EINTR) continue;
            return resultFromErrno(errno);
        }
        if (n == 0) return 0;
        sum.update(buffer.data(), static_cast<size_t>(n));
        length += static_cast<uint64_t>(n);
    }
}

// The extended attributes a copy keeps: the user's own (user.*), which mv and cp -a keep too,
// and the access control list.
bool keptAttribute(std::string_view name) {
    return name.starts_with("user.") || name == "system.posix_acl_access";
}

// Copies the kept extended attributes of the open file from to the open file to. A file system
// that holds none, or an attribute this user may not set there, leaves it behind as mv does;
// any other failure is the copy's failure (a result number). Returns 0 otherwise.
int copyAttributes(int from, int to) {
    std::vector<char> names(1024);
    ssize_t length;
    while ((length = flistxattr(from, names.data(), names.size())) < 0) {
        if (errno == ENOTSUP) return 0;
        if (errno != ERANGE) return resultFromErrno(errno);
        ssize_t needed = flistxattr(from, nullptr, 0);
        if (needed < 0) return resultFromErrno(errno);
        names.resize(static_cast<size_t>(needed) + 1);
    }
    std::vector<char> value;
    for (size_t at = 0; at < static_cast<size_t>(length);) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        if (!keptAttribute(name)) continue;
        // A size of 0 asks for the value's size; the value may grow between the two calls.
        ssize_t size;
        do {
            size = fgetxattr(from, name, nullptr, 0);
            if (size > 0) {
                value.resize(static_cast<size_t>(size));
                size = fgetxattr(from, name, value.data(), value.size());
            }
        } while (size < 0 && errno == ERANGE);
        if (size < 0) {
            if (errno == ENODATA) continue;  // removed meanwhile
            return resultFromErrno(errno);
        }
        if (fsetxattr(to, name, value.data(), static_cast<size_t>(size), 0) != 0 &&
            errno != ENOTSUP && errno != EPERM && errno != EACCES)
            return resultFromErrno(errno, true);
    }
    return 0;
}

struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

int copyFileVerified(Operation& op, const std::string& source, const struct stat& sourceStat,
                     const std::string& destination, bool replace, bool keepOwner) {
    FileDescriptor in{open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
    if (in.fd < 0) return resultFromErrno(errno);
    struct stat before;
    if (fstat(in.fd, &before) != 0) return resultFromErrno(errno);
    if (before.st_ino != sourceStat.st_ino || before.st_dev != sourceStat.st_dev) {
        return shellerror::ERROR_SHARING_VIOLATION;  // another file took the name meanwhile
    }
    posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    PartialFile out(parentOf(destination));
    if (int rc = out.create(); rc != 0) return rc;

    std::vector<char> buffer(kChunk);
    Checksum written;
    uint64_t done = 0;
    const uint64_t total = static_cast<uint64_t>(before.st_size);
    if (!op.progress(destination, 0, total)) return shellerror::ERROR_CANCELLED;
    for (;;) {
        ssize_t n = read(in.fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return resultFromErrno(errno, false);
        }
        if (n == 0) break;
        written.update(buffer.data(), static_cast<size_t>(n));
        if (!writeAll(out.fd(), buffer.data(), static_cast<size_t>(n))) {
            return resultFromErrno(errno, true);
        }
        done += static_cast<uint64_t>(n);
        if (!op.progress(destination, done, total)) return shellerror::ERROR_CANCELLED;
    }

    // A source written to while it was copied would leave a copy of no consistent state.
    struct stat after;
    if (fstat(in.fd, &after) != 0) return resultFromErrno(errno);
    if (done != static_cast<uint64_t>(after.st_size) ||
        after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != before.st_mtim.tv_nsec) {
        return shellerror::ERROR_SHARING_VIOLATION;
    }

    // The owner goes first: changing it clears the set-id bits that fchmod then restores.
    if (keepOwner) {
        // Only root may give a file away; otherwise the copy stays the caller's.
        int ignored = fchown(out.fd(), before.st_uid, before.st_gid);
        (void)ignored;
    }
    mode_t mask = keepOwner ? 07777 : 0777;
    if (fchmod(out.fd(), before.st_mode & mask) != 0) return resultFromErrno(errno, true);
    // After the mode: an access control list carries the mode bits as well.
    if (int rc = copyAttributes(in.fd, out.fd()); rc != 0) return rc;
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (futimens(out.fd(), times) != 0) return resultFromErrno(errno, true);
    if (fsync(out.fd()) != 0) return resultFromErrno(errno, true);

    Checksum readBack;
    uint64_t length = 0;
    if (int rc = checksumOf(out.fd(), buffer, readBack, length); rc != 0) return rc;
    if (length != done || readBack.value() != written.value()) return shellerror::ERROR_CRC;

    return out.commit(destination, replace);
}

int copySymlink(const std::string& source, const std::string& destination, bool replace) {
    std::vector<char> target(256);
    for (;;) {
        ssize_t n = readlink(source.c_str(), target.data(), target.size());
        if (n < 0) return resultFromErrno(errno);
        if (static_cast<size_t>(n) < target.size()) {
            target.resize(static_cast<size_t>(n));
            break;
        }
        target.resize(target.size() * 2);
    }
    target.push_back('\0');
    if (!replace) {
        if (symlink(target.data(), destination.c_str()) == 0) return 0;
        return errno == EEXIST ? kDestinationAppeared : resultFromErrno(errno, true);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = joinPath(parentOf(destination), kPartialPrefix + randomSuffix());
        if (symlink(target.data(), temp.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return resultFromErrno(errno, true);
        }
        if (rename(temp.c_str(), destination.c_str()) == 0) return 0;
        int err = errno;
        unlink(temp.c_str());
        return resultFromErrno(err, true);
    }
    return shellerror::ERROR_ALREADY_EXISTS;
}

}  // namespace shelldetail
