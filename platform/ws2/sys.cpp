// The POSIX socket calls of the library. See sys.h for why the socket calls go through syscall(2).

#include "platform/ws2/sys.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ws2::sys {
namespace {

static_assert(sizeof(sockaddr_in) == kAddressSize, "Winsock and Linux share the IPv4 address form");

// The kernel calls take socklen_t; the callers hold int sizes as Winsock does.
long call(long number, long a, long b = 0, long c = 0, long d = 0, long e = 0) {
    return syscall(number, a, b, c, d, e);
}

long addressCall(long number, int fd, void* address, int* size) {
    socklen_t length = size ? static_cast<socklen_t>(*size) : 0;
    long r = call(number, fd, reinterpret_cast<long>(address), reinterpret_cast<long>(&length));
    if (r == 0 && size) *size = static_cast<int>(length);
    return r;
}

int linuxFlags(int flags) {
    int result = 0;
    if (flags & kFlagOob) result |= MSG_OOB;
    if (flags & kFlagPeek) result |= MSG_PEEK;
    if (flags & kFlagDontRoute) result |= MSG_DONTROUTE;
    if (flags & kFlagWaitAll) result |= MSG_WAITALL;
    if (flags & kFlagNoWait) result |= MSG_DONTWAIT;
    return result;
}

struct OptionName {
    Option option;
    int level;
    int name;
};

constexpr OptionName kOptions[] = {
    {Option::Debug, SOL_SOCKET, SO_DEBUG},
    {Option::AcceptConn, SOL_SOCKET, SO_ACCEPTCONN},
    {Option::ReuseAddress, SOL_SOCKET, SO_REUSEADDR},
    {Option::KeepAlive, SOL_SOCKET, SO_KEEPALIVE},
    {Option::DontRoute, SOL_SOCKET, SO_DONTROUTE},
    {Option::Broadcast, SOL_SOCKET, SO_BROADCAST},
    {Option::OobInline, SOL_SOCKET, SO_OOBINLINE},
    {Option::SendBuffer, SOL_SOCKET, SO_SNDBUF},
    {Option::ReceiveBuffer, SOL_SOCKET, SO_RCVBUF},
    {Option::SendLowWater, SOL_SOCKET, SO_SNDLOWAT},
    {Option::ReceiveLowWater, SOL_SOCKET, SO_RCVLOWAT},
    {Option::Error, SOL_SOCKET, SO_ERROR},
    {Option::Type, SOL_SOCKET, SO_TYPE},
    {Option::NoDelay, IPPROTO_TCP, TCP_NODELAY},
    {Option::KeepIdle, IPPROTO_TCP, TCP_KEEPIDLE},
    {Option::KeepCount, IPPROTO_TCP, TCP_KEEPCNT},
    {Option::KeepInterval, IPPROTO_TCP, TCP_KEEPINTVL},
    {Option::IpTos, IPPROTO_IP, IP_TOS},
    {Option::IpTtl, IPPROTO_IP, IP_TTL},
    {Option::MulticastInterface, IPPROTO_IP, IP_MULTICAST_IF},
    {Option::MulticastTtl, IPPROTO_IP, IP_MULTICAST_TTL},
    {Option::MulticastLoop, IPPROTO_IP, IP_MULTICAST_LOOP},
};

const OptionName* findOption(Option option) {
    for (const OptionName& o : kOptions) {
        if (o.option == option) return &o;
    }
    return nullptr;
}

int getRaw(int fd, int level, int name, void* value, socklen_t* size) {
    return static_cast<int>(call(SYS_getsockopt, fd, level, name, reinterpret_cast<long>(value),
                                 reinterpret_cast<long>(size)));
}

int setRaw(int fd, int level, int name, const void* value, socklen_t size) {
    return static_cast<int>(
        call(SYS_setsockopt, fd, level, name, reinterpret_cast<long>(value), size));
}

}  // namespace

int openSocket(int family, int type, int protocol) {
    return static_cast<int>(call(SYS_socket, family, type | SOCK_CLOEXEC, protocol));
}

int bindSocket(int fd, const void* address, int size) {
    return static_cast<int>(call(SYS_bind, fd, reinterpret_cast<long>(address), size));
}

int connectSocket(int fd, const void* address, int size) {
    return static_cast<int>(call(SYS_connect, fd, reinterpret_cast<long>(address), size));
}

int listenSocket(int fd, int backlog) {
    return static_cast<int>(call(SYS_listen, fd, backlog));
}

int acceptSocket(int fd, void* address, int* size, bool nonBlocking) {
    socklen_t length = size ? static_cast<socklen_t>(*size) : 0;
    int flags = SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0);
    int r = accept4(fd, static_cast<sockaddr*>(address), address ? &length : nullptr, flags);
    if (r >= 0 && size) *size = static_cast<int>(length);
    return r;
}

int shutdownSocket(int fd, int how) {
    return static_cast<int>(call(SYS_shutdown, fd, how));
}

int localAddress(int fd, void* address, int* size) {
    return static_cast<int>(addressCall(SYS_getsockname, fd, address, size));
}

int peerAddress(int fd, void* address, int* size) {
    return static_cast<int>(addressCall(SYS_getpeername, fd, address, size));
}

int closeDescriptor(int fd) {
    return close(fd);
}

