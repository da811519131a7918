// Registered window messages: one number per name (case-insensitive) for every process of the
// user.
//
// The numbers live in a table file in the user's runtime folder, one line per name
// ("C0A3 taskbarcreated"), read and extended under an exclusive file lock. A new name takes the
// number its hash points at, or the next free one after it, so names never share a number.
// Each process keeps what it has learnt in memory. When the file cannot be used the process
// still gives consistent, distinct numbers on its own, from the same hash.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <unordered_set>

#include "platform/user/internal.h"

namespace vantel::user {

namespace {

constexpr UINT kFirstNumber = 0xC000;
constexpr UINT kNumberCount = 0x4000;
constexpr const char* kTableName = "window-messages";

struct Names {
    std::mutex mutex;
    std::unordered_map<std::string, UINT> byName;
    std::unordered_set<UINT> used;
};

Names& names() {
    static Names* n = new Names;  // leaked like the rest of the process-wide state
    return *n;
}

uint32_t fnv1a(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

// The first number from the name's hash on that nobody has taken; 0 when all are taken.
UINT probe(const std::string& key, const std::unordered_set<UINT>& taken) {
    uint32_t start = fnv1a(key) % kNumberCount;
    for (uint32_t i = 0; i < kNumberCount; ++i) {
        UINT n = kFirstNumber + (start + i) % kNumberCount;
        if (!taken.count(n)) return n;
    }
    return 0;
}

// Names may hold any byte but NUL; line breaks and other control bytes are written as %XX so
// a line is always one record.
std::string escape(const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '%') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Parses "XXXX escaped-name"; false for a line that is not a record (a torn write, an edit).
bool parseLine(std::string_view line, UINT& number, std::string& name) {
    if (line.size() < 6 || line[4] != ' ') return false;
    number = 0;
    for (int i = 0; i < 4; ++i) {
        int v = hexValue(line[i]);
        if (v < 0) return false;
        number = number * 16 + static_cast<UINT>(v);
    }
    if (number < kFirstNumber) return false;
    name.clear();
    for (size_t i = 5; i < line.size(); ++i) {
        if (line[i] != '%') {
            name += line[i];
            continue;
        }
        if (i + 2 >= line.size()) return false;
        int hi = hexValue(line[i + 1]);
        int lo = hexValue(line[i + 2]);
        if (hi < 0 || lo < 0) return false;
        name += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool readAll(int fd, std::string& out) {
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out.append(buf, static_cast<size_t>(n));
    }
}

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Looks the name up in the user's table, adding it when it is new; 0 when the table cannot be
// used. `localUsed` are numbers this process handed out on its own, which stay taken.
UINT registerShared(const std::string& key, const std::unordered_set<UINT>& localUsed) {
    std::string dir = userRuntimeDir();
    if (dir.empty()) return 0;
    std::string path = dir + "/" + kTableName;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) return 0;
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return 0;
    }
    // The lock goes with the descriptor when it is closed on return.
    std::string text;
    if (!readAll(fd.get(), text)) return 0;
    std::unordered_set<UINT> taken = localUsed;
    UINT number;
    std::string name;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (parseLine(std::string_view(text).substr(pos, end - pos), number, name)) {
            if (name == key) return number;
            taken.insert(number);
        }
        pos = end + 1;
    }
    number = probe(key, taken);
    if (number == 0) return 0;
    char head[16];
    std::snprintf(head, sizeof head, "%04X ", number);
    // A line left without its end by a crashed writer must not swallow ours.
    std::string line = (!text.empty() && text.back() != '\n') ? "\n" : "";
    line += head + escape(key) + "\n";
    if (::lseek(fd.get(), 0, SEEK_END) < 0 || !writeAll(fd.get(), line)) return 0;
    return number;
}

}  // namespace

}  // namespace vantel::user

using namespace vantel::user;

UINT RegisterWindowMessageA(const char* name) {
    if (!name || !*name) return 0;
    std::string key = lowerAscii(name);
    Names& n = names();
    std::lock_guard<std::mutex> lock(n.mutex);
    auto it = n.byName.find(key);
    if (it != n.byName.end()) return it->second;
    UINT number = registerShared(key, n.used);
    if (number == 0) number = probe(key, n.used);
    if (number == 0) return 0;
    n.byName.emplace(key, number);
    n.used.insert(number);
    return number;
}
