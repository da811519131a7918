// Connect: check the request, resolve the host, create the socket and its record, connect
// within the time-out, set the options of the option word.

#include "winsock/ocx/socket/connect.h"

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/secure_provider.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {
namespace {

constexpr size_t kLongestHostName = 128;

bool validPort(int32_t port) {
    return port >= 0 && port < 65536;
}

int socketType(int32_t protocol) {
    if (protocol == wrProtocolTcp) return SOCK_STREAM;
    if (protocol == wrProtocolUdp) return SOCK_DGRAM;
    return SOCK_RAW;
}

// The remote address of the request: 0.0.0.0 and the broadcast address make sense for
// datagrams only.
bool remoteAddress(const ConnectRequest& request, int32_t protocol, uint32_t* address) {
    if (!resolveHostAddress(request.host, address)) return false;
    if (protocol == wrProtocolTcp && (*address == INADDR_ANY || *address == INADDR_BROADCAST))
        return failedWith(wrErrorInvalidHostAddress);
    return true;
}

void setFlag(SOCKET s, int level, int option, bool on) {
    int value = on ? 1 : 0;
    networkLibrary().setsockopt(s, level, option, reinterpret_cast<const char*>(&value),
                                sizeof value);
}

// The options of the option word. They tune a connection that works without them, so a
// refusal leaves the connection as it is.
void applyOptions(SOCKET s, const SocketRecord& record) {
    uint32_t options = record.options;
    if (!record.stream()) {
        if (options & wrOptionBroadcast) setFlag(s, SOL_SOCKET, SO_BROADCAST, true);
        return;
    }
    if (options & wrOptionDontRoute) setFlag(s, SOL_SOCKET, SO_DONTROUTE, true);
    if (options & wrOptionKeepAlive) setFlag(s, SOL_SOCKET, SO_KEEPALIVE, true);
    if (options & wrOptionNoDelay) setFlag(s, IPPROTO_TCP, TCP_NODELAY, true);
    if (options & wrOptionInLine) setFlag(s, SOL_SOCKET, SO_OOBINLINE, true);
}

void readLocalAddress(SOCKET s, SocketRecord& record) {
    sockaddr_in local{};
    int size = sizeof local;
    NetworkLibrary& net = networkLibrary();
    if (net.getsockname(s, reinterpret_cast<sockaddr*>(&local), &size) == 0) {
        record.localAddress = local.sin_addr.s_addr;
        record.localPort = net.ntohs(local.sin_port);
    }
}

// Starts the TCP connection and waits for it to complete.
bool connectStream(const SocketRef& record, uint32_t address) {
    NetworkLibrary& net = networkLibrary();
    SOCKET s = static_cast<SOCKET>(record->handle);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = net.htons(record->remotePort);
    if (net.connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    if (net.getLastError() != WSAEWOULDBLOCK) return networkFailed();

    int seconds = record->timeoutSeconds > 0 ? record->timeoutSeconds : kDefaultConnectSeconds;
    bool failed = false;
    if (!waitOnRecord(record, WaitFor::Connected, seconds, wrStatusConnect, &failed)) return false;
    if (!failed) return true;
    int error = 0;
    int size = sizeof error;
    net.getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    return failedWith(error != 0 ? static_cast<uint32_t>(error)
                                 : uint32_t{wrErrorConnectionRefused});
}

}  // namespace

bool connectSocket(const ConnectRequest& request, int32_t* handle) {
    *handle = wrInvalidSocket;
    if (request.host.empty()) return failedWith(wrErrorInvalidHostName);
    if (!validPort(request.remotePort) || !validPort(request.localPort))
        return failedWith(wrErrorInvalidServicePort);
    if (request.notifyWindow &&
        (!IsWindow(request.notifyWindow) || request.notifyMessage < WM_USER))
        return failedWith(wrErrorInvalidParameter);
    if (request.options & wrOptionSecure) {
        const SecureProvider* provider = secureProvider();
        uint32_t error = provider ? provider->load() : uint32_t{wrErrorSecurityNotInitialized};
        if (error != 0) return failedWith(error);
    }
    int32_t protocol = request.protocol == 0 ? int32_t{wrProtocolTcp} : request.protocol;
    if (protocol == wrProtocolTcp && request.remotePort == 0)
        return failedWith(wrErrorInvalidServicePort);
    uint32_t address = 0;
    if (!remoteAddress(request, protocol, &address)) return false;
    if (request.eventDriven && !request.notifyWindow) return failedWith(wrErrorInvalidParameter);

    NetworkLibrary& net = networkLibrary();
    SOCKET s = net.socket(AF_INET, socketType(protocol), protocol);
    if (s == INVALID_SOCKET) return networkFailed();
    auto record = std::make_shared<SocketRecord>();
    record->handle = static_cast<int32_t>(s);
    record->protocol = protocol;
    record->options = request.options;
    record->remoteAddress = address;
    record->remotePort = static_cast<uint16_t>(request.remotePort);
    record->timeoutSeconds = normalizeTimeout(request.timeout);
    record->hostName = request.host.substr(0, kLongestHostName);
    addSocket(record);

    // From here on a failure closes the socket again, keeping the failure's error.
    if (request.localPort != 0 && (request.options & wrOptionReuseAddress))
        setFlag(s, SOL_SOCKET, SO_REUSEADDR, true);
    if (request.localAddress != 0 || request.localPort != 0 || protocol != wrProtocolTcp) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = request.localAddress;
        local.sin_port = net.htons(static_cast<u_short>(request.localPort));
        if (net.bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            networkFailure();
            return abandonRecord(record);
        }
    }
    // The socket stays non-blocking for good: every blocking call of the layer waits in
    // PumpedSelect first, so no call can block the thread beyond its time-out.
    u_long nonBlocking = 1;
    if (net.ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        networkFailure();
        return abandonRecord(record);
    }
    if (request.notifyWindow) {
        if (!watchNewSocket(record->handle, request.notifyWindow, request.notifyMessage,
                            request.eventDriven, request.holdNotifications))
            return abandonRecord(record);
    }
    if (request.eventDriven && protocol == wrProtocolTcp) {
        // The connect goes on without us: its notification finishes it (watch.cpp).
        record->pendingConnect = std::make_shared<const ConnectRequest>(request);
        record->status = wrStatusConnect;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        to.sin_port = net.htons(record->remotePort);
        if (net.connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 &&
            net.getLastError() != WSAEWOULDBLOCK) {
            networkFailure();
            return abandonRecord(record);
        }
        applyOptions(s, *record);
        *handle = record->handle;
        return true;
    }
    if (protocol == wrProtocolTcp) {
        if (!connectStream(record, address)) return abandonRecord(record);
        record->connected = true;
    }
    record->status = wrStatusIdle;
    // TLS needs a stream; on a datagram socket the secure option has nothing to act on.
    if ((request.options & wrOptionSecure) && protocol == wrProtocolTcp) {
        uint32_t error = secureProvider()->handshake(*record, request);
        if (error != 0 && error != wrErrorSecurityCertificate) {
            SetSocketError(error);
            return abandonRecord(record);
        }
    }
    readLocalAddress(s, *record);
    applyOptions(s, *record);
    *handle = record->handle;
    return true;
}

}  // namespace kvlink