long sendData(int fd, const void* data, size_t size, int flags, const void* to, int toSize) {
    // Without an address (a connected socket, nearly every send) the plain call, which the
    // kernel serves with less setting up than a message.
    if (!to) return syscall(SYS_sendto, fd, data, size, linuxFlags(flags) | MSG_NOSIGNAL, 0, 0);
    iovec part{const_cast<void*>(data), size};
    msghdr message{};
    message.msg_name = const_cast<void*>(to);
    message.msg_namelen = to ? static_cast<socklen_t>(toSize) : 0;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    return sendmsg(fd, &message, linuxFlags(flags) | MSG_NOSIGNAL);
}

long receiveData(int fd, void* data, size_t size, int flags, void* from, int* fromSize,
                 bool* truncated) {
    // Neither the sender nor the truncation wanted (a stream): the plain call, as for a send.
    if (!from && !truncated) return syscall(SYS_recvfrom, fd, data, size, linuxFlags(flags), 0, 0);
    iovec part{data, size};
    msghdr message{};
    message.msg_name = from;
    message.msg_namelen = from && fromSize ? static_cast<socklen_t>(*fromSize) : 0;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    long r = recvmsg(fd, &message, linuxFlags(flags));
    if (r >= 0) {
        if (from && fromSize) *fromSize = static_cast<int>(message.msg_namelen);
        if (truncated) *truncated = (message.msg_flags & MSG_TRUNC) != 0;
    }
    return r;
}

int setNonBlocking(int fd, bool on) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return -1;
    int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return wanted == flags ? 0 : fcntl(fd, F_SETFL, wanted);
}

int bytesAvailable(int fd, int* count) {
    return ioctl(fd, FIONREAD, count);
}

int urgentDataWaiting(int fd, bool* waiting) {
    int inlineOob = 0;
    socklen_t size = sizeof inlineOob;
    if (getRaw(fd, SOL_SOCKET, SO_OOBINLINE, &inlineOob, &size) != 0) return -1;
    if (inlineOob) {
        // Inline urgent data is waiting when the read position has reached its mark.
        int atMark = 0;
        if (ioctl(fd, SIOCATMARK, &atMark) != 0) return -1;
        *waiting = atMark != 0;
        return 0;
    }
    // Out of line, peeking at the urgent byte tells whether one waits; EINVAL means none does.
    char byte;
    iovec part{&byte, 1};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    *waiting = recvmsg(fd, &message, MSG_OOB | MSG_PEEK | MSG_DONTWAIT) == 1;
    return 0;
}

int takeSocketError(int fd, int* errnoValue) {
    socklen_t size = sizeof *errnoValue;
    return getRaw(fd, SOL_SOCKET, SO_ERROR, errnoValue, &size);
}

int getIntOption(int fd, Option option, int* value) {
    const OptionName* o = findOption(option);
    if (!o) {
        errno = ENOPROTOOPT;
        return -1;
    }
    socklen_t size = sizeof *value;
    if (o->level == IPPROTO_IP &&
        (option == Option::MulticastTtl || option == Option::MulticastLoop)) {
        // These two are single bytes in Linux's interface.
        unsigned char byte = 0;
        size = sizeof byte;
        if (getRaw(fd, o->level, o->name, &byte, &size) != 0) return -1;
        *value = byte;
        return 0;
    }
    if (getRaw(fd, o->level, o->name, value, &size) != 0) return -1;
    if (option == Option::SendBuffer || option == Option::ReceiveBuffer) *value /= 2;
    return 0;
}

int setIntOption(int fd, Option option, int value) {
    const OptionName* o = findOption(option);
    if (!o) {
        errno = ENOPROTOOPT;
        return -1;
    }
    return setRaw(fd, o->level, o->name, &value, sizeof value);
}

int getLinger(int fd, bool* on, int* seconds) {
    ::linger value{};
    socklen_t size = sizeof value;
    if (getRaw(fd, SOL_SOCKET, SO_LINGER, &value, &size) != 0) return -1;
    *on = value.l_onoff != 0;
    *seconds = value.l_linger;
    return 0;
}

int setLinger(int fd, bool on, int seconds) {
    ::linger value{on ? 1 : 0, seconds};
    return setRaw(fd, SOL_SOCKET, SO_LINGER, &value, sizeof value);
}

int getTimeoutOption(int fd, bool sending, uint32_t* milliseconds) {
    timeval value{};
    socklen_t size = sizeof value;
    if (getRaw(fd, SOL_SOCKET, sending ? SO_SNDTIMEO : SO_RCVTIMEO, &value, &size) != 0) return -1;
    *milliseconds = static_cast<uint32_t>(value.tv_sec * 1000 + value.tv_usec / 1000);
    return 0;
}

int setTimeoutOption(int fd, bool sending, uint32_t milliseconds) {
    timeval value{static_cast<time_t>(milliseconds / 1000),
                  static_cast<suseconds_t>((milliseconds % 1000) * 1000)};
    return setRaw(fd, SOL_SOCKET, sending ? SO_SNDTIMEO : SO_RCVTIMEO, &value, sizeof value);
}

int setMembership(int fd, bool join, const void* membership) {
    static_assert(sizeof(ip_mreq) == 8, "the group request is two IPv4 addresses");
    return setRaw(fd, IPPROTO_IP, join ? IP_ADD_MEMBERSHIP : IP_DROP_MEMBERSHIP, membership,
                  sizeof(ip_mreq));
}

int hostName(char* buffer, size_t size) {
    utsname names{};
    if (uname(&names) != 0) return -1;
    size_t length = std::strlen(names.nodename);
    if (length + 1 > size) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(buffer, names.nodename, length + 1);
    return 0;
}

}  // namespace ws2::sys
