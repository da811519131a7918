// Socket lifetime and data transfer: socket, bind, connect, listen, accept, WSAAccept, send,
// sendto, recv, recvfrom, shutdown, closesocket, getsockname and getpeername.

#include <cerrno>
#include <cstring>

#include "platform/ws2/api.h"
#include "platform/ws2/errors.h"
#include "platform/ws2/exports.h"
#include "platform/ws2/sys.h"

namespace ws2 {
namespace {

constexpr int kAddressSize = sys::kAddressSize;
static_assert(sizeof(sockaddr_in) == kAddressSize, "Winsock's IPv4 address form is 16 bytes");
static_assert(sizeof(sockaddr) == kAddressSize, "Winsock's generic address form is 16 bytes");

using Lock = std::lock_guard<std::mutex>;

SOCKET failSocket(int error) {
    fail(error);
    return INVALID_SOCKET;
}

// An address the caller passes in: 0, or WSAEFAULT when it is missing or short, WSAEAFNOSUPPORT
// when it is not IPv4.
int checkAddress(const sockaddr* name, int namelen) {
    if (!name || namelen < kAddressSize) return WSAEFAULT;
    if (name->sa_family != AF_INET) return WSAEAFNOSUPPORT;
    return 0;
}

// Room for an address the call hands back.
bool roomForAddress(const sockaddr* name, const int* namelen) {
    return name && namelen && *namelen >= kAddressSize;
}

sockaddr_in inetAddress(const sockaddr* name) {
    sockaddr_in address;
    std::memcpy(&address, name, sizeof address);
    return address;
}

void giveAddress(const void* address, sockaddr* name, int* namelen) {
    std::memcpy(name, address, kAddressSize);
    *namelen = kAddressSize;
}

// Failures of a connect that only say how the attempt ended, not that it could not start.
bool isConnectOutcome(int error) {
    return error == ECONNREFUSED || error == ETIMEDOUT || error == ENETUNREACH ||
           error == EHOSTUNREACH;
}

bool isStream(const SocketEntry& entry) {
    return entry.type == SOCK_STREAM;
}

// The connection that WSAAccept's condition function rejected is reset, as a refused one is.
void resetConnection(int fd) {
    sys::setLinger(fd, true, 0);
    sys::closeDescriptor(fd);
}

SOCKET acceptConnection(SOCKET s, sockaddr* addr, int* addrlen, LPCONDITIONPROC condition,
                        DWORD_PTR callbackData) {
    SocketRef listener = socketFor(s);
    if (!listener) return INVALID_SOCKET;
    if (addr && !roomForAddress(addr, addrlen)) return failSocket(WSAEFAULT);

    DeferredConnection incoming;
    bool nonBlocking = false;
    {
        Lock lock(tableLock());
        if (listener->state != SocketState::Listening) return failSocket(WSAEINVAL);
        nonBlocking = listener->nonBlocking;
        if (!listener->deferred.empty()) {
            incoming = listener->deferred.front();
            listener->deferred.pop_front();
        }
    }
    if (incoming.fd < 0) {
        int size = kAddressSize;
        incoming.fd = sys::acceptSocket(listener->fd, incoming.address, &size, nonBlocking);
        if (incoming.fd < 0) {
            int error = errno;
            Lock lock(tableLock());
            reenable(s, *listener, FD_ACCEPT);
            return failSocket(listener->closed ? WSAEINTR : wsaErrorFromErrno(error));
        }
    }

    if (condition) {
        // The condition function may call back into the library, so it runs without the lock.
        sockaddr_in local{};
        int localSize = kAddressSize;
        sys::localAddress(listener->fd, &local, &localSize);
        WSABUF callerId{kAddressSize, reinterpret_cast<char*>(incoming.address)};
        WSABUF calleeId{kAddressSize, reinterpret_cast<char*>(&local)};
        GROUP group = 0;
        int verdict = condition(&callerId, nullptr, nullptr, nullptr, &calleeId, nullptr, &group,
                                callbackData);
        if (verdict != CF_ACCEPT) {
            Lock lock(tableLock());
            int error = verdict == CF_DEFER ? WSATRY_AGAIN
                                            : (verdict == CF_REJECT ? WSAECONNREFUSED : WSAEINVAL);
            if (verdict == CF_DEFER && !listener->closed) {
                // The connection waits at the head of the queue for the next accept.
                listener->deferred.push_front(incoming);
            } else {
                resetConnection(incoming.fd);
            }
            reenable(s, *listener, FD_ACCEPT);
            return failSocket(listener->closed ? WSAEINTR : error);
        }
    }

    // The connection takes the listener's mode and WSAAsyncSelect registration, as on Windows.
    sys::setNonBlocking(incoming.fd, nonBlocking);
    auto entry = std::make_shared<SocketEntry>(incoming.fd, SOCK_STREAM);
    entry->state = SocketState::Connected;
    entry->nonBlocking = nonBlocking;
    SOCKET accepted = static_cast<SOCKET>(incoming.fd);
    {
        Lock lock(tableLock());
        insertSocket(entry);
        if (listener->async) {
            const AsyncSelection& from = *listener->async;
            watchStart(accepted, *entry, from.window, from.message, from.events);
        }
        reenable(s, *listener, FD_ACCEPT);
    }
    if (addr) giveAddress(incoming.address, addr, addrlen);
    return accepted;
}

int sendOn(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen,
           bool addressed) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (len < 0 || (!buf && len > 0)) return fail(WSAEFAULT);
    if (flags & ~(MSG_OOB | MSG_DONTROUTE | MSG_WS2_NOWAIT)) return fail(WSAEOPNOTSUPP);
    bool stream = isStream(*entry);
    {
        Lock lock(tableLock());
        if (stream && entry->state != SocketState::Connected) return fail(WSAENOTCONN);
        if (entry->sendShutDown) return fail(WSAESHUTDOWN);
    }
    // A stream socket ignores the destination, as Windows does.
    sockaddr_in target{};
    bool toTarget = addressed && to && !stream;
    if (toTarget) {
        if (int error = checkAddress(to, tolen)) return fail(error);
        target = inetAddress(to);
        if (target.sin_addr.s_addr == INADDR_ANY || target.sin_port == 0) {
            return fail(WSAEADDRNOTAVAIL);
        }
    }
    long sent = sys::sendData(entry->fd, buf, static_cast<size_t>(len), flags,
                              toTarget ? &target : nullptr, toTarget ? kAddressSize : 0);
    if (sent >= 0) return static_cast<int>(sent);

