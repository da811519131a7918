#pragma once
// Windows Sockets 2 as libws2_32.so offers it: the types, constants and function signatures of the
// network library that the socket control loads by name at run time.
//
// The library is never linked. Its functions carry the Winsock names (accept, connect, select,
// send, gethostbyname, ...), which are the C library's names too, so a caller loads it with
// dlopen(..., RTLD_NOW | RTLD_LOCAL) and binds each function with dlsym into a pointer of the
// LPFN_ type below:
//
//   void* lib = dlopen("libws2_32.so", RTLD_NOW | RTLD_LOCAL);
//   auto startup = reinterpret_cast<LPFN_WSASTARTUP>(dlsym(lib, "WSAStartup"));
//   WSADATA data;
//   if (startup(MAKEWORD(2, 2), &data) != 0) { /* the result is the error number */ }
//
// Loading it with RTLD_GLOBAL would let its definitions of those names replace the C library's
// for every library loaded afterwards.
//
// This header is the Winsock view and does not mix with the POSIX socket headers (<sys/socket.h>,
// <netinet/in.h>, <arpa/inet.h>, <netdb.h>, <sys/ioctl.h>) in one translation unit: the names are
// the same, the values and layouts are not. Three groups of names that the C library declares in
// every C++ translation unit are settled here:
//  - fd_set is the C library's set type, so the Winsock set goes by Winsock's other name for it,
//    FD_SET (pointer: LPFD_SET). FD_SETSIZE, FD_SET(), FD_CLR(), FD_ISSET() and FD_ZERO() are
//    redefined with their Winsock meaning: a counted array of at most 64 sockets.
//  - timeval is the C library's, which has Winsock's layout here (two longs).
//  - u_char, u_short, u_int and u_long are the C library's; u_long is 64 bits wide here.
//
// Errors: a failing call returns SOCKET_ERROR, INVALID_SOCKET or nullptr and leaves a Windows error
// number (winsock_errors.h) for WSAGetLastError on the calling thread. Until WSAStartup succeeded
// every call fails with WSANOTINITIALISED, except the byte-order and address-text conversions and
// WSAGetLastError/WSASetLastError. Sockets never raise SIGPIPE.

// The C library's set macros are defined before this header replaces them, never after.
#include <sys/select.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "platform/user/user.h"
#include "platform/ws2/winsock_errors.h"

using WORD = uint16_t;
using ULONG = uint32_t;
using HANDLE = void*;
using DWORD_PTR = uintptr_t;

constexpr WORD MAKEWORD(unsigned low, unsigned high) {
    return static_cast<WORD>((low & 0xFF) | ((high & 0xFF) << 8));
}
constexpr unsigned LOBYTE(WORD w) {
    return w & 0xFF;
}
constexpr unsigned HIBYTE(WORD w) {
    return (w >> 8) & 0xFF;
}

// A socket handle. INVALID_SOCKET is the failure result of socket and accept.
using SOCKET = uintptr_t;
constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
constexpr int SOCKET_ERROR = -1;

// The start-up record that WSAStartup fills.
constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;

// The socket set of select.
#undef FD_SETSIZE
#undef FD_SET
#undef FD_CLR
#undef FD_ISSET
#undef FD_ZERO
#define FD_SETSIZE 64
struct FD_SET {
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE];
};
using PFD_SET = FD_SET*;
using LPFD_SET = FD_SET*;

// Adds s unless it is already present or the set is full.
inline void WSAFdSetAdd(SOCKET s, FD_SET* set) {
    for (u_int i = 0; i < set->fd_count; ++i) {
        if (set->fd_array[i] == s) return;
    }
    if (set->fd_count < FD_SETSIZE) set->fd_array[set->fd_count++] = s;
}
// Removes s, keeping the order of the others.
inline void WSAFdSetRemove(SOCKET s, FD_SET* set) {
    for (u_int i = 0; i < set->fd_count; ++i) {
        if (set->fd_array[i] != s) continue;
        for (u_int j = i + 1; j < set->fd_count; ++j)
            set->fd_array[j - 1] = set->fd_array[j];
        --set->fd_count;
        return;
    }
}
inline int WSAFdSetContains(SOCKET s, const FD_SET* set) {
    for (u_int i = 0; i < set->fd_count; ++i) {
        if (set->fd_array[i] == s) return 1;
    }
    return 0;
}
#define FD_SET(s, set) WSAFdSetAdd((s), (set))
#define FD_CLR(s, set) WSAFdSetRemove((s), (set))
#define FD_ISSET(s, set) WSAFdSetContains((s), (set))
#define FD_ZERO(set) ((set)->fd_count = 0)

