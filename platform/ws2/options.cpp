// Socket options and controls: getsockopt, setsockopt, ioctlsocket and WSAIoctl, with Winsock's
// level, option and command numbers mapped onto Linux's.

#include <poll.h>

#include <cstring>

#include "platform/ws2/api.h"
#include "platform/ws2/errors.h"
#include "platform/ws2/exports.h"
#include "platform/ws2/sys.h"

namespace ws2 {
namespace {

using Lock = std::lock_guard<std::mutex>;

// How an option's value is laid out on the Winsock side.
enum class Kind {
    Bool,            // an int holding TRUE or FALSE (a one-byte BOOL is accepted when setting)
    Int,             // an int
    Linger,          // a linger record of two u_shorts
    DontLinger,      // a BOOL: TRUE turns lingering off
    SendTimeout,     // a DWORD of milliseconds
    ReceiveTimeout,  // a DWORD of milliseconds
    Error,           // the pending error, as a Windows error number
    MaxMessageSize,  // the largest datagram, for datagram sockets
    Membership,      // an ip_mreq, set only
};

struct OptionMapping {
    int level;
    int name;
    Kind kind;
    sys::Option option;  // for Bool and Int
    bool readOnly;
};

constexpr OptionMapping kOptions[] = {
    {SOL_SOCKET, SO_DEBUG, Kind::Bool, sys::Option::Debug, false},
    {SOL_SOCKET, SO_ACCEPTCONN, Kind::Bool, sys::Option::AcceptConn, true},
    {SOL_SOCKET, SO_REUSEADDR, Kind::Bool, sys::Option::ReuseAddress, false},
    {SOL_SOCKET, SO_KEEPALIVE, Kind::Bool, sys::Option::KeepAlive, false},
    {SOL_SOCKET, SO_DONTROUTE, Kind::Bool, sys::Option::DontRoute, false},
    {SOL_SOCKET, SO_BROADCAST, Kind::Bool, sys::Option::Broadcast, false},
    {SOL_SOCKET, SO_LINGER, Kind::Linger, sys::Option::Debug, false},
    {SOL_SOCKET, SO_DONTLINGER, Kind::DontLinger, sys::Option::Debug, false},
    {SOL_SOCKET, SO_OOBINLINE, Kind::Bool, sys::Option::OobInline, false},
    {SOL_SOCKET, SO_SNDBUF, Kind::Int, sys::Option::SendBuffer, false},
    {SOL_SOCKET, SO_RCVBUF, Kind::Int, sys::Option::ReceiveBuffer, false},
    {SOL_SOCKET, SO_SNDLOWAT, Kind::Int, sys::Option::SendLowWater, false},
    {SOL_SOCKET, SO_RCVLOWAT, Kind::Int, sys::Option::ReceiveLowWater, false},
    {SOL_SOCKET, SO_SNDTIMEO, Kind::SendTimeout, sys::Option::Debug, false},
    {SOL_SOCKET, SO_RCVTIMEO, Kind::ReceiveTimeout, sys::Option::Debug, false},
    {SOL_SOCKET, SO_ERROR, Kind::Error, sys::Option::Error, true},
    {SOL_SOCKET, SO_TYPE, Kind::Int, sys::Option::Type, true},
    {SOL_SOCKET, SO_MAX_MSG_SIZE, Kind::MaxMessageSize, sys::Option::Debug, true},
    {IPPROTO_TCP, TCP_NODELAY, Kind::Bool, sys::Option::NoDelay, false},
    {IPPROTO_TCP, TCP_KEEPALIVE, Kind::Int, sys::Option::KeepIdle, false},
    {IPPROTO_TCP, TCP_KEEPCNT, Kind::Int, sys::Option::KeepCount, false},
    {IPPROTO_TCP, TCP_KEEPINTVL, Kind::Int, sys::Option::KeepInterval, false},
    {IPPROTO_IP, IP_TOS, Kind::Int, sys::Option::IpTos, false},
    {IPPROTO_IP, IP_TTL, Kind::Int, sys::Option::IpTtl, false},
    {IPPROTO_IP, IP_MULTICAST_IF, Kind::Int, sys::Option::MulticastInterface, false},
    {IPPROTO_IP, IP_MULTICAST_TTL, Kind::Int, sys::Option::MulticastTtl, false},
    {IPPROTO_IP, IP_MULTICAST_LOOP, Kind::Bool, sys::Option::MulticastLoop, false},
    {IPPROTO_IP, IP_ADD_MEMBERSHIP, Kind::Membership, sys::Option::Debug, false},
    {IPPROTO_IP, IP_DROP_MEMBERSHIP, Kind::Membership, sys::Option::Debug, false},
};

// The largest IPv4 datagram payload: 65535 less the IP and UDP headers.
constexpr int kMaxDatagram = 65507;

// Finds the mapping of (level, name), or sets the error: WSAEINVAL for an unknown level,
// WSAENOPROTOOPT for an unknown option or a TCP option on another kind of socket.
const OptionMapping* findOption(const SocketEntry& entry, int level, int name) {
    if (level != SOL_SOCKET && level != IPPROTO_TCP && level != IPPROTO_IP) {
        fail(WSAEINVAL);
        return nullptr;
    }
    if (level == IPPROTO_TCP && entry.type != SOCK_STREAM) {
        fail(WSAENOPROTOOPT);
        return nullptr;
    }
    for (const OptionMapping& o : kOptions) {
        if (o.level == level && o.name == name) return &o;
    }
    fail(WSAENOPROTOOPT);
    return nullptr;
}

// The pending error of a socket: a failed connect's first, then the kernel's.
int takeError(SOCKET s, SocketEntry& entry, int* error) {
    Lock lock(tableLock());
    if (entry.state == SocketState::Connecting) {
        pollfd item{entry.fd, POLLOUT, 0};
        if (poll(&item, 1, 0) > 0) settleConnect(s, entry, item.revents);
    }
    int errnoValue = entry.pendingError;
    entry.pendingError = 0;
    if (errnoValue == 0 && sys::takeSocketError(entry.fd, &errnoValue) != 0) return -1;
    *error = wsaErrorFromErrno(errnoValue);
    return 0;
}

int putInt(int value, char* optval, int* optlen) {
    if (*optlen < static_cast<int>(sizeof value)) return fail(WSAEFAULT);
    std::memcpy(optval, &value, sizeof value);
    *optlen = sizeof value;
    return 0;
}

// Reads an int-sized value; a BOOL may also come as one byte.
bool takeInt(const char* optval, int optlen, bool oneByteAllowed, int* value) {
    if (optlen >= static_cast<int>(sizeof *value)) {
        std::memcpy(value, optval, sizeof *value);
        return true;
    }
    if (oneByteAllowed && optlen >= 1) {
        *value = static_cast<unsigned char>(optval[0]);
        return true;
    }
    return false;
}

int setBlockingMode(SocketEntry& entry, bool nonBlocking) {
    Lock lock(tableLock());
    // Windows keeps a socket under WSAAsyncSelect non-blocking until the selection is cancelled.
    if (!nonBlocking && entry.async) return fail(WSAEINVAL);
    if (sys::setNonBlocking(entry.fd, nonBlocking) != 0) return failFromErrno();
    entry.nonBlocking = nonBlocking;
    return 0;
}

int readableBytes(const SocketEntry& entry, unsigned long* count) {
    if (entry.state == SocketState::Listening) {
        *count = 0;
        return 0;
    }
    int n = 0;
    if (sys::bytesAvailable(entry.fd, &n) != 0) return failFromErrno();
    *count = static_cast<unsigned long>(n);
    return 0;
}

// SIOCATMARK's Winsock answer: TRUE while no out-of-band data waits to be read.
int atMark(const SocketEntry& entry, unsigned long* answer) {
    bool waiting = false;
    if (entry.type == SOCK_STREAM && sys::urgentDataWaiting(entry.fd, &waiting) != 0) {
        return failFromErrno();
    }
    *answer = waiting ? FALSE : TRUE;
    return 0;
}

// The three controls that ioctlsocket and WSAIoctl share; -2 for another command.
int control(SocketEntry& entry, uint32_t command, unsigned long* value) {
    switch (command) {
        case static_cast<uint32_t>(FIONBIO):
            return setBlockingMode(entry, *value != 0);
        case static_cast<uint32_t>(FIONREAD):
            return readableBytes(entry, value);
        case static_cast<uint32_t>(SIOCATMARK):
            return atMark(entry, value);
        default:
            return -2;
    }
}

// Reads a u_long-sized argument, also accepting a 32-bit one as Windows callers pass it.
bool takeLong(const void* in, DWORD size, unsigned long* value) {
    if (!in) return false;
    if (size >= sizeof(unsigned long)) {
        std::memcpy(value, in, sizeof *value);
    } else if (size >= sizeof(uint32_t)) {
        uint32_t narrow;
        std::memcpy(&narrow, in, sizeof narrow);
        *value = narrow;
    } else {
        return false;
    }
    return true;
}

// Writes a u_long-sized result into as much room as there is (at least 32 bits).
bool giveLong(unsigned long value, void* out, DWORD size, DWORD* written) {
    if (!out) return false;
    if (size >= sizeof(unsigned long)) {
        std::memcpy(out, &value, sizeof value);
        *written = sizeof value;
    } else if (size >= sizeof(uint32_t)) {
        uint32_t narrow = static_cast<uint32_t>(value);
        std::memcpy(out, &narrow, sizeof narrow);
        *written = sizeof narrow;
    } else {
        return false;
    }
    return true;
}

// SIO_KEEPALIVE_VALS: keep-alive on or off, with the idle time and probe interval in
// milliseconds, which Linux takes in whole seconds (at least 1).
int setKeepAliveValues(const SocketEntry& entry, const tcp_keepalive& values) {
    auto seconds = [](ULONG ms) { return static_cast<int>(ms < 1000 ? 1 : (ms + 999) / 1000); };
    if (sys::setIntOption(entry.fd, sys::Option::KeepAlive, values.onoff ? 1 : 0) != 0 ||
        (values.onoff &&
         (sys::setIntOption(entry.fd, sys::Option::KeepIdle, seconds(values.keepalivetime)) != 0 ||
          sys::setIntOption(entry.fd, sys::Option::KeepInterval,
                            seconds(values.keepaliveinterval)) != 0))) {
        return failFromErrno();
    }
    return 0;
}

}  // namespace
}  // namespace ws2