    int error = errno;
    // Asked not to wait, a full socket owes nothing: the caller waits for room itself.
    if (error == EAGAIN && (flags & MSG_WS2_NOWAIT)) return fail(WSAEWOULDBLOCK);
    Lock lock(tableLock());
    if (error == EAGAIN && entry->async) {
        // A send that would block owes the owner an FD_WRITE when room frees up.
        entry->async->writeArmed = true;
        watchUpdate(s, *entry);
    }
    if (entry->closed) return fail(WSAEINTR);
    if (error == EPIPE && entry->sendShutDown) return fail(WSAESHUTDOWN);
    if (error == EDESTADDRREQ && !addressed) return fail(WSAENOTCONN);
    return fail(wsaErrorFromErrno(error));
}

int receiveOn(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (len < 0 || (!buf && len > 0)) return fail(WSAEFAULT);
    if (flags & ~(MSG_OOB | MSG_PEEK | MSG_WAITALL | MSG_WS2_NOWAIT)) return fail(WSAEOPNOTSUPP);
    bool stream = isStream(*entry);
    if (from && !stream && !roomForAddress(from, fromlen)) return fail(WSAEFAULT);
    {
        Lock lock(tableLock());
        if (stream && entry->state != SocketState::Connected) return fail(WSAENOTCONN);
    }
    sockaddr_in sender{};
    int senderSize = kAddressSize;
    bool truncated = false;
    long received =
        sys::receiveData(entry->fd, buf, static_cast<size_t>(len), flags,
                         stream ? nullptr : &sender, &senderSize, stream ? nullptr : &truncated);
    int error = errno;
    // Asked not to wait, finding nothing changes nothing: the caller waits and receives again.
    if (received < 0 && error == EAGAIN && (flags & MSG_WS2_NOWAIT)) return fail(WSAEWOULDBLOCK);
    {
        Lock lock(tableLock());
        // Receiving re-enables FD_READ (FD_OOB for out-of-band data), whatever comes of it.
        reenable(s, *entry, (flags & MSG_OOB) ? FD_OOB : FD_READ);
        if (entry->closed && received <= 0) return fail(WSAEINTR);
    }
    if (received < 0) return fail(wsaErrorFromErrno(error));
    if (from && !stream) giveAddress(&sender, from, fromlen);
    // Windows fills the buffer with the head of a datagram that did not fit and fails the call.
    if (truncated) return fail(WSAEMSGSIZE);
    return static_cast<int>(received);
}

}  // namespace

}  // namespace ws2

