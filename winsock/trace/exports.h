#pragma once
// The functions libkvtrace6.so exports, with default visibility; everything else in the library
// is hidden, and the version script exports exactly these names. None of them is a name of the
// C library, so the library interposes on nothing.

#include <type_traits>

#include "winsock/trace/kvtrace6.h"

#define KVTRACE_EXPORT __attribute__((visibility("default")))

extern "C" {
KVTRACE_EXPORT BOOL WSXSetupTrace(LPFN_WSAGETLASTERROR getError, LPFN_WSASETLASTERROR setError);
KVTRACE_EXPORT BOOL WSXEnableTrace(const char* fileName, DWORD flags);
KVTRACE_EXPORT BOOL WSXDisableTrace();
KVTRACE_EXPORT int WSXGetTraceUsage();
KVTRACE_EXPORT BOOL WSXSetTraceFile(const char* fileName);
KVTRACE_EXPORT int WSXGetTraceFile(char* buffer, int size);
KVTRACE_EXPORT DWORD WSXSetTraceFlags(DWORD flags);
KVTRACE_EXPORT DWORD WSAGetTraceFlags();
KVTRACE_EXPORT BOOL WSXTraceWrite(DWORD flags, const char* data, int size);

KVTRACE_EXPORT void TX_accept(SOCKET result, SOCKET s, sockaddr* addr, int* addrlen);
KVTRACE_EXPORT void TX_bind(int result, SOCKET s, const sockaddr* name, int namelen);
KVTRACE_EXPORT void TX_closesocket(int result, SOCKET s);
KVTRACE_EXPORT void TX_connect(int result, SOCKET s, const sockaddr* name, int namelen);
KVTRACE_EXPORT void TX_ioctlsocket(int result, SOCKET s, long cmd, u_long* argp);
KVTRACE_EXPORT void TX_getpeername(int result, SOCKET s, sockaddr* name, int* namelen);
KVTRACE_EXPORT void TX_getsockname(int result, SOCKET s, sockaddr* name, int* namelen);
KVTRACE_EXPORT void TX_getsockopt(int result, SOCKET s, int level, int optname, char* optval,
                                  int* optlen);
KVTRACE_EXPORT void TX_listen(int result, SOCKET s, int backlog);
KVTRACE_EXPORT void TX_recv(int result, SOCKET s, char* buf, int len, int flags);
KVTRACE_EXPORT void TX_recvfrom(int result, SOCKET s, char* buf, int len, int flags, sockaddr* from,
                                int* fromlen);
KVTRACE_EXPORT void TX_select(int result, int nfds, FD_SET* readfds, FD_SET* writefds,
                              FD_SET* exceptfds, const timeval* timeout);
KVTRACE_EXPORT void TX_send(int result, SOCKET s, const char* buf, int len, int flags);
KVTRACE_EXPORT void TX_sendto(int result, SOCKET s, const char* buf, int len, int flags,
                              const sockaddr* to, int tolen);
KVTRACE_EXPORT void TX_setsockopt(int result, SOCKET s, int level, int optname, const char* optval,
                                  int optlen);
KVTRACE_EXPORT void TX_shutdown(int result, SOCKET s, int how);
KVTRACE_EXPORT void TX_socket(SOCKET result, int af, int type, int protocol);
KVTRACE_EXPORT void TX_gethostbyaddr(hostent* result, const char* addr, int len, int type);
KVTRACE_EXPORT void TX_gethostbyname(hostent* result, const char* name);
KVTRACE_EXPORT void TX_gethostname(int result, char* name, int namelen);
KVTRACE_EXPORT void TX_getservbyport(servent* result, int port, const char* proto);
KVTRACE_EXPORT void TX_getservbyname(servent* result, const char* name, const char* proto);
KVTRACE_EXPORT void TX_getprotobynumber(protoent* result, int number);
KVTRACE_EXPORT void TX_getprotobyname(protoent* result, const char* name);
KVTRACE_EXPORT void TX_WSAAsyncGetServByName(HANDLE result, HWND hwnd, u_int msg, const char* name,
                                             const char* proto, char* buf, int buflen);
KVTRACE_EXPORT void TX_WSAAsyncGetServByPort(HANDLE result, HWND hwnd, u_int msg, int port,
                                             const char* proto, char* buf, int buflen);
KVTRACE_EXPORT void TX_WSAAsyncGetProtoByName(HANDLE result, HWND hwnd, u_int msg, const char* name,
                                              char* buf, int buflen);
KVTRACE_EXPORT void TX_WSAAsyncGetProtoByNumber(HANDLE result, HWND hwnd, u_int msg, int number,
                                                char* buf, int buflen);
KVTRACE_EXPORT void TX_WSAAsyncGetHostByName(HANDLE result, HWND hwnd, u_int msg, const char* name,
                                             char* buf, int buflen);
KVTRACE_EXPORT void TX_WSAAsyncGetHostByAddr(HANDLE result, HWND hwnd, u_int msg, const char* addr,
                                             int len, int type, char* buf, int buflen);
KVTRACE_EXPORT void TX_WSACancelAsyncRequest(int result, HANDLE request);
KVTRACE_EXPORT void TX_WSAAsyncSelect(int result, SOCKET s, HWND hwnd, u_int msg, long events);
KVTRACE_EXPORT void TX_WSAEventSelect(int result, SOCKET s, WSAEVENT event, long events);
KVTRACE_EXPORT void TX_WSAEnumNetworkEvents(int result, SOCKET s, WSAEVENT event,
                                            LPWSANETWORKEVENTS networkEvents);
KVTRACE_EXPORT void TX_WSAIoctl(int result, SOCKET s, DWORD code, void* in, DWORD inSize, void* out,
                                DWORD outSize, DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
                                LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);
}

// Each definition has exactly the type its caller binds it as.
#define KVTRACE_CHECK_HOOK(name, type) \
    static_assert(std::is_same_v<decltype(&TX_##name), TraceHook<LPFN_##type>>);
KVTRACE_HOOKS(KVTRACE_CHECK_HOOK)
#undef KVTRACE_CHECK_HOOK
#define KVTRACE_CHECK_ENTRY(name, type) static_assert(std::is_same_v<decltype(&name), LPFN_##type>);
KVTRACE_ENTRIES(KVTRACE_CHECK_ENTRY)
#undef KVTRACE_CHECK_ENTRY