// Addresses (IPv4). The layouts are Winsock's: a 16-bit family, then the port and the address in
// network byte order.
constexpr int AF_UNSPEC = 0;
constexpr int AF_INET = 2;
constexpr int AF_INET6 = 23;
constexpr int PF_INET = AF_INET;

struct in_addr {
    union {
        struct {
            u_char s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        struct {
            u_short s_w1, s_w2;
        } S_un_w;
        uint32_t S_addr;
    } S_un;
};
#define s_addr S_un.S_addr

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};
struct sockaddr_in {
    short sin_family;
    u_short sin_port;
    in_addr sin_addr;
    char sin_zero[8];
};
using SOCKADDR = sockaddr;
using SOCKADDR_IN = sockaddr_in;
using IN_ADDR = in_addr;

constexpr uint32_t INADDR_ANY = 0x00000000;
constexpr uint32_t INADDR_LOOPBACK = 0x7F000001;  // host byte order
constexpr uint32_t INADDR_BROADCAST = 0xFFFFFFFF;
constexpr uint32_t INADDR_NONE = 0xFFFFFFFF;

// Socket types and protocols.
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int SOCK_RAW = 3;
constexpr int IPPROTO_IP = 0;
constexpr int IPPROTO_ICMP = 1;
constexpr int IPPROTO_TCP = 6;
constexpr int IPPROTO_UDP = 17;
constexpr int IPPROTO_RAW = 255;

// Options (getsockopt, setsockopt). BOOL and int options take an int (a one-byte BOOL is accepted
// when setting); SO_LINGER takes a linger; SO_SNDTIMEO and SO_RCVTIMEO take milliseconds as a
// DWORD.
constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_DEBUG = 0x0001;
constexpr int SO_ACCEPTCONN = 0x0002;
constexpr int SO_REUSEADDR = 0x0004;
constexpr int SO_KEEPALIVE = 0x0008;
constexpr int SO_DONTROUTE = 0x0010;
constexpr int SO_BROADCAST = 0x0020;
constexpr int SO_LINGER = 0x0080;
constexpr int SO_OOBINLINE = 0x0100;
constexpr int SO_DONTLINGER = ~SO_LINGER;
constexpr int SO_SNDBUF = 0x1001;
constexpr int SO_RCVBUF = 0x1002;
constexpr int SO_SNDLOWAT = 0x1003;
constexpr int SO_RCVLOWAT = 0x1004;
constexpr int SO_SNDTIMEO = 0x1005;
constexpr int SO_RCVTIMEO = 0x1006;
constexpr int SO_ERROR = 0x1007;
constexpr int SO_TYPE = 0x1008;
constexpr int SO_MAX_MSG_SIZE = 0x2003;
constexpr int TCP_NODELAY = 0x0001;
constexpr int TCP_KEEPALIVE = 3;  // idle seconds before the first probe
constexpr int TCP_KEEPCNT = 16;
constexpr int TCP_KEEPINTVL = 17;
constexpr int IP_TOS = 3;
constexpr int IP_TTL = 4;
constexpr int IP_MULTICAST_IF = 9;
constexpr int IP_MULTICAST_TTL = 10;
constexpr int IP_MULTICAST_LOOP = 11;
constexpr int IP_ADD_MEMBERSHIP = 12;
constexpr int IP_DROP_MEMBERSHIP = 13;

struct linger {
    u_short l_onoff;
    u_short l_linger;
};
using LINGER = linger;

struct ip_mreq {
    in_addr imr_multiaddr;
    in_addr imr_interface;
};

constexpr int SOMAXCONN = 0x7FFFFFFF;

// send/recv flags.
constexpr int MSG_OOB = 0x1;
constexpr int MSG_PEEK = 0x2;
constexpr int MSG_DONTROUTE = 0x4;
constexpr int MSG_WAITALL = 0x8;
// This library's own flag, not a Windows one: the call never waits, even on a blocking socket.
// One that would have to wait fails with WSAEWOULDBLOCK and leaves the socket's network events
// as they were (no FD_WRITE owed, FD_READ not re-enabled). For a caller that wants to skip a
// readiness wait when the data or the room is already there.
constexpr int MSG_WS2_NOWAIT = 0x40000000;