using namespace ws2;

SOCKET wsSocket(int af, int type, int protocol) {
    if (!requireStarted()) return INVALID_SOCKET;
    if (af != AF_INET) return failSocket(WSAEAFNOSUPPORT);
    if (type != SOCK_STREAM && type != SOCK_DGRAM && type != SOCK_RAW) {
        return failSocket(WSAESOCKTNOSUPPORT);
    }
    // IPv4's family, type and protocol numbers are the same in both views.
    int fd = sys::openSocket(af, type, protocol);
    if (fd < 0) return failSocket(wsaErrorFromErrno(errno));
    auto entry = std::make_shared<SocketEntry>(fd, type);
    Lock lock(tableLock());
    insertSocket(entry);
    return static_cast<SOCKET>(fd);
}

int wsBind(SOCKET s, const sockaddr* name, int namelen) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (int error = checkAddress(name, namelen)) return fail(error);
    sockaddr_in address = inetAddress(name);
    if (sys::bindSocket(entry->fd, &address, kAddressSize) != 0) return failFromErrno();
    return 0;
}

int wsConnect(SOCKET s, const sockaddr* name, int namelen) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (int error = checkAddress(name, namelen)) return fail(error);
    sockaddr_in address = inetAddress(name);
    bool stream = isStream(*entry);
    if (stream && (address.sin_addr.s_addr == INADDR_ANY || address.sin_port == 0)) {
        return fail(WSAEADDRNOTAVAIL);
    }
    bool nonBlocking = false;
    {
        Lock lock(tableLock());
        if (entry->state == SocketState::Listening) return fail(WSAEINVAL);
        if (entry->state == SocketState::Connected) return fail(WSAEISCONN);
        if (entry->state == SocketState::Connecting) return fail(WSAEALREADY);
        nonBlocking = entry->nonBlocking;
    }
    int r = sys::connectSocket(entry->fd, &address, kAddressSize);
    int error = r == 0 ? 0 : errno;

    Lock lock(tableLock());
    if (entry->closed) return fail(WSAEINTR);
    if (!stream) return r == 0 ? 0 : fail(wsaErrorFromErrno(error));
    entry->connectError = 0;
    entry->pendingError = 0;
    // FD_CONNECT is owed for a connect whose outcome the owner learns by notification: one
    // under way, or one that settled at once on a socket already under WSAAsyncSelect.
    bool registered = entry->async.has_value();
    if (r == 0 || error == EISCONN) {
        entry->state = SocketState::Connected;
        entry->connectOwed = r == 0 && registered;
        watchUpdate(s, *entry);
        return r == 0 ? 0 : fail(WSAEISCONN);
    }
    if (error == EINPROGRESS || error == EINTR) {
        entry->state = SocketState::Connecting;
        entry->connectOwed = true;
        watchUpdate(s, *entry);
        return fail(wsaErrorFromErrno(error));
    }
    if (nonBlocking && isConnectOutcome(error)) {
        // Windows never fails a non-blocking connect with its outcome: the call would block, and
        // select's exception set, SO_ERROR and FD_CONNECT report the failure afterwards.
        entry->state = SocketState::ConnectFailed;
        entry->connectError = error;
        entry->pendingError = error;
        entry->connectOwed = registered;
        watchUpdate(s, *entry);
        return fail(WSAEWOULDBLOCK);
    }
    entry->state = SocketState::Fresh;
    return fail(wsaErrorFromErrno(error));
}

