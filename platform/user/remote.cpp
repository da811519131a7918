// Windows of other processes of the same user.
//
// A process that has a top-level window with a caption listens on a Unix socket
// "<runtime folder>/win-<pid>.sock". Another process of the user finds such a window by asking
// each listening process in turn; the answer becomes a handle tagged as remote, which names
// (process, window) in a table here. WM_COPYDATA sent to such a handle carries its bytes over
// the socket; the receiving process hands the message to the window's own thread with
// SendMessage and returns the result. The folder is the user's alone (0700) and both ends check
// the peer's user id, so no other user can reach a window or pose as one.

#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/user/internal.h"

namespace vantel::user {

namespace {

constexpr uint32_t kMagic = 0x4E495756;
enum Kind : uint32_t { kFind = 1, kAlive = 2, kText = 3, kCopyData = 4 };
constexpr uint32_t kAbsent = UINT32_MAX;  // a string argument given as nullptr
constexpr uint32_t kMaxText = 64 * 1024;
constexpr uint32_t kMaxCopyData = 16 * 1024 * 1024;
constexpr int kTimeoutSeconds = 5;
constexpr int kMaxConnections = 16;

// Both ends run on the same machine, so the records travel in its own byte order.
struct Request {
    uint32_t magic;
    uint32_t kind;
    uint64_t hwnd;  // the receiving process's own handle value
    uint64_t wParam;
    uint64_t dwData;
    uint32_t length1;  // class name (find) or data (copy data); kAbsent for nullptr
    uint32_t length2;  // caption (find)
};

struct Reply {
    int64_t value;  // the window found, the alive flag or the procedure's result
    uint32_t threadId;
    uint32_t length;  // bytes of text that follow
};

struct RemoteWindow {
    pid_t pid;
    uint64_t hwnd;
    DWORD threadId;
};

struct Remotes {
    std::mutex mutex;
    std::vector<RemoteWindow> table;  // the handle with serial n names table[n - 1]
    bool publishTried = false;
    std::string socketPath;
    pid_t publisher = 0;
    std::atomic<int> connections{0};
    std::atomic<int> delivering{0};  // WM_COPYDATA handed to a window, answer not yet written
};

Remotes& remotes() {
    static Remotes* r = new Remotes;  // leaked: detached service threads use it until exit
    return *r;
}

HWND remoteHandle(pid_t pid, uint64_t hwnd, DWORD threadId) {
    auto& r = remotes();
    std::lock_guard<std::mutex> lock(r.mutex);
    size_t i = 0;
    while (i < r.table.size() && !(r.table[i].pid == pid && r.table[i].hwnd == hwnd))
        ++i;
    if (i == r.table.size()) r.table.push_back(RemoteWindow{pid, hwnd, threadId});
    if (threadId) r.table[i].threadId = threadId;
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(i + 1) << 2 | kRemoteHandleTag);
}

bool lookupRemote(HWND hwnd, RemoteWindow& out) {
    size_t serial = reinterpret_cast<uintptr_t>(hwnd) >> 2;
    auto& r = remotes();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (serial == 0 || serial > r.table.size()) return false;
    out = r.table[serial - 1];
    return true;
}

bool isLocalValue(uint64_t value) {
    return value && (value & kHandleTagMask) == kLocalHandleTag;
}

std::string socketPath(const std::string& dir, pid_t pid) {
    return dir + "/win-" + std::to_string(pid) + ".sock";
}

bool readFull(int fd, void* data, size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeFull(int fd, const void* data, size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        // A peer that went away must not kill us with SIGPIPE.
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool peerIsUs(int fd, ucred& peer) {
    socklen_t len = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) == 0 && peer.uid == ::getuid();
}

void setTimeouts(int fd) {
    timeval tv{kTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool readString(int fd, uint32_t length, std::string& out, bool& present) {
    present = length != kAbsent;
    if (!present) return true;
    if (length > kMaxText) return false;
    out.resize(length);
    return readFull(fd, out.data(), length);
}

// Serves one request of another process of the user.
void answer(UniqueFd fd) {
    ucred peer{};
    if (!peerIsUs(fd.get(), peer)) return;
    setTimeouts(fd.get());
    Request req{};
    if (!readFull(fd.get(), &req, sizeof req) || req.magic != kMagic) return;
    Reply reply{};
    std::string text;
    HWND target = isLocalValue(req.hwnd) ? reinterpret_cast<HWND>(req.hwnd) : nullptr;
    switch (req.kind) {
        case kFind: {
            std::string cls, caption;
            bool hasClass, hasCaption;
            if (!readString(fd.get(), req.length1, cls, hasClass) ||
                !readString(fd.get(), req.length2, caption, hasCaption))
                return;
            HWND found = findLocalWindow(hasClass ? cls.c_str() : nullptr,
                                         hasCaption ? caption.c_str() : nullptr);
            reply.value = static_cast<int64_t>(reinterpret_cast<uintptr_t>(found));
            reply.threadId = found ? GetWindowThreadProcessId(found, nullptr) : 0;
            break;
        }
        case kAlive:
            reply.value = target && IsWindow(target);
            break;
        case kText: {
            auto lock = lockState();
            if (Window* w = target ? findWindowLocked(target) : nullptr) text = w->text;
            if (text.size() > kMaxText) text.resize(kMaxText);
            break;
        }
        case kCopyData: {
            if (req.length1 > kMaxCopyData) return;
            std::vector<char> data(req.length1);
            if (!readFull(fd.get(), data.data(), data.size())) return;
            COPYDATASTRUCT cds{static_cast<ULONG_PTR>(req.dwData), req.length1,
                               data.empty() ? nullptr : data.data()};
            // The sender's window handle means something here only as a remote handle.
            HWND sender =
                isLocalValue(req.wParam) ? remoteHandle(peer.pid, req.wParam, 0) : nullptr;
            if (!target) break;
            ++remotes().delivering;
            reply.value = SendMessageA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                                       reinterpret_cast<LPARAM>(&cds));
            writeFull(fd.get(), &reply, sizeof reply);
            --remotes().delivering;
            return;
        }
        default:
            return;
    }
    reply.length = static_cast<uint32_t>(text.size());
    if (writeFull(fd.get(), &reply, sizeof reply)) writeFull(fd.get(), text.data(), text.size());
}

void listenLoop(UniqueFd listener) {
    auto& r = remotes();
    for (;;) {
        int c = ::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of resources for a moment: back off instead of spinning.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            return;
        }
        UniqueFd conn(c);
        // A request may wait for a busy window; a few run at once, more are turned away.
        if (r.connections.fetch_add(1) >= kMaxConnections) {
            --r.connections;
            continue;
        }
        try {
            std::thread([fd = std::move(conn)]() mutable {
                answer(std::move(fd));
                --remotes().connections;
            }).detach();
        } catch (...) {
            --r.connections;
        }
    }
}

void unpublish() {
    auto& r = remotes();
    // A forked child inherits this handler but not the socket.
    if (r.publisher != ::getpid()) return;
    ::unlink(r.socketPath.c_str());
    // A window that handled a WM_COPYDATA and then ended the program (a quit request) still
    // owes the sender its answer; give the answer a moment to go out. By now the main thread's
    // queue is gone, so a delivery into it has already been answered.
    for (int i = 0; i < 100 && r.delivering.load() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Connects to the process `pid` of this user; `stale` tells that a socket is left with nobody
// listening (its process ended without removing it).
UniqueFd connectTo(const std::string& dir, pid_t pid, bool& stale) {
    stale = false;
    std::string path = socketPath(dir, pid);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return {};
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return {};
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        stale = errno == ECONNREFUSED;
        return {};
    }
    ucred peer{};
    if (!peerIsUs(fd.get(), peer)) return {};
    setTimeouts(fd.get());
    return fd;
}

// Sends one request with its payload to `pid` and reads the reply. With `answering`, the wait
// for the reply runs this thread's sent messages as SendMessage does.
// A socket found stale is removed.
bool exchange(pid_t pid, const Request& req, const void* payload, size_t payloadSize, Reply& reply,
              std::string* text, bool answering) {
    std::string dir = userRuntimeDir();
    if (dir.empty()) return false;
    bool stale;
    UniqueFd fd = connectTo(dir, pid, stale);
    if (stale) ::unlink(socketPath(dir, pid).c_str());
    if (!fd.valid()) return false;
    if (!writeFull(fd.get(), &req, sizeof req) || !writeFull(fd.get(), payload, payloadSize))
        return false;
    if (answering) waitReadableAnswering(fd.get());
    if (!readFull(fd.get(), &reply, sizeof reply) || reply.length > kMaxText) return false;
    std::string body(reply.length, '\0');
    if (!readFull(fd.get(), body.data(), body.size())) return false;
    if (text) *text = std::move(body);
    return true;
}

Request makeRequest(Kind kind, uint64_t hwnd) {
    Request req{};
    req.magic = kMagic;
    req.kind = kind;
    req.hwnd = hwnd;
    req.length1 = req.length2 = kAbsent;
    return req;
}

}  // namespace

void publishProcessWindows() {
    auto& r = remotes();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.publishTried) return;
    r.publishTried = true;
    std::string dir = userRuntimeDir();
    if (dir.empty()) return;
    std::string path = socketPath(dir, ::getpid());
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return;
    // A socket under our process id was left by an earlier process that had it and has ended.
    ::unlink(path.c_str());
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd.get(), kMaxConnections) != 0)
        return;
    r.socketPath = path;
    r.publisher = ::getpid();
    std::atexit(unpublish);
    try {
        std::thread(listenLoop, std::move(fd)).detach();
    } catch (...) {
        ::unlink(path.c_str());
    }
}