// shutdown.
constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

// ioctlsocket and WSAIoctl commands. SIOCATMARK answers TRUE while no out-of-band data waits.
constexpr long FIONBIO = 0x8004667E;
constexpr long FIONREAD = 0x4004667F;
constexpr long SIOCATMARK = 0x40047307;
constexpr DWORD SIO_KEEPALIVE_VALS = 0x98000004;
struct tcp_keepalive {
    ULONG onoff;
    ULONG keepalivetime;      // milliseconds of silence before the first probe
    ULONG keepaliveinterval;  // milliseconds between probes
};

// Network events of WSAAsyncSelect. The message's wParam is the socket, its lParam the event in the
// low word and the error number (0 = none) in the high word.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;
constexpr long FD_ALL_EVENTS = 0x3F;
constexpr int FD_MAX_EVENTS = 10;

constexpr LPARAM WSAMAKESELECTREPLY(unsigned event, unsigned error) {
    return static_cast<LPARAM>((event & 0xFFFF) | ((error & 0xFFFF) << 16));
}
constexpr unsigned WSAGETSELECTEVENT(LPARAM lParam) {
    return lParam & 0xFFFF;
}
constexpr unsigned WSAGETSELECTERROR(LPARAM lParam) {
    return (lParam >> 16) & 0xFFFF;
}

// Database entries (hostent, servent, protoent), IPv4 only. The results of gethostbyname and its
// relatives belong to the library and live until the calling thread's next call of the same kind.
struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};
#define h_addr h_addr_list[0]
struct servent {
    char* s_name;
    char** s_aliases;
    char* s_proto;
    short s_port;  // network byte order
};
struct protoent {
    char* p_name;
    char** p_aliases;
    short p_proto;
};
using HOSTENT = hostent;
using SERVENT = servent;
using PROTOENT = protoent;

// Asynchronous lookups: the result is packed into the caller's buffer, which must stay valid (and
// be aligned for a pointer) until the reply message arrives or the request is cancelled. The
// reply's wParam is the request handle, its lParam the size needed in the low word and the error
// number in the high word.
constexpr int MAXGETHOSTSTRUCT = 1024;
constexpr LPARAM WSAMAKEASYNCREPLY(unsigned buflen, unsigned error) {
    return WSAMAKESELECTREPLY(buflen, error);
}
constexpr unsigned WSAGETASYNCBUFLEN(LPARAM lParam) {
    return WSAGETSELECTEVENT(lParam);
}
constexpr unsigned WSAGETASYNCERROR(LPARAM lParam) {
    return WSAGETSELECTERROR(lParam);
}

// WSAAccept's condition function.
struct WSABUF {
    ULONG len;
    char* buf;
};
using LPWSABUF = WSABUF*;
struct QOS;  // quality of service is not offered: the condition function gets nullptr
using LPQOS = QOS*;
using GROUP = unsigned int;
constexpr int CF_ACCEPT = 0;
constexpr int CF_REJECT = 1;
constexpr int CF_DEFER = 2;
using LPCONDITIONPROC = int (*)(LPWSABUF callerId, LPWSABUF callerData, LPQOS sqos, LPQOS gqos,
                                LPWSABUF calleeId, LPWSABUF calleeData, GROUP* g,
                                DWORD_PTR callbackData);

// Overlapped I/O is not offered; these exist for the WSAIoctl signature.
struct WSAOVERLAPPED;
using LPWSAOVERLAPPED = WSAOVERLAPPED*;
using LPWSAOVERLAPPED_COMPLETION_ROUTINE = void (*)(DWORD error, DWORD transferred,
                                                    LPWSAOVERLAPPED overlapped, DWORD flags);

// Event objects: the library does not export WSAEventSelect or WSAEnumNetworkEvents; these types
// exist for a binding table that keeps a slot for them.
using WSAEVENT = HANDLE;
struct WSANETWORKEVENTS {
    long lNetworkEvents;
    int iErrorCode[FD_MAX_EVENTS];
};
using LPWSANETWORKEVENTS = WSANETWORKEVENTS*;

// The functions, one pointer type per exported name (the name in capitals after LPFN_). Each
// comment names the failures particular to the call; all of them but WSAStartup, the byte-order
// and address-text conversions and the last-error pair also fail with WSANOTINITIALISED before
// start-up, and those taking a SOCKET with WSAENOTSOCK for a handle that is not one of the
// library's sockets. Other errors are the kernel's, translated (ECONNREFUSED is WSAECONNREFUSED).

