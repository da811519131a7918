// The call wrappers: test the slot, call through, hand the result and the arguments to the trace
// hook, return the result unchanged.

#include <bit>

#include "winsock/ocx/base/constants.h"
#include "winsock/ocx/binding/network_library.h"

namespace kvlink {
namespace {

// The binding's own last error, for a library without WSAGetLastError and WSASetLastError.
thread_local int t_lastError = 0;

template <typename T>
T networkOrder(T value) {
    if constexpr (std::endian::native == std::endian::big) {
        return value;
    } else if constexpr (sizeof(T) == 2) {
        return static_cast<T>(__builtin_bswap16(value));
    } else {
        return static_cast<T>(__builtin_bswap32(value));
    }
}

}  // namespace

template <typename Function, typename Hook, typename Result, typename... Args>
Result NetworkLibrary::call(Function function, std::atomic<Hook>& hook, Result failed,
                            Args... args) {
    if (!function) {
        setLastError(wrErrorNotImplemented);
        return failed;
    }
    Result result = function(args...);
    if (Hook traced = hook.load(std::memory_order_acquire)) traced(result, args...);
    return result;
}

int NetworkLibrary::getLastError() {
    return m_api.WSAGetLastError ? m_api.WSAGetLastError() : t_lastError;
}

void NetworkLibrary::setLastError(int error) {
    if (m_api.WSASetLastError) {
        m_api.WSASetLastError(error);
    } else {
        t_lastError = error;
    }
}

SOCKET NetworkLibrary::accept(SOCKET s, sockaddr* addr, int* addrlen) {
    return call(m_api.accept, m_trace.hooks().accept, INVALID_SOCKET, s, addr, addrlen);
}

int NetworkLibrary::bind(SOCKET s, const sockaddr* name, int namelen) {
    return call(m_api.bind, m_trace.hooks().bind, SOCKET_ERROR, s, name, namelen);
}

int NetworkLibrary::closesocket(SOCKET s) {
    return call(m_api.closesocket, m_trace.hooks().closesocket, SOCKET_ERROR, s);
}

int NetworkLibrary::connect(SOCKET s, const sockaddr* name, int namelen) {
    return call(m_api.connect, m_trace.hooks().connect, SOCKET_ERROR, s, name, namelen);
}

int NetworkLibrary::ioctlsocket(SOCKET s, long cmd, u_long* argp) {
    return call(m_api.ioctlsocket, m_trace.hooks().ioctlsocket, SOCKET_ERROR, s, cmd, argp);
}

int NetworkLibrary::getpeername(SOCKET s, sockaddr* name, int* namelen) {
    return call(m_api.getpeername, m_trace.hooks().getpeername, SOCKET_ERROR, s, name, namelen);
}

int NetworkLibrary::getsockname(SOCKET s, sockaddr* name, int* namelen) {
    return call(m_api.getsockname, m_trace.hooks().getsockname, SOCKET_ERROR, s, name, namelen);
}

int NetworkLibrary::getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
    return call(m_api.getsockopt, m_trace.hooks().getsockopt, SOCKET_ERROR, s, level, optname,
                optval, optlen);
}

// The byte-order conversions cannot fail, so a library without them is stood in for here rather
// than letting a wrong port or address through.
uint32_t NetworkLibrary::htonl(uint32_t hostlong) {
    return m_api.htonl ? m_api.htonl(hostlong) : networkOrder(hostlong);
}

u_short NetworkLibrary::htons(u_short hostshort) {
    return m_api.htons ? m_api.htons(hostshort) : networkOrder(hostshort);
}

uint32_t NetworkLibrary::ntohl(uint32_t netlong) {
    return m_api.ntohl ? m_api.ntohl(netlong) : networkOrder(netlong);
}

u_short NetworkLibrary::ntohs(u_short netshort) {
    return m_api.ntohs ? m_api.ntohs(netshort) : networkOrder(netshort);
}

uint32_t NetworkLibrary::inet_addr(const char* cp) {
    if (!m_api.inet_addr) {
        setLastError(wrErrorNotImplemented);
        return INADDR_NONE;
    }
    return m_api.inet_addr(cp);
}

