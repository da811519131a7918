#pragma once
// The POSIX socket calls beneath the Winsock view, under names of their own.
//
// The library exports accept, bind, connect, select, send and the other Winsock names itself, so
// no part of it may refer to the C library's functions of those names: the references would bind
// to the library's own exports. sys.cpp therefore reaches the kernel through syscall(2) for the
// socket calls that have no other name in the C library (socket, bind, connect, listen, shutdown,
// getsockname, getpeername, getsockopt, setsockopt) and uses differently named C library calls for
// the rest (accept4, sendmsg, recvmsg, ioctl, fcntl, close, uname). It is, with lookup.cpp and
// errors.cpp, the only part of the library that includes the POSIX socket headers; the rest is
// written against winsock2.h, and the two never meet in one translation unit.
//
// Every function returns -1 on failure and leaves errno set. Addresses are passed as bytes in the
// 16-byte IPv4 form that Winsock and Linux share (family, port, address, padding).

#include <cstddef>
#include <cstdint>

namespace ws2::sys {

constexpr int kAddressSize = 16;

int openSocket(int family, int type, int protocol);
int bindSocket(int fd, const void* address, int size);
int connectSocket(int fd, const void* address, int size);
int listenSocket(int fd, int backlog);
// acceptSocket returns the connection's descriptor (close-on-exec, non-blocking when asked) and
// writes the peer's address when address is not null (*size in: room, out: bytes written).
int acceptSocket(int fd, void* address, int* size, bool nonBlocking);
int shutdownSocket(int fd, int how);
int localAddress(int fd, void* address, int* size);
int peerAddress(int fd, void* address, int* size);
int closeDescriptor(int fd);

// Message flags carry Winsock's bit values; sendData and receiveData translate them.
constexpr int kFlagOob = 0x1;
constexpr int kFlagPeek = 0x2;
constexpr int kFlagDontRoute = 0x4;
constexpr int kFlagWaitAll = 0x8;
constexpr int kFlagNoWait = 0x40000000;

// sendData sends without ever raising SIGPIPE; to is null for a connected socket.
long sendData(int fd, const void* data, size_t size, int flags, const void* to, int toSize);
// receiveData sets *truncated when a datagram did not fit; from and truncated may be null.
long receiveData(int fd, void* data, size_t size, int flags, void* from, int* fromSize,
                 bool* truncated);

int setNonBlocking(int fd, bool on);
int bytesAvailable(int fd, int* count);
// urgentDataWaiting tells whether out-of-band data waits to be read (inline or not).
int urgentDataWaiting(int fd, bool* waiting);
// takeSocketError reads and clears the socket's pending errno value.
int takeSocketError(int fd, int* errnoValue);

// Socket options the library maps from Winsock's numbers.
enum class Option {
    Debug,
    AcceptConn,
    ReuseAddress,
    KeepAlive,
    DontRoute,
    Broadcast,
    OobInline,
    SendBuffer,
    ReceiveBuffer,
    SendLowWater,
    ReceiveLowWater,
    Error,
    Type,
    NoDelay,
    KeepIdle,
    KeepCount,
    KeepInterval,
    IpTos,
    IpTtl,
    MulticastInterface,
    MulticastTtl,
    MulticastLoop,
};
// Buffer sizes are reported as they were set (Linux reports twice the size it was given).
int getIntOption(int fd, Option option, int* value);
int setIntOption(int fd, Option option, int value);
int getLinger(int fd, bool* on, int* seconds);
int setLinger(int fd, bool on, int seconds);
int getTimeoutOption(int fd, bool sending, uint32_t* milliseconds);
int setTimeoutOption(int fd, bool sending, uint32_t milliseconds);
// membership is the 8-byte group request (group address, interface address).
int setMembership(int fd, bool join, const void* membership);

// hostName copies the machine's host name (NUL-terminated) into buffer; ENAMETOOLONG when it
// does not fit.
int hostName(char* buffer, size_t size);

}  // namespace ws2::sys
