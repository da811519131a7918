#pragma once
// The library's table of the sockets it created, and what it knows about each beyond the kernel:
// its connection state as Winsock reports it, connections that WSAAccept deferred, and the
// WSAAsyncSelect registration with the re-enabling state of each network event.
//
// A SOCKET is the socket's file descriptor. Only descriptors in the table are sockets to the
// library, so a stray number never reaches the kernel (WSAENOTSOCK instead). One lock guards the
// table and every entry's fields. A call holds a SocketRef while it works; the descriptor is
// closed when the entry has left the table and the last call holding it has returned, so a
// descriptor number is never reused under a call that is still running.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/user/user.h"

namespace ws2 {

enum class SocketState {
    Fresh,          // a stream socket that is neither connected nor listening
    Connecting,     // a non-blocking connect is under way
    Connected,      // a stream socket with a peer
    ConnectFailed,  // the last connect failed; connectError holds why
    Listening,
    Datagram,  // datagram and raw sockets, connected or not
};

// A connection taken from the kernel while WSAAccept's condition function deferred it.
struct DeferredConnection {
    int fd = -1;
    unsigned char address[16] = {};
};

// A WSAAsyncSelect registration. `enabled` holds the events that may be posted now: posting one
// clears its bit and the re-enabling call (recv for FD_READ, accept for FD_ACCEPT, ...) sets it.
struct AsyncSelection {
    HWND window = nullptr;
    UINT message = 0;
    long events = 0;
    long enabled = 0;
    bool writeArmed = false;      // FD_WRITE is owed as soon as the socket is writable
    bool closeDelivered = false;  // FD_CLOSE goes out once
    bool peerClosed = false;      // the peer shut its side; no more data can arrive
    bool hungUp = false;          // the connection is gone in both directions
    uint64_t watchId = 0;         // identifies this registration to the watcher thread
    bool watched = false;         // the descriptor is in the watcher's epoll set
    uint32_t armed = 0;           // the conditions armed and not reported yet (0: none)
};

struct SocketEntry {
    SocketEntry(int fd, int type);
    ~SocketEntry();
    SocketEntry(const SocketEntry&) = delete;
    SocketEntry& operator=(const SocketEntry&) = delete;

    const int fd;
    const int type;  // SOCK_STREAM, SOCK_DGRAM or SOCK_RAW (the same numbers in both views)
    SocketState state;
    bool nonBlocking = false;
    bool sendShutDown = false;
    bool closed = false;       // closesocket removed it while a call was still using it
    int connectError = 0;      // errno of the failed connect, reported by select and FD_CONNECT
    int pendingError = 0;      // errno that the next SO_ERROR read answers before the kernel's
    bool connectOwed = false;  // a connect was started whose FD_CONNECT has not been posted
    std::deque<DeferredConnection> deferred;
    std::optional<AsyncSelection> async;
};

using SocketRef = std::shared_ptr<SocketEntry>;

// The lock of the table and of every entry's fields.
std::mutex& tableLock();

// These expect the table lock held.
void insertSocket(const SocketRef& entry);
SocketRef findSocket(uintptr_t handle);
SocketRef removeSocket(uintptr_t handle);
std::vector<SocketRef> removeAllSockets();

}  // namespace ws2