char* NetworkLibrary::inet_ntoa(in_addr in) {
    if (!m_api.inet_ntoa) {
        setLastError(wrErrorNotImplemented);
        return nullptr;
    }
    return m_api.inet_ntoa(in);
}

int NetworkLibrary::listen(SOCKET s, int backlog) {
    return call(m_api.listen, m_trace.hooks().listen, SOCKET_ERROR, s, backlog);
}

int NetworkLibrary::recv(SOCKET s, char* buf, int len, int flags) {
    return call(m_api.recv, m_trace.hooks().recv, SOCKET_ERROR, s, buf, len, flags);
}

int NetworkLibrary::recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from,
                             int* fromlen) {
    return call(m_api.recvfrom, m_trace.hooks().recvfrom, SOCKET_ERROR, s, buf, len, flags, from,
                fromlen);
}

int NetworkLibrary::select(int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds,
                           const timeval* timeout) {
    return call(m_api.select, m_trace.hooks().select, SOCKET_ERROR, nfds, readfds, writefds,
                exceptfds, timeout);
}

int NetworkLibrary::selectUntraced(int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds,
                                   const timeval* timeout) {
    if (!m_api.select) {
        setLastError(wrErrorNotImplemented);
        return SOCKET_ERROR;
    }
    return m_api.select(nfds, readfds, writefds, exceptfds, timeout);
}

void NetworkLibrary::traceSelect(int result, int nfds, FD_SET* readfds, FD_SET* writefds,
                                 FD_SET* exceptfds, const timeval* timeout) {
    if (auto hook = m_trace.hooks().select.load(std::memory_order_acquire)) {
        hook(result, nfds, readfds, writefds, exceptfds, timeout);
    }
}

bool NetworkLibrary::tracingTransfers() {
    TraceHooks& hooks = m_trace.hooks();
    return hooks.select.load(std::memory_order_acquire) ||
           hooks.send.load(std::memory_order_acquire) || hooks.recv.load(std::memory_order_acquire);
}

int NetworkLibrary::send(SOCKET s, const char* buf, int len, int flags) {
    return call(m_api.send, m_trace.hooks().send, SOCKET_ERROR, s, buf, len, flags);
}

int NetworkLibrary::sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to,
                           int tolen) {
    return call(m_api.sendto, m_trace.hooks().sendto, SOCKET_ERROR, s, buf, len, flags, to, tolen);
}

int NetworkLibrary::setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
    return call(m_api.setsockopt, m_trace.hooks().setsockopt, SOCKET_ERROR, s, level, optname,
                optval, optlen);
}

int NetworkLibrary::shutdown(SOCKET s, int how) {
    return call(m_api.shutdown, m_trace.hooks().shutdown, SOCKET_ERROR, s, how);
}

SOCKET NetworkLibrary::socket(int af, int type, int protocol) {
    return call(m_api.socket, m_trace.hooks().socket, INVALID_SOCKET, af, type, protocol);
}

hostent* NetworkLibrary::gethostbyaddr(const char* addr, int len, int type) {
    return call(m_api.gethostbyaddr, m_trace.hooks().gethostbyaddr, static_cast<hostent*>(nullptr),
                addr, len, type);
}

hostent* NetworkLibrary::gethostbyname(const char* name) {
    return call(m_api.gethostbyname, m_trace.hooks().gethostbyname, static_cast<hostent*>(nullptr),
                name);
}

int NetworkLibrary::gethostname(char* name, int namelen) {
    return call(m_api.gethostname, m_trace.hooks().gethostname, SOCKET_ERROR, name, namelen);
}

servent* NetworkLibrary::getservbyport(int port, const char* proto) {
    return call(m_api.getservbyport, m_trace.hooks().getservbyport, static_cast<servent*>(nullptr),
                port, proto);
}

servent* NetworkLibrary::getservbyname(const char* name, const char* proto) {
    return call(m_api.getservbyname, m_trace.hooks().getservbyname, static_cast<servent*>(nullptr),
                name, proto);
}

protoent* NetworkLibrary::getprotobynumber(int number) {
    return call(m_api.getprotobynumber, m_trace.hooks().getprotobynumber,
                static_cast<protoent*>(nullptr), number);
}

