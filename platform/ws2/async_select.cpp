// WSAAsyncSelect: network events of sockets posted as window messages, from one watcher thread.
//
// The watcher waits on an epoll set in which each registered socket is armed one-shot with the
// conditions of the events it may post now. Posting an event clears its enabled bit; the
// re-enabling calls set it again and re-arm, and since the set is level-triggered a condition
// that still holds is reported at once, which gives Windows' rules:
//  - FD_READ: one message until recv or recvfrom is called, then another if data remains
//    (posted by the receive itself when it can see data left);
//  - FD_OOB: likewise, re-enabled by a receive of out-of-band data;
//  - FD_ACCEPT: one message until accept or WSAAccept is called;
//  - FD_WRITE: once when the socket is connected (or registered while writable), then only after
//    a send failed with WSAEWOULDBLOCK, when room frees up;
//  - FD_CONNECT: once per connect, with the error number when it failed;
//  - FD_CLOSE: once, when the peer closed or reset the connection and the data before it has
//    been read (the error number of a reset comes with it).
// The socket table's lock guards all of it; messages are posted under it, so no message is posted
// for a registration after WSAAsyncSelect cancelled it.

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <unordered_map>

#include "platform/ws2/api.h"
#include "platform/ws2/errors.h"
#include "platform/ws2/exports.h"
#include "platform/ws2/sys.h"

namespace ws2 {
namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr uint64_t kWakeId = 0;

void post(SOCKET s, const AsyncSelection& a, long event, int error) {
    PostMessageA(a.window, a.message, static_cast<WPARAM>(s),
                 WSAMAKESELECTREPLY(static_cast<unsigned>(event), static_cast<unsigned>(error)));
}

bool enabled(const AsyncSelection& a, long event) {
    return (a.events & event) && (a.enabled & event);
}

int bytesWaiting(const SocketEntry& entry) {
    int count = 0;
    return sys::bytesAvailable(entry.fd, &count) == 0 ? count : 0;
}

// The epoll conditions a registered entry waits for in its present state; 0 to wait for nothing.
uint32_t interestOf(const SocketEntry& entry) {
    const AsyncSelection& a = *entry.async;
    switch (entry.state) {
        case SocketState::Fresh:
        case SocketState::ConnectFailed:
            return 0;
        case SocketState::Connecting:
            return EPOLLOUT;
        case SocketState::Listening:
            return enabled(a, FD_ACCEPT) ? uint32_t{EPOLLIN} : 0u;
        case SocketState::Datagram: {
            uint32_t interest = enabled(a, FD_READ) ? uint32_t{EPOLLIN} : 0u;
            if (a.writeArmed && (a.events & FD_WRITE)) interest |= EPOLLOUT;
            return interest;
        }
        case SocketState::Connected:
            break;
    }
    bool readRegistered = a.events & FD_READ;
    bool readEnabled = enabled(a, FD_READ);
    bool closeOwed = (a.events & FD_CLOSE) && !a.closeDelivered;
    // While an FD_READ waits for its recv, input is not watched: FD_CLOSE follows the data.
    bool input = readEnabled || (closeOwed && !readRegistered);
    // After the peer's close only data still queued can make a condition true.
    if (a.peerClosed && !closeOwed) input = readEnabled && bytesWaiting(entry) > 0;
    uint32_t interest = input ? uint32_t{EPOLLIN | EPOLLRDHUP} : 0u;
    if (a.writeArmed && (a.events & FD_WRITE)) interest |= EPOLLOUT;
    if (enabled(a, FD_OOB) && !a.peerClosed) interest |= EPOLLPRI;
    return interest;
}

class Watcher {
  public:
    // Starts the thread on first use; false when the system refuses.
    bool ensureRunning() {
        if (m_thread.joinable()) return true;
        m_epoll = epoll_create1(EPOLL_CLOEXEC);
        m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_epoll < 0 || m_wake < 0) {
            closeAll();
            return false;
        }
        epoll_event wake{};
        wake.events = EPOLLIN;
        wake.data.u64 = kWakeId;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &wake);
        m_stopping = false;
        m_thread = std::thread([this] { run(); });
        return true;
    }

    uint64_t attach(SOCKET s) {
        uint64_t id = m_nextId++;
        m_sockets[id] = s;
        return id;
    }

    void arm(SocketEntry& entry, uint32_t interest) {
        AsyncSelection& a = *entry.async;
        if (interest == 0) {
            if (a.watched) epoll_ctl(m_epoll, EPOLL_CTL_DEL, entry.fd, nullptr);
            a.watched = false;
            a.armed = 0;
            return;
        }
        // Still armed for the same conditions: a condition that holds is reported anyway, and
        // a reader that works by events saves a system call per receive.
        if (a.watched && a.armed == interest) return;
        epoll_event event{};
        event.events = interest | EPOLLONESHOT;
        event.data.u64 = a.watchId;
        if (epoll_ctl(m_epoll, a.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, entry.fd, &event) == 0) {
            a.watched = true;
            a.armed = interest;
        }
    }

    void detach(SocketEntry& entry) {
        AsyncSelection& a = *entry.async;
        if (a.watched) epoll_ctl(m_epoll, EPOLL_CTL_DEL, entry.fd, nullptr);
        m_sockets.erase(a.watchId);
    }

    // Ends the thread; the table lock must not be held, as the thread takes it.
    void stop() {
        {
            Lock lock(tableLock());
            if (!m_thread.joinable()) return;
            m_stopping = true;
            uint64_t one = 1;
            [[maybe_unused]] ssize_t r = write(m_wake, &one, sizeof one);
        }
        m_thread.join();
        Lock lock(tableLock());
        closeAll();
        m_sockets.clear();
    }

  private:
    void closeAll() {
        if (m_epoll >= 0) close(m_epoll);
        if (m_wake >= 0) close(m_wake);
        m_epoll = m_wake = -1;
    }

    void run();

    int m_epoll = -1;
    int m_wake = -1;
    bool m_stopping = false;
    std::thread m_thread;
    std::unordered_map<uint64_t, SOCKET> m_sockets;
    uint64_t m_nextId = kWakeId + 1;
};