// socket: AF_INET only (WSAEAFNOSUPPORT), stream, datagram or raw (WSAESOCKTNOSUPPORT).
using LPFN_SOCKET = SOCKET (*)(int af, int type, int protocol);
// bind, connect: WSAEFAULT for a missing or short address, WSAEAFNOSUPPORT for another family.
// connect refuses 0.0.0.0 and port 0 (WSAEADDRNOTAVAIL), a listening socket (WSAEINVAL), a
// connected one (WSAEISCONN) and one still connecting (WSAEALREADY). On a non-blocking socket it
// fails with WSAEWOULDBLOCK and reports the outcome later: writable or in the exception set of
// select, SO_ERROR, FD_CONNECT.
using LPFN_BIND = int (*)(SOCKET s, const sockaddr* name, int namelen);
using LPFN_CONNECT = int (*)(SOCKET s, const sockaddr* name, int namelen);
// listen: WSAEINVAL for an unbound socket, WSAEOPNOTSUPP for a datagram socket.
using LPFN_LISTEN = int (*)(SOCKET s, int backlog);
// accept: WSAEINVAL unless listening; WSAEFAULT when addr is given without 16 bytes of room;
// WSAEWOULDBLOCK on a non-blocking socket with no caller waiting. The new socket takes the
// listener's blocking mode and WSAAsyncSelect registration.
using LPFN_ACCEPT = SOCKET (*)(SOCKET s, sockaddr* addr, int* addrlen);
// WSAAccept: as accept, after asking the condition function (may be null). CF_REJECT resets the
// caller's connection and fails with WSAECONNREFUSED; CF_DEFER keeps it waiting for the next
// accept and fails with WSATRY_AGAIN.
using LPFN_WSAACCEPT = SOCKET (*)(SOCKET s, sockaddr* addr, int* addrlen, LPCONDITIONPROC condition,
                                  DWORD_PTR callbackData);
// closesocket: a call blocked on the socket in another thread is woken and fails with WSAEINTR.
using LPFN_CLOSESOCKET = int (*)(SOCKET s);
// shutdown: WSAEINVAL for another how than SD_RECEIVE, SD_SEND or SD_BOTH; WSAENOTCONN for a
// stream socket without a peer.
using LPFN_SHUTDOWN = int (*)(SOCKET s, int how);
// send, sendto: WSAENOTCONN without a peer (sendto's address counts only for datagrams);
// WSAESHUTDOWN after shutdown(SD_SEND); WSAEWOULDBLOCK when a non-blocking socket is full (an
// FD_WRITE follows when room frees up); WSAEOPNOTSUPP for flags other than MSG_OOB,
// MSG_DONTROUTE and MSG_WS2_NOWAIT. Never raises SIGPIPE.
using LPFN_SEND = int (*)(SOCKET s, const char* buf, int len, int flags);
using LPFN_SENDTO = int (*)(SOCKET s, const char* buf, int len, int flags, const sockaddr* to,
                            int tolen);
// recv, recvfrom: 0 when the peer closed; WSAENOTCONN without a peer; WSAEMSGSIZE when a datagram
// did not fit (the buffer holds its head); WSAEWOULDBLOCK when a non-blocking socket has nothing;
// WSAEOPNOTSUPP for flags other than MSG_OOB, MSG_PEEK, MSG_WAITALL and MSG_WS2_NOWAIT.
using LPFN_RECV = int (*)(SOCKET s, char* buf, int len, int flags);
using LPFN_RECVFROM = int (*)(SOCKET s, char* buf, int len, int flags, sockaddr* from,
                              int* fromlen);
// select: nfds is ignored; the sets come back holding their ready sockets and the result counts
// them all (0 on time-out; a null timeout waits for ever). WSAEINVAL when all sets are null or
// empty or one holds more than FD_SETSIZE entries.
using LPFN_SELECT = int (*)(int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds,
                            const timeval* timeout);