HWND findRemoteWindow(const char* className, const char* windowName) {
    std::string dir = userRuntimeDir();
    if (dir.empty()) return nullptr;
    std::vector<pid_t> pids;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            int pid = 0;
            char tail[8] = {};
            if (std::sscanf(e->d_name, "win-%d%7s", &pid, tail) == 2 &&
                std::strcmp(tail, ".sock") == 0 && pid > 0 && pid != ::getpid())
                pids.push_back(pid);
        }
        ::closedir(d);
    }
    std::string cls = className ? className : "";
    std::string caption = windowName ? windowName : "";
    if (cls.size() > kMaxText || caption.size() > kMaxText) return nullptr;
    Request req = makeRequest(kFind, 0);
    req.length1 = className ? static_cast<uint32_t>(cls.size()) : kAbsent;
    req.length2 = windowName ? static_cast<uint32_t>(caption.size()) : kAbsent;
    std::string payload = cls + caption;
    for (pid_t pid : pids) {
        Reply reply{};
        if (exchange(pid, req, payload.data(), payload.size(), reply, nullptr, false) &&
            isLocalValue(static_cast<uint64_t>(reply.value)))
            return remoteHandle(pid, static_cast<uint64_t>(reply.value), reply.threadId);
    }
    return nullptr;
}