Watcher& watcher() {
    // Never destroyed: its thread may still run while the process exits.
    static auto* instance = new Watcher();
    return *instance;
}

// Handles what epoll reported for a Connected stream socket.
void handleConnected(SOCKET s, SocketEntry& entry, uint32_t events) {
    AsyncSelection& a = *entry.async;
    bool trouble = events & (EPOLLHUP | EPOLLERR);
    if (trouble) a.hungUp = true;
    if (trouble || (events & EPOLLRDHUP)) a.peerClosed = true;
    int waiting = ((events & (EPOLLIN | EPOLLRDHUP)) || trouble) ? bytesWaiting(entry) : 0;
    bool closeOwed = (a.events & FD_CLOSE) && !a.closeDelivered;
    if (enabled(a, FD_READ) && waiting > 0) {
        a.enabled &= ~FD_READ;
        post(s, a, FD_READ, 0);
    } else if (closeOwed && a.peerClosed && (waiting == 0 || !(a.events & FD_READ))) {
        int error = 0;
        if (events & EPOLLERR) {
            sys::takeSocketError(entry.fd, &error);
            entry.pendingError = error;
        }
        a.closeDelivered = true;
        post(s, a, FD_CLOSE, wsaErrorFromErrno(error));
    }
    // A dead connection answers FD_WRITE at once: the send that follows reports why.
    if (a.writeArmed && (a.events & FD_WRITE) && ((events & EPOLLOUT) || a.hungUp)) {
        a.writeArmed = false;
        post(s, a, FD_WRITE, 0);
    }
    if ((events & EPOLLPRI) && enabled(a, FD_OOB)) {
        a.enabled &= ~FD_OOB;
        // With SO_OOBINLINE the urgent byte is ordinary data, announced by FD_READ.
        int inlineOob = 0;
        sys::getIntOption(entry.fd, sys::Option::OobInline, &inlineOob);
        if (!inlineOob) post(s, a, FD_OOB, 0);
    }
}

void handleEvents(SOCKET s, SocketEntry& entry, uint32_t events) {
    AsyncSelection& a = *entry.async;
    switch (entry.state) {
        case SocketState::Connecting:
            settleConnect(s, entry, static_cast<short>(events));
            break;
        case SocketState::Listening:
            // An accept may have emptied the queue since epoll looked; ask again before posting.
            if ((events & EPOLLIN) && enabled(a, FD_ACCEPT)) {
                pollfd item{entry.fd, POLLIN, 0};
                if (poll(&item, 1, 0) > 0 && (item.revents & POLLIN)) {
                    a.enabled &= ~FD_ACCEPT;
                    post(s, a, FD_ACCEPT, 0);
                }
            }
            break;
        case SocketState::Datagram:
            if (events & EPOLLERR) {
                // A pending error (an ICMP report about an earlier datagram) would wake the
                // watcher over and over; it is taken off the socket here.
                int error = 0;
                sys::takeSocketError(entry.fd, &error);
            }
            if ((events & EPOLLIN) && enabled(a, FD_READ)) {
                a.enabled &= ~FD_READ;
                post(s, a, FD_READ, 0);
            }
            if ((events & EPOLLOUT) && a.writeArmed && (a.events & FD_WRITE)) {
                a.writeArmed = false;
                post(s, a, FD_WRITE, 0);
            }
            break;
        case SocketState::Connected:
            handleConnected(s, entry, events);
            break;
        case SocketState::Fresh:
        case SocketState::ConnectFailed:
            break;
    }
    if (entry.async) watchUpdate(s, entry);
}

