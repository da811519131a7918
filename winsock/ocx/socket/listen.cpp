// Listen, accept and reject: the listening socket and its record, the reserved-port search, the
// accepted connection's record with its options, watch and secure handshake.

#include "winsock/ocx/socket/listen.h"

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/secure_provider.h"
#include "winsock/ocx/socket/socket_options.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {
namespace {

bool bindTo(SOCKET s, uint32_t address, int32_t port) {
    NetworkLibrary& net = networkLibrary();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = address;
    local.sin_port = net.htons(static_cast<u_short>(port));
    if (net.bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) return true;
    return networkFailed();
}

// The highest reserved port that is free: a port in use or not assignable moves on to the next
// one down; any other failure (no right to bind there) ends the search at once.
bool bindReserved(SOCKET s, uint32_t address) {
    for (int32_t port = wrPortReserved - 1; port >= kLowestReservedPort; --port) {
        if (bindTo(s, address, port)) return true;
        uint32_t code = SocketErrorCode(SocketError());
        if (code != wrErrorAddressInUse && code != wrErrorAddressUnavailable) return false;
    }
    return false;
}

void readLocalEnd(SOCKET s, SocketRecord& record) {
    sockaddr_in local{};
    int size = sizeof local;
    NetworkLibrary& net = networkLibrary();
    if (net.getsockname(s, reinterpret_cast<sockaddr*>(&local), &size) == 0) {
        record.localAddress = local.sin_addr.s_addr;
        record.localPort = net.ntohs(local.sin_port);
    }
}

SocketRef listeningRecord(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return nullptr;
    if (!record->listening) return failedWith(wrErrorNotConnected), nullptr;
    return record;
}

// Takes the connection waiting on listener: its socket, non-blocking, with the peer's address.
// INVALID_SOCKET with the error in the slot.
SOCKET takeConnection(const SocketRecord& listener, sockaddr_in* peer) {
    NetworkLibrary& net = networkLibrary();
    int size = sizeof *peer;
    SOCKET s =
        net.accept(static_cast<SOCKET>(listener.handle), reinterpret_cast<sockaddr*>(peer), &size);
    if (s == INVALID_SOCKET) {
        networkFailure();
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    if (net.ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        networkFailure();
        uint32_t error = SocketError();
        net.closesocket(s);
        SetSocketError(error);
        return INVALID_SOCKET;
    }
    return s;
}

}  // namespace

bool listenSocket(const ListenRequest& request, int32_t* handle) {
    *handle = wrInvalidSocket;
    if (request.port < 0 || request.port > 65535) return failedWith(wrErrorInvalidServicePort);
    if (request.notifyWindow &&
        (!IsWindow(request.notifyWindow) || request.notifyMessage < WM_USER))
        return failedWith(wrErrorInvalidParameter);
    uint32_t address = INADDR_ANY;
    if (!request.address.empty() && !resolveHostAddress(request.address, &address)) return false;

    NetworkLibrary& net = networkLibrary();
    SOCKET s = net.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return networkFailed();
    auto record = std::make_shared<SocketRecord>();
    record->handle = static_cast<int32_t>(s);
    record->protocol = wrProtocolTcp;
    record->options = request.options & wrOptionReuseAddress;
    record->listening = true;
    record->status = wrStatusListen;
    addSocket(record);

    if (record->options & wrOptionReuseAddress) setSocketFlag(s, SOL_SOCKET, SO_REUSEADDR, true);
    bool bound = request.port == wrPortReserved ? bindReserved(s, address)
                                                : bindTo(s, address, request.port);
    if (!bound) return abandonRecord(record);
    if (net.listen(s, request.backlog == 0 ? SOMAXCONN : request.backlog) != 0) {
        networkFailure();
        return abandonRecord(record);
    }
    u_long nonBlocking = 1;
    if (net.ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        networkFailure();
        return abandonRecord(record);
    }
    readLocalEnd(s, *record);
    if (request.notifyWindow) {
        if (!watchSocket(record->handle, request.notifyWindow, request.notifyMessage, kNotifyAll))
            return abandonRecord(record);
        if (request.holdNotifications) holdSocket(record->handle, true);
    }
    *handle = record->handle;
    return true;
}

bool acceptSocket(int32_t listener, const AcceptRequest& request, int32_t* handle) {
    *handle = wrInvalidSocket;
    SocketRef server = listeningRecord(listener);
    if (!server) return false;
    if (request.notifyWindow &&
        (!IsWindow(request.notifyWindow) || request.notifyMessage < WM_USER))
        return failedWith(wrErrorInvalidParameter);
    if (request.eventDriven && !request.notifyWindow) return failedWith(wrErrorInvalidParameter);
    const bool secure = (request.options & wrOptionSecure) != 0;
    const SecureProvider* provider = secureProvider();
    if (secure) {
        uint32_t error = provider && provider->accept ? provider->load()
                                                      : uint32_t{wrErrorSecurityNotInitialized};
        if (error != 0) return failedWith(error);
    }

    // A watched listener is told when a connection waits; one without a watch waits for it.
    if (!server->eventDriven()) {
        int seconds = normalizeTimeout(request.timeout);
        bool ready = waitOnRecord(server, WaitFor::Readable, seconds, wrStatusAccept);
        // The wait leaves the record idle; it still listens. (An abort has closed it.)
        server->status = wrStatusListen;
        if (!ready) return false;
    }
    sockaddr_in peer{};
    SOCKET s = takeConnection(*server, &peer);
    if (s == INVALID_SOCKET) {
        if (SocketErrorCode(SocketError()) == wrErrorOperationWouldBlock) rearmAccept(listener);
        return false;
    }
    rearmAccept(listener);

    auto record = std::make_shared<SocketRecord>();
    record->handle = static_cast<int32_t>(s);
    record->protocol = wrProtocolTcp;
    record->options = request.options;
    record->connected = true;
    record->accepted = true;
    record->remoteAddress = peer.sin_addr.s_addr;
    record->remotePort = networkLibrary().ntohs(peer.sin_port);
    record->timeoutSeconds = normalizeTimeout(request.timeout);
    record->hostName = formatDottedAddress(peer.sin_addr.s_addr);
    addSocket(record);
    // The accepted socket gets each of these options set to its bit, on or off.
    setSocketFlag(s, SOL_SOCKET, SO_DONTROUTE, (request.options & wrOptionDontRoute) != 0);
    setSocketFlag(s, SOL_SOCKET, SO_KEEPALIVE, (request.options & wrOptionKeepAlive) != 0);
    setSocketFlag(s, IPPROTO_TCP, TCP_NODELAY, (request.options & wrOptionNoDelay) != 0);
    setSocketFlag(s, SOL_SOCKET, SO_OOBINLINE, (request.options & wrOptionInLine) != 0);
    readLocalEnd(s, *record);

    // The handshake runs before the socket is watched, so no notification of the new socket
    // comes while it runs, and the socket is under the layer's blocking waits meanwhile.
    if (secure) {
        uint32_t error = provider->accept(*record, request);
        if (error != 0) {
            SetSocketError(error);
            return abandonRecord(record);
        }
    }
    if (request.notifyWindow) {
        if (!watchNewSocket(record->handle, request.notifyWindow, request.notifyMessage,
                            request.eventDriven, request.holdNotifications))
            return abandonRecord(record);
        // Data that came with the handshake is already decrypted: announce it.
        if (request.eventDriven) repostBufferedRead(record);
    }
    *handle = record->handle;
    SetSocketError(0);
    return true;
}

bool rejectSocket(int32_t listener) {
    SocketRef server = listeningRecord(listener);
    if (!server) return false;
    {
        std::lock_guard lock(socketTableLock());
        if (server->blocked) return failedWith(wrErrorOperationInProgress);
    }
    if (pollSocket(static_cast<SOCKET>(listener), WaitFor::Readable) != 1)
        return failedWith(wrErrorOperationWouldBlock);
    rearmAccept(listener);
    sockaddr_in peer{};
    SOCKET s = takeConnection(*server, &peer);
    if (s == INVALID_SOCKET) return false;
    // Linger on with no time: the close resets the connection, so the peer sees a refusal.
    NetworkLibrary& net = networkLibrary();
    linger abortive{};
    abortive.l_onoff = 1;
    abortive.l_linger = 0;
    net.setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                   sizeof abortive);
    if (net.closesocket(s) != 0) return networkFailed();
    SetSocketError(0);
    return true;
}

int socketListening(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    return record->listening ? 1 : 0;
}

}  // namespace kvlink