using namespace ws2;

int wsGetsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (!optval || !optlen) return fail(WSAEFAULT);
    const OptionMapping* o = findOption(*entry, level, optname);
    if (!o) return SOCKET_ERROR;
    int value = 0;
    switch (o->kind) {
        case Kind::Bool:
        case Kind::Int:
            if (sys::getIntOption(entry->fd, o->option, &value) != 0) return failFromErrno();
            if (o->kind == Kind::Bool) value = value ? TRUE : FALSE;
            return putInt(value, optval, optlen);
        case Kind::Linger:
        case Kind::DontLinger: {
            bool on = false;
            int seconds = 0;
            if (sys::getLinger(entry->fd, &on, &seconds) != 0) return failFromErrno();
            if (o->kind == Kind::DontLinger) return putInt(on ? FALSE : TRUE, optval, optlen);
            if (*optlen < static_cast<int>(sizeof(linger))) return fail(WSAEFAULT);
            linger l{static_cast<u_short>(on ? 1 : 0), static_cast<u_short>(seconds)};
            std::memcpy(optval, &l, sizeof l);
            *optlen = sizeof l;
            return 0;
        }
        case Kind::SendTimeout:
        case Kind::ReceiveTimeout: {
            uint32_t ms = 0;
            if (sys::getTimeoutOption(entry->fd, o->kind == Kind::SendTimeout, &ms) != 0) {
                return failFromErrno();
            }
            return putInt(static_cast<int>(ms), optval, optlen);
        }
        case Kind::Error:
            if (takeError(s, *entry, &value) != 0) return failFromErrno();
            return putInt(value, optval, optlen);
        case Kind::MaxMessageSize:
            if (entry->type == SOCK_STREAM) return fail(WSAENOPROTOOPT);
            return putInt(kMaxDatagram, optval, optlen);
        case Kind::Membership:
            return fail(WSAENOPROTOOPT);
    }
    return fail(WSAENOPROTOOPT);
}

int wsSetsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    const OptionMapping* o = findOption(*entry, level, optname);
    if (!o) return SOCKET_ERROR;
    if (o->readOnly) return fail(WSAENOPROTOOPT);
    if (!optval) return fail(WSAEFAULT);
    int value = 0;
    int r = 0;
    switch (o->kind) {
        case Kind::Bool:
        case Kind::Int:
            if (!takeInt(optval, optlen, o->kind == Kind::Bool, &value)) return fail(WSAEFAULT);
            if (o->kind == Kind::Bool) value = value ? 1 : 0;
            r = sys::setIntOption(entry->fd, o->option, value);
            break;
        case Kind::Linger: {
            if (optlen < static_cast<int>(sizeof(linger))) return fail(WSAEFAULT);
            linger l;
            std::memcpy(&l, optval, sizeof l);
            r = sys::setLinger(entry->fd, l.l_onoff != 0, l.l_linger);
            break;
        }
        case Kind::DontLinger:
            if (!takeInt(optval, optlen, true, &value)) return fail(WSAEFAULT);
            r = sys::setLinger(entry->fd, value == 0, 0);
            break;
        case Kind::SendTimeout:
        case Kind::ReceiveTimeout:
            if (!takeInt(optval, optlen, false, &value)) return fail(WSAEFAULT);
            r = sys::setTimeoutOption(entry->fd, o->kind == Kind::SendTimeout,
                                      static_cast<uint32_t>(value));
            break;
        case Kind::Membership:
            if (optlen < static_cast<int>(sizeof(ip_mreq))) return fail(WSAEFAULT);
            r = sys::setMembership(entry->fd, optname == IP_ADD_MEMBERSHIP, optval);
            break;
        case Kind::Error:
        case Kind::MaxMessageSize:
            return fail(WSAENOPROTOOPT);
    }
    return r == 0 ? 0 : failFromErrno();
}