void Watcher::run() {
    epoll_event events[32];
    for (;;) {
        int n = epoll_wait(m_epoll, events, 32, -1);
        if (n < 0 && errno == EINTR) continue;
        Lock lock(tableLock());
        if (n < 0 || m_stopping) return;
        for (int i = 0; i < n; ++i) {
            uint64_t id = events[i].data.u64;
            auto it = m_sockets.find(id);
            if (id == kWakeId || it == m_sockets.end()) continue;
            SocketRef entry = findSocket(it->second);
            // The registration may have been replaced or cancelled since epoll reported.
            if (!entry || !entry->async || entry->async->watchId != id) continue;
            entry->async->armed = 0;  // one-shot: the report disarmed it
            handleEvents(it->second, *entry, events[i].events);
        }
    }
}

}  // namespace

void watchUpdate(SOCKET s, SocketEntry& entry) {
    if (!entry.async) return;
    AsyncSelection& a = *entry.async;
    // What is known without the kernel goes out at once.
    if (entry.connectOwed && entry.state != SocketState::Connecting) {
        entry.connectOwed = false;
        bool failed = entry.state != SocketState::Connected;
        if (a.events & FD_CONNECT) {
            post(s, a, FD_CONNECT, failed ? wsaErrorFromErrno(entry.connectError) : 0);
        }
        if (!failed) a.writeArmed = true;
    }
    if (entry.state == SocketState::Listening && !entry.deferred.empty() && enabled(a, FD_ACCEPT)) {
        a.enabled &= ~FD_ACCEPT;
        post(s, a, FD_ACCEPT, 0);
    }
    watcher().arm(entry, interestOf(entry));
}

void reenable(SOCKET s, SocketEntry& entry, long events) {
    if (!entry.async) return;
    AsyncSelection& a = *entry.async;
    a.enabled |= events & a.events;
    // A receive that left data owes the next FD_READ at once: posting it here, on the caller's
    // thread, spares a reader that works by events the watcher's round trip per receive.
    bool receiving = entry.state == SocketState::Connected || entry.state == SocketState::Datagram;
    if ((events & FD_READ) && receiving && enabled(a, FD_READ) && bytesWaiting(entry) > 0) {
        a.enabled &= ~FD_READ;
        post(s, a, FD_READ, 0);
    }
    watchUpdate(s, entry);
}

void watchStop(SocketEntry& entry) {
    if (!entry.async) return;
    watcher().detach(entry);
    entry.async.reset();
}

bool watchStart(SOCKET s, SocketEntry& entry, HWND window, UINT message, long events) {
    watchStop(entry);
    if (!watcher().ensureRunning()) return false;
    AsyncSelection selection;
    selection.window = window;
    selection.message = message;
    selection.events = events;
    selection.enabled = events;
    // A socket that can send already owes its FD_WRITE.
    selection.writeArmed =
        entry.state == SocketState::Connected || entry.state == SocketState::Datagram;
    selection.watchId = watcher().attach(s);
    entry.async = selection;
    watchUpdate(s, entry);
    return true;
}

void stopWatcher() {
    watcher().stop();
}

}  // namespace ws2

using namespace ws2;

int wsWSAAsyncSelect(SOCKET s, HWND hwnd, u_int msg, long events) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (events & ~FD_ALL_EVENTS) return fail(WSAEINVAL);
    if (events != 0 && !IsWindow(hwnd)) return fail(WSAEINVAL);
    // The socket becomes non-blocking whatever the events, as on Windows.
    if (sys::setNonBlocking(entry->fd, true) != 0) return failFromErrno();
    Lock lock(tableLock());
    entry->nonBlocking = true;
    if (events == 0) {
        watchStop(*entry);
        return 0;
    }
    return watchStart(s, *entry, hwnd, msg, events) ? 0 : fail(WSAENOBUFS);
}
