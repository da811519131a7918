// WSAStartup and WSACleanup, the per-thread last error, and the start-up rule every call follows.

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/ws2/api.h"
#include "platform/ws2/errors.h"
#include "platform/ws2/exports.h"
#include "platform/ws2/sys.h"

namespace ws2 {
namespace {

constexpr WORD kHighestVersion = MAKEWORD(2, 2);
// Windows answers iMaxSockets and iMaxUdpDg with these for its 1.1 callers; the datagram limit
// here is IPv4's largest UDP payload.
constexpr unsigned short kMaxSockets = 32767;
constexpr unsigned short kMaxDatagram = 65507;

std::atomic<int> g_users{0};

// Serialises the counting so that the last WSACleanup's shutdown is not raced by a WSAStartup.
std::mutex& startupLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

// The version a request negotiates to: the request itself when offered (1.0, 1.1, 2.0, 2.1,
// 2.2), the highest minor of its major when the minor is unknown, 2.2 above that; 0 below 1.0.
WORD negotiate(WORD requested) {
    unsigned major = LOBYTE(requested);
    unsigned minor = HIBYTE(requested);
    if (major == 0) return 0;
    if (major == 1) return MAKEWORD(1, minor > 1 ? 1 : minor);
    if (major == 2 && minor <= 2) return requested;
    return kHighestVersion;
}

void fillStartupData(WORD version, WSADATA* data) {
    std::memset(data, 0, sizeof *data);
    data->wVersion = version;
    data->wHighVersion = kHighestVersion;
    std::strcpy(data->szDescription, "WinSock 2.0");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = kMaxSockets;
    data->iMaxUdpDg = kMaxDatagram;
    data->lpVendorInfo = nullptr;
}

// The last WSACleanup ends the library's work as Windows does: every socket is closed (a call
// still blocked on one is woken and fails), notifications stop, pending lookups reply no more.
void shutDownAll() {
    std::vector<SocketRef> all;
    {
        std::lock_guard<std::mutex> lock(tableLock());
        all = removeAllSockets();
        for (const SocketRef& entry : all) {
            watchStop(*entry);
            entry->closed = true;
            if (entry.use_count() > 1) sys::shutdownSocket(entry->fd, SD_BOTH);
        }
    }
    stopWatcher();
    cancelAllLookups();
}

}  // namespace

bool started() {
    return g_users.load() > 0;
}

bool requireStarted() {
    if (started()) return true;
    fail(WSANOTINITIALISED);
    return false;
}

SocketRef socketFor(SOCKET s) {
    if (!requireStarted()) return nullptr;
    std::lock_guard<std::mutex> lock(tableLock());
    SocketRef entry = findSocket(s);
    if (!entry) fail(WSAENOTSOCK);
    return entry;
}

}  // namespace ws2

using namespace ws2;

int wsWSAStartup(WORD versionRequested, LPWSADATA data) {
    // WSAStartup reports its failure as its result; the last error is not the way.
    WORD version = negotiate(versionRequested);
    if (version == 0) return WSAVERNOTSUPPORTED;
    if (!data) return WSAEFAULT;
    std::lock_guard<std::mutex> lock(startupLock());
    fillStartupData(version, data);
    ++g_users;
    return 0;
}

int wsWSACleanup() {
    std::lock_guard<std::mutex> lock(startupLock());
    if (g_users.load() == 0) return fail(WSANOTINITIALISED);
    if (--g_users == 0) shutDownAll();
    return 0;
}

void wsWSASetLastError(int error) {
    setLastError(error);
}

int wsWSAGetLastError() {
    return lastError();
}
