// The trace file and its users.

#include "winsock/trace/trace_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace kvtrace {
namespace {

struct TraceFile {
    std::mutex lock;
    std::string configured;  // the file set by a user; "" means the default
    std::string openPath;    // the file open in fd
    int fd = -1;
    int users = 0;
};

TraceFile& traceFile() {
    // Never destroyed: a hook may still run in another thread while the process exits.
    static auto* state = new TraceFile();
    return *state;
}

std::atomic<bool> g_active{false};
std::atomic<DWORD> g_flags{0};
std::atomic<LPFN_WSAGETLASTERROR> g_getError{nullptr};
std::atomic<LPFN_WSASETLASTERROR> g_setError{nullptr};

// Creates path and its missing parents with mode 0700; true when it exists afterwards.
bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int openForAppend(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}

// Makes configured (or the default) the open file. The old file stays open when the new one
// cannot be opened.
bool switchTo(TraceFile& state, const std::string& configured) {
    std::string path = configured.empty() ? defaultFile() : configured;
    if (state.fd >= 0 && path == state.openPath) return true;
    int fd = openForAppend(path);
    if (fd < 0) return false;
    if (state.fd >= 0) close(state.fd);
    state.fd = fd;
    state.openPath = path;
    return true;
}

}  // namespace

std::string defaultFile() {
    std::string folder;
    if (const char* state = getenv("XDG_STATE_HOME"); state && *state == '/') {
        folder = state;
    } else if (const char* home = getenv("HOME"); home && *home == '/') {
        folder = std::string(home) + "/.local/state";
    }
    if (folder.empty()) return "kvtrace6.log";
    folder += "/kvlink6";
    if (!makeFolders(folder)) return "kvtrace6.log";
    return folder + "/kvtrace6.log";
}

void setup(LPFN_WSAGETLASTERROR getError, LPFN_WSASETLASTERROR setError) {
    g_getError.store(getError);
    g_setError.store(setError);
}

bool enable(const char* fileName, DWORD flags) {
    TraceFile& state = traceFile();
    std::lock_guard<std::mutex> lock(state.lock);
    std::string configured = (fileName && *fileName) ? fileName : state.configured;
    if (!switchTo(state, configured)) return false;
    state.configured = configured;
    g_flags.store(flags);
    ++state.users;
    g_active.store(true);
    return true;
}

bool disable() {
    TraceFile& state = traceFile();
    std::lock_guard<std::mutex> lock(state.lock);
    if (state.users == 0) return false;
    if (--state.users == 0) {
        g_active.store(false);
        close(state.fd);
        state.fd = -1;
        state.openPath.clear();
    }
    return true;
}

int usage() {
    TraceFile& state = traceFile();
    std::lock_guard<std::mutex> lock(state.lock);
    return state.users;
}

bool setFile(const char* fileName) {
    TraceFile& state = traceFile();
    std::lock_guard<std::mutex> lock(state.lock);
    std::string configured = fileName ? fileName : "";
    if (state.users > 0 && !switchTo(state, configured)) return false;
    state.configured = configured;
    return true;
}

std::string file() {
    TraceFile& state = traceFile();
    std::lock_guard<std::mutex> lock(state.lock);
    if (state.fd >= 0) return state.openPath;
    return state.configured.empty() ? defaultFile() : state.configured;
}

DWORD setFlags(DWORD flags) {
    return g_flags.exchange(flags);
}

DWORD flags() {
    return g_flags.load();
}

bool active() {
    return g_active.load(std::memory_order_relaxed);
}

bool wanted(LineKind kind) {
    DWORD chosen = g_flags.load() & (kTraceError | kTraceWarning);
    if (chosen == 0) return true;
    switch (kind) {
        case LineKind::Error:
            return chosen & kTraceError;
        case LineKind::Warning:
            return chosen & kTraceWarning;
        case LineKind::Info:
            break;
    }
    return false;
}

bool dumpWanted() {
    return g_flags.load() & kTraceHexDump;
}

bool writeRecord(const std::string& text) {
    TraceFile& state = traceFile();
    std::lock_guard<std::mutex> lock(state.lock);
    if (state.fd < 0) return false;
    // One write per record keeps a line and its dump together in a file appended to by others;
    // a short write (a full disk) is finished with further writes.
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(state.fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

int lastError() {
    LPFN_WSAGETLASTERROR get = g_getError.load();
    return get ? get() : 0;
}

void restoreError(int error) {
    if (LPFN_WSASETLASTERROR set = g_setError.load()) set(error);
}

}  // namespace kvtrace