int wsIoctlsocket(SOCKET s, long cmd, u_long* argp) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    if (!argp) return fail(WSAEFAULT);
    unsigned long value = *argp;
    int r = control(*entry, static_cast<uint32_t>(cmd), &value);
    if (r == -2) return fail(WSAEINVAL);
    if (r == 0) *argp = value;
    return r;
}

int wsWSAIoctl(SOCKET s, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
               DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
               LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) {
    SocketRef entry = socketFor(s);
    if (!entry) return SOCKET_ERROR;
    // Overlapped operation is not offered; a caller that asks for it is told so.
    if (overlapped || completion) return fail(WSAEOPNOTSUPP);
    if (!bytesReturned) return fail(WSAEFAULT);
    *bytesReturned = 0;
    unsigned long value = 0;
    switch (code) {
        case static_cast<DWORD>(FIONBIO):
            if (!takeLong(in, inSize, &value)) return fail(WSAEFAULT);
            return control(*entry, code, &value);
        case static_cast<DWORD>(FIONREAD):
        case static_cast<DWORD>(SIOCATMARK): {
            if (!out || outSize < sizeof(uint32_t)) return fail(WSAEFAULT);
            if (control(*entry, code, &value) != 0) return SOCKET_ERROR;
            giveLong(value, out, outSize, bytesReturned);
            return 0;
        }
        case SIO_KEEPALIVE_VALS: {
            if (!in || inSize < sizeof(tcp_keepalive)) return fail(WSAEFAULT);
            tcp_keepalive values;
            std::memcpy(&values, in, sizeof values);
            return setKeepAliveValues(*entry, values);
        }
        default:
            return fail(WSAEOPNOTSUPP);
    }
}