bool remoteWindowAlive(HWND hwnd) {
    RemoteWindow rw{};
    Reply reply{};
    return lookupRemote(hwnd, rw) &&
           exchange(rw.pid, makeRequest(kAlive, rw.hwnd), nullptr, 0, reply, nullptr, false) &&
           reply.value != 0;
}

bool remoteWindowText(HWND hwnd, std::string& text) {
    RemoteWindow rw{};
    Reply reply{};
    return lookupRemote(hwnd, rw) &&
           exchange(rw.pid, makeRequest(kText, rw.hwnd), nullptr, 0, reply, &text, false);
}

DWORD remoteThreadProcessId(HWND hwnd, DWORD* processId) {
    RemoteWindow rw{};
    if (!lookupRemote(hwnd, rw)) return 0;
    if (processId) *processId = static_cast<DWORD>(rw.pid);
    return rw.threadId;
}

LRESULT sendRemoteMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    RemoteWindow rw{};
    if (msg != WM_COPYDATA || !cds || cds->cbData > kMaxCopyData || (cds->cbData && !cds->lpData) ||
        !lookupRemote(hwnd, rw))
        return 0;
    Request req = makeRequest(kCopyData, rw.hwnd);
    req.wParam = wParam;
    req.dwData = cds->dwData;
    req.length1 = cds->cbData;
    Reply reply{};
    return exchange(rw.pid, req, cds->lpData, cds->cbData, reply, nullptr, true) ? reply.value : 0;
}

}  // namespace vantel::user