// getsockname, getpeername: WSAEFAULT without 16 bytes of room; getsockname gives WSAEINVAL for
// an unbound socket, getpeername WSAENOTCONN without a peer.
using LPFN_GETSOCKNAME = int (*)(SOCKET s, sockaddr* name, int* namelen);
using LPFN_GETPEERNAME = int (*)(SOCKET s, sockaddr* name, int* namelen);
// getsockopt, setsockopt: WSAEINVAL for an unknown level, WSAENOPROTOOPT for an unknown or
// read-only option, WSAEFAULT for a missing or short value.
using LPFN_GETSOCKOPT = int (*)(SOCKET s, int level, int optname, char* optval, int* optlen);
using LPFN_SETSOCKOPT = int (*)(SOCKET s, int level, int optname, const char* optval, int optlen);
// ioctlsocket: FIONBIO, FIONREAD and SIOCATMARK, else WSAEINVAL; FIONBIO off is WSAEINVAL while
// WSAAsyncSelect is in force.
using LPFN_IOCTLSOCKET = int (*)(SOCKET s, long cmd, u_long* argp);
// WSAIoctl: FIONBIO, FIONREAD, SIOCATMARK and SIO_KEEPALIVE_VALS, else WSAEOPNOTSUPP (also for
// overlapped calls); WSAEFAULT for missing or short buffers.
using LPFN_WSAIOCTL = int (*)(SOCKET s, DWORD code, void* in, DWORD inSize, void* out,
                              DWORD outSize, DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
                              LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);

// Byte order and address text; they cannot fail. inet_addr gives INADDR_NONE for text that is not
// an address (and for "255.255.255.255"); inet_ntoa's text lives in a buffer of the calling thread
// until its next call.
using LPFN_HTONL = uint32_t (*)(uint32_t hostlong);
using LPFN_HTONS = u_short (*)(u_short hostshort);
using LPFN_NTOHL = uint32_t (*)(uint32_t netlong);
using LPFN_NTOHS = u_short (*)(u_short netshort);
using LPFN_INET_ADDR = uint32_t (*)(const char* cp);
using LPFN_INET_NTOA = char* (*)(in_addr in);

// The database calls return nullptr on failure: WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY
// or WSANO_DATA from the resolver, WSANO_DATA for an unknown service or protocol, WSAEFAULT for a
// missing name or a short address, WSAEAFNOSUPPORT for an address family other than AF_INET.
// gethostbyname(nullptr) and gethostbyname("") look up this machine.
using LPFN_GETHOSTBYNAME = hostent* (*)(const char* name);
using LPFN_GETHOSTBYADDR = hostent* (*)(const char* addr, int len, int type);
using LPFN_GETSERVBYNAME = servent* (*)(const char* name, const char* proto);
using LPFN_GETSERVBYPORT = servent* (*)(int port, const char* proto);
using LPFN_GETPROTOBYNAME = protoent* (*)(const char* name);
using LPFN_GETPROTOBYNUMBER = protoent* (*)(int number);
// gethostname: WSAEFAULT for a missing buffer or one too small for the whole name.
using LPFN_GETHOSTNAME = int (*)(char* name, int namelen);

// WSAStartup returns 0 or its error number (WSAVERNOTSUPPORTED below version 1.0, WSAEFAULT
// without a record), not through WSAGetLastError. WSACleanup fails with WSANOTINITIALISED when
// no start-up is left to balance; the last one closes every socket of the library.
using LPFN_WSASTARTUP = int (*)(WORD versionRequested, LPWSADATA data);
using LPFN_WSACLEANUP = int (*)();
using LPFN_WSASETLASTERROR = void (*)(int error);
using LPFN_WSAGETLASTERROR = int (*)();

// The asynchronous database calls return a request handle, or nullptr: WSAEFAULT for a missing
// buffer or name, WSAEAFNOSUPPORT for another family. The reply message comes later (see
// WSAMAKEASYNCREPLY). WSACancelAsyncRequest: WSAEALREADY once the reply was posted, WSAEINVAL for
// an unknown handle.
using LPFN_WSAASYNCGETHOSTBYNAME = HANDLE (*)(HWND hwnd, u_int msg, const char* name, char* buf,
                                              int buflen);
using LPFN_WSAASYNCGETHOSTBYADDR = HANDLE (*)(HWND hwnd, u_int msg, const char* addr, int len,
                                              int type, char* buf, int buflen);
using LPFN_WSAASYNCGETSERVBYNAME = HANDLE (*)(HWND hwnd, u_int msg, const char* name,
                                              const char* proto, char* buf, int buflen);
using LPFN_WSAASYNCGETSERVBYPORT = HANDLE (*)(HWND hwnd, u_int msg, int port, const char* proto,
                                              char* buf, int buflen);