int wsListen(SOCKET s, int backlog) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (!isStream(*entry)) return fail(WSAEOPNOTSUPP);
    {
        Lock lock(tableLock());
        if (entry->state == SocketState::Connected || entry->state == SocketState::Connecting) {
            return fail(WSAEISCONN);
        }
    }
    // Windows listens only on a bound socket (Linux would bind one on its own).
    sockaddr_in local{};
    int size = kAddressSize;
    if (sys::localAddress(entry->fd, &local, &size) == 0 && local.sin_port == 0) {
        return fail(WSAEINVAL);
    }
    if (sys::listenSocket(entry->fd, backlog < 0 ? 0 : backlog) != 0) return failFromErrno();
    Lock lock(tableLock());
    entry->state = SocketState::Listening;
    watchUpdate(s, *entry);
    return 0;
}

SOCKET wsAccept(SOCKET s, sockaddr* addr, int* addrlen) {
    return acceptConnection(s, addr, addrlen, nullptr, 0);
}

SOCKET wsWSAAccept(SOCKET s, sockaddr* addr, int* addrlen, LPCONDITIONPROC condition,
                   DWORD_PTR callbackData) {
    return acceptConnection(s, addr, addrlen, condition, callbackData);
}

int wsClosesocket(SOCKET s) {
    if (!requireStarted()) return SOCKET_ERROR;
    SocketRef entry;
    {
        Lock lock(tableLock());
        entry = removeSocket(s);
        if (!entry) return fail(WSAENOTSOCK);
        watchStop(*entry);
        entry->closed = true;
        // A call still blocked on the socket is woken, as closesocket wakes it on Windows; the
        // descriptor is closed when the last such call lets go of the entry.
        if (entry.use_count() > 1) sys::shutdownSocket(entry->fd, SD_BOTH);
    }
    // Dropped outside the lock: closing a lingering socket may wait for its data to drain.
    entry.reset();
    return 0;
}

int wsSend(SOCKET s, const char* buf, int len, int flags) {
    return sendOn(s, buf, len, flags, nullptr, 0, false);
}

int wsSendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
    return sendOn(s, buf, len, flags, to, tolen, true);
}

int wsRecv(SOCKET s, char* buf, int len, int flags) {
    return receiveOn(s, buf, len, flags, nullptr, nullptr);
}

int wsRecvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) {
    return receiveOn(s, buf, len, flags, from, fromlen);
}

int wsShutdown(SOCKET s, int how) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (how < SD_RECEIVE || how > SD_BOTH) return fail(WSAEINVAL);
    {
        Lock lock(tableLock());
        if (isStream(*entry) && entry->state != SocketState::Connected) return fail(WSAENOTCONN);
    }
    // SD_RECEIVE, SD_SEND and SD_BOTH are the kernel's numbers as well.
    if (sys::shutdownSocket(entry->fd, how) != 0) return failFromErrno();
    if (how != SD_RECEIVE) {
        Lock lock(tableLock());
        entry->sendShutDown = true;
    }
    return 0;
}

int wsGetsockname(SOCKET s, sockaddr* name, int* namelen) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (!roomForAddress(name, namelen)) return fail(WSAEFAULT);
    sockaddr_in local{};
    int size = kAddressSize;
    if (sys::localAddress(entry->fd, &local, &size) != 0) return failFromErrno();
    // A socket that was never bound has no name on Windows.
    if (local.sin_port == 0 && local.sin_addr.s_addr == INADDR_ANY) return fail(WSAEINVAL);
    giveAddress(&local, name, namelen);
    return 0;
}

int wsGetpeername(SOCKET s, sockaddr* name, int* namelen) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (!roomForAddress(name, namelen)) return fail(WSAEFAULT);
    sockaddr_in peer{};
    int size = kAddressSize;
    if (sys::peerAddress(entry->fd, &peer, &size) != 0) return failFromErrno();
    giveAddress(&peer, name, namelen);
    return 0;
}
