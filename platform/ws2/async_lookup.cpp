// The asynchronous database calls: WSAAsyncGetHostByName and its relatives, and
// WSACancelAsyncRequest.
//
// Each request runs its lookup on a thread of its own, then packs the result into the caller's
// buffer and posts the reply message: wParam the request handle, lParam the size the result
// needs in its low word and the error number in its high word (WSAENOBUFS with the size needed
// when the buffer is too small). A request cancelled before its reply neither touches the buffer
// nor posts anything. The threads are detached: the library is never unloaded.

#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/ws2/api.h"
#include "platform/ws2/errors.h"
#include "platform/ws2/exports.h"
#include "platform/ws2/lookup.h"
#include "platform/ws2/pack.h"

namespace ws2 {
namespace {

// A request's lookup: it fills the record it captured and returns 0 or an error number; its
// packer then lays that record into a buffer (see pack.h).
struct Job {
    std::function<int()> resolve;
    std::function<size_t(char*, size_t)> pack;
};

struct Request {
    HWND window;
    UINT message;
    char* buffer;
    size_t size;
};

class Requests {
  public:
    uint64_t add(const Request& request) {
        std::lock_guard<std::mutex> lock(m_lock);
        uint64_t id = m_nextId++;
        m_pending[id] = request;
        return id;
    }

    // Packs and posts the reply unless the request was cancelled meanwhile.
    void complete(uint64_t id, int error, const Job& job) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_pending.find(id);
        if (it == m_pending.end()) return;
        Request request = it->second;
        m_pending.erase(it);
        size_t needed = 0;
        if (error == 0) {
            needed = job.pack(nullptr, 0);
            if (needed > request.size) {
                error = WSAENOBUFS;
            } else {
                job.pack(request.buffer, request.size);
            }
        }
        unsigned reported = needed > 0xFFFF ? 0xFFFF : static_cast<unsigned>(needed);
        PostMessageA(request.window, request.message, static_cast<WPARAM>(id),
                     WSAMAKEASYNCREPLY(error == 0 || error == WSAENOBUFS ? reported : 0, error));
    }

    // 0, or WSAEALREADY for a request that already replied, WSAEINVAL for no request at all.
    int cancel(uint64_t id) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_pending.erase(id) == 1) return 0;
        return id > 0 && id < m_nextId ? WSAEALREADY : WSAEINVAL;
    }

    void cancelAll() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending.clear();
    }

  private:
    std::mutex m_lock;
    std::unordered_map<uint64_t, Request> m_pending;
    uint64_t m_nextId = 1;
};

Requests& requests() {
    // Never destroyed: detached lookup threads may finish while the process exits.
    static auto* all = new Requests();
    return *all;
}

HANDLE start(HWND hwnd, u_int msg, char* buf, int buflen, Job job) {
    if (!requireStarted()) return nullptr;
    if (!buf || buflen <= 0) {
        fail(WSAEFAULT);
        return nullptr;
    }
    uint64_t id = requests().add({hwnd, msg, buf, static_cast<size_t>(buflen)});
    std::thread([id, job = std::move(job)] {
        int error = job.resolve();
        requests().complete(id, error, job);
    }).detach();
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(id));
}

template <typename Record, typename Lookup>
Job jobFor(Lookup lookupCall, size_t (*pack)(const Record&, char*, size_t)) {
    auto record = std::make_shared<Record>();
    return {[record, lookupCall] { return lookupCall(record.get()); },
            [record, pack](char* buffer, size_t size) { return pack(*record, buffer, size); }};
}

}  // namespace

void cancelAllLookups() {
    requests().cancelAll();
}

}  // namespace ws2

using namespace ws2;

HANDLE wsWSAAsyncGetHostByName(HWND hwnd, u_int msg, const char* name, char* buf, int buflen) {
    std::string wanted = name ? name : "";
    return start(
        hwnd, msg, buf, buflen,
        jobFor<lookup::HostRecord>(
            [wanted](lookup::HostRecord* r) { return lookup::hostByName(wanted, r); }, packHost));
}

HANDLE wsWSAAsyncGetHostByAddr(HWND hwnd, u_int msg, const char* addr, int len, int type, char* buf,
                               int buflen) {
    if (!requireStarted()) return nullptr;
    if (!addr || len < 4) {
        fail(WSAEFAULT);
        return nullptr;
    }
    if (type != AF_INET) {
        fail(WSAEAFNOSUPPORT);
        return nullptr;
    }
    uint32_t address;
    std::memcpy(&address, addr, sizeof address);
    return start(hwnd, msg, buf, buflen,
                 jobFor<lookup::HostRecord>(
                     [address](lookup::HostRecord* r) { return lookup::hostByAddress(address, r); },
                     packHost));
}

HANDLE wsWSAAsyncGetServByName(HWND hwnd, u_int msg, const char* name, const char* proto, char* buf,
                               int buflen) {
    if (name == nullptr) {
        if (requireStarted()) fail(WSAEFAULT);
        return nullptr;
    }
    std::string service = name;
    std::string protocol = proto ? proto : "";
    return start(hwnd, msg, buf, buflen,
                 jobFor<lookup::ServiceRecord>(
                     [service, protocol](lookup::ServiceRecord* r) {
                         return lookup::serviceByName(service, protocol, r);
                     },
                     packService));
}

HANDLE wsWSAAsyncGetServByPort(HWND hwnd, u_int msg, int port, const char* proto, char* buf,
                               int buflen) {
    std::string protocol = proto ? proto : "";
    auto netPort = static_cast<uint16_t>(port);
    return start(hwnd, msg, buf, buflen,
                 jobFor<lookup::ServiceRecord>(
                     [netPort, protocol](lookup::ServiceRecord* r) {
                         return lookup::serviceByPort(netPort, protocol, r);
                     },
                     packService));
}

HANDLE wsWSAAsyncGetProtoByName(HWND hwnd, u_int msg, const char* name, char* buf, int buflen) {
    if (name == nullptr) {
        if (requireStarted()) fail(WSAEFAULT);
        return nullptr;
    }
    std::string protocol = name;
    return start(
        hwnd, msg, buf, buflen,
        jobFor<lookup::ProtocolRecord>(
            [protocol](lookup::ProtocolRecord* r) { return lookup::protocolByName(protocol, r); },
            packProtocol));
}

HANDLE wsWSAAsyncGetProtoByNumber(HWND hwnd, u_int msg, int number, char* buf, int buflen) {
    return start(
        hwnd, msg, buf, buflen,
        jobFor<lookup::ProtocolRecord>(
            [number](lookup::ProtocolRecord* r) { return lookup::protocolByNumber(number, r); },
            packProtocol));
}

int wsWSACancelAsyncRequest(HANDLE request) {
    if (!requireStarted()) return SOCKET_ERROR;
    int error = requests().cancel(reinterpret_cast<uintptr_t>(request));
    return error == 0 ? 0 : fail(error);
}