using LPFN_WSAASYNCGETPROTOBYNAME = HANDLE (*)(HWND hwnd, u_int msg, const char* name, char* buf,
                                               int buflen);
using LPFN_WSAASYNCGETPROTOBYNUMBER = HANDLE (*)(HWND hwnd, u_int msg, int number, char* buf,
                                                 int buflen);
using LPFN_WSACANCELASYNCREQUEST = int (*)(HANDLE request);

// WSAAsyncSelect posts msg to hwnd for the network events (FD_*) of s and makes s non-blocking;
// events 0 stops the messages (s stays non-blocking). WSAEINVAL for an unknown event bit or, with
// events, a window that does not exist; WSAENOBUFS when the watcher thread cannot start.
using LPFN_WSAASYNCSELECT = int (*)(SOCKET s, HWND hwnd, u_int msg, long events);

// Not exported (see WSAEVENT above); the types serve a binding table that keeps their slots.
using LPFN_WSAEVENTSELECT = int (*)(SOCKET s, WSAEVENT event, long events);
using LPFN_WSAENUMNETWORKEVENTS = int (*)(SOCKET s, WSAEVENT event,
                                          LPWSANETWORKEVENTS networkEvents);

// The functions an application binds by name from this library (dlsym), in binding order,
// each with the suffix of its LPFN_ type. The socket control's entry table and the library's
// own tests are built from this one list.
// clang-format off
#define WS2_BINDING_FUNCTIONS(X)                          \
    X(accept, ACCEPT)                                     \
    X(bind, BIND)                                         \
    X(closesocket, CLOSESOCKET)                           \
    X(connect, CONNECT)                                   \
    X(ioctlsocket, IOCTLSOCKET)                           \
    X(getpeername, GETPEERNAME)                           \
    X(getsockname, GETSOCKNAME)                           \
    X(getsockopt, GETSOCKOPT)                             \
    X(htonl, HTONL)                                       \
    X(htons, HTONS)                                       \
    X(inet_addr, INET_ADDR)                               \
    X(inet_ntoa, INET_NTOA)                               \
    X(listen, LISTEN)                                     \
    X(ntohl, NTOHL)                                       \
    X(ntohs, NTOHS)                                       \
    X(recv, RECV)                                         \
    X(recvfrom, RECVFROM)                                 \
    X(select, SELECT)                                     \
    X(send, SEND)                                         \
    X(sendto, SENDTO)                                     \
    X(setsockopt, SETSOCKOPT)                             \
    X(shutdown, SHUTDOWN)                                 \
    X(socket, SOCKET)                                     \
    X(gethostbyaddr, GETHOSTBYADDR)                       \
    X(gethostbyname, GETHOSTBYNAME)                       \
    X(gethostname, GETHOSTNAME)                           \
    X(getservbyport, GETSERVBYPORT)                       \
    X(getservbyname, GETSERVBYNAME)                       \
    X(getprotobynumber, GETPROTOBYNUMBER)                 \
    X(getprotobyname, GETPROTOBYNAME)                     \
    X(WSAAccept, WSAACCEPT)                               \
    X(WSAStartup, WSASTARTUP)                             \
    X(WSACleanup, WSACLEANUP)                             \
    X(WSASetLastError, WSASETLASTERROR)                   \
    X(WSAGetLastError, WSAGETLASTERROR)                   \
    X(WSAAsyncGetServByName, WSAASYNCGETSERVBYNAME)       \
    X(WSAAsyncGetServByPort, WSAASYNCGETSERVBYPORT)       \
    X(WSAAsyncGetProtoByName, WSAASYNCGETPROTOBYNAME)     \
    X(WSAAsyncGetProtoByNumber, WSAASYNCGETPROTOBYNUMBER) \
    X(WSAAsyncGetHostByName, WSAASYNCGETHOSTBYNAME)       \
    X(WSAAsyncGetHostByAddr, WSAASYNCGETHOSTBYADDR)       \
    X(WSACancelAsyncRequest, WSACANCELASYNCREQUEST)       \
    X(WSAAsyncSelect, WSAASYNCSELECT)                     \
    X(WSAEventSelect, WSAEVENTSELECT)                     \
    X(WSAEnumNetworkEvents, WSAENUMNETWORKEVENTS)         \
    X(WSAIoctl, WSAIOCTL)
// clang-format on