protoent* NetworkLibrary::getprotobyname(const char* name) {
    return call(m_api.getprotobyname, m_trace.hooks().getprotobyname,
                static_cast<protoent*>(nullptr), name);
}

SOCKET NetworkLibrary::WSAAccept(SOCKET s, sockaddr* addr, int* addrlen, LPCONDITIONPROC condition,
                                 DWORD_PTR callbackData) {
    if (!m_api.WSAAccept) {
        setLastError(wrErrorNotImplemented);
        return INVALID_SOCKET;
    }
    return m_api.WSAAccept(s, addr, addrlen, condition, callbackData);
}

HANDLE NetworkLibrary::WSAAsyncGetServByName(HWND hwnd, u_int msg, const char* name,
                                             const char* proto, char* buf, int buflen) {
    return call(m_api.WSAAsyncGetServByName, m_trace.hooks().WSAAsyncGetServByName, HANDLE{}, hwnd,
                msg, name, proto, buf, buflen);
}

HANDLE NetworkLibrary::WSAAsyncGetServByPort(HWND hwnd, u_int msg, int port, const char* proto,
                                             char* buf, int buflen) {
    return call(m_api.WSAAsyncGetServByPort, m_trace.hooks().WSAAsyncGetServByPort, HANDLE{}, hwnd,
                msg, port, proto, buf, buflen);
}

HANDLE NetworkLibrary::WSAAsyncGetProtoByName(HWND hwnd, u_int msg, const char* name, char* buf,
                                              int buflen) {
    return call(m_api.WSAAsyncGetProtoByName, m_trace.hooks().WSAAsyncGetProtoByName, HANDLE{},
                hwnd, msg, name, buf, buflen);
}

HANDLE NetworkLibrary::WSAAsyncGetProtoByNumber(HWND hwnd, u_int msg, int number, char* buf,
                                                int buflen) {
    return call(m_api.WSAAsyncGetProtoByNumber, m_trace.hooks().WSAAsyncGetProtoByNumber, HANDLE{},
                hwnd, msg, number, buf, buflen);
}

HANDLE NetworkLibrary::WSAAsyncGetHostByName(HWND hwnd, u_int msg, const char* name, char* buf,
                                             int buflen) {
    return call(m_api.WSAAsyncGetHostByName, m_trace.hooks().WSAAsyncGetHostByName, HANDLE{}, hwnd,
                msg, name, buf, buflen);
}

HANDLE NetworkLibrary::WSAAsyncGetHostByAddr(HWND hwnd, u_int msg, const char* addr, int len,
                                             int type, char* buf, int buflen) {
    return call(m_api.WSAAsyncGetHostByAddr, m_trace.hooks().WSAAsyncGetHostByAddr, HANDLE{}, hwnd,
                msg, addr, len, type, buf, buflen);
}

int NetworkLibrary::WSACancelAsyncRequest(HANDLE request) {
    return call(m_api.WSACancelAsyncRequest, m_trace.hooks().WSACancelAsyncRequest, SOCKET_ERROR,
                request);
}

int NetworkLibrary::WSAAsyncSelect(SOCKET s, HWND hwnd, u_int msg, long events) {
    return call(m_api.WSAAsyncSelect, m_trace.hooks().WSAAsyncSelect, SOCKET_ERROR, s, hwnd, msg,
                events);
}

int NetworkLibrary::WSAEventSelect(SOCKET s, WSAEVENT event, long events) {
    return call(m_api.WSAEventSelect, m_trace.hooks().WSAEventSelect, SOCKET_ERROR, s, event,
                events);
}

int NetworkLibrary::WSAEnumNetworkEvents(SOCKET s, WSAEVENT event,
                                         LPWSANETWORKEVENTS networkEvents) {
    return call(m_api.WSAEnumNetworkEvents, m_trace.hooks().WSAEnumNetworkEvents, SOCKET_ERROR, s,
                event, networkEvents);
}

int NetworkLibrary::WSAIoctl(SOCKET s, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                             DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
                             LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) {
    return call(m_api.WSAIoctl, m_trace.hooks().WSAIoctl, SOCKET_ERROR, s, code, in, inSize, out,
                outSize, bytesReturned, overlapped, completion);
}

}  // namespace kvlink
