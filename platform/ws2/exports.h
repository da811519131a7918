#pragma once
// The functions that libws2_32.so exports, declared under C++ names of their own that carry the
// Winsock names as their symbols.
//
// The Winsock names are the C library's too (select, send, gethostname, ...), and every C++
// translation unit sees some of those declared, so the library cannot define them under those
// names in C++. Each is declared here with an asm label that gives its symbol the Winsock name,
// and default visibility; everything else in the library is hidden, and the version script
// exports exactly these names. No part of the library calls them by their symbol: the library
// is linked with -Bsymbolic and reaches the C library's socket calls through sys.h.

#include <type_traits>

#include "platform/ws2/winsock2.h"

#define WS2_EXPORT(symbol) __asm__(#symbol) __attribute__((visibility("default")))

extern "C" {
SOCKET wsAccept(SOCKET s, sockaddr* addr, int* addrlen) WS2_EXPORT(accept);
int wsBind(SOCKET s, const sockaddr* name, int namelen) WS2_EXPORT(bind);
int wsClosesocket(SOCKET s) WS2_EXPORT(closesocket);
int wsConnect(SOCKET s, const sockaddr* name, int namelen) WS2_EXPORT(connect);
int wsIoctlsocket(SOCKET s, long cmd, u_long* argp) WS2_EXPORT(ioctlsocket);
int wsGetpeername(SOCKET s, sockaddr* name, int* namelen) WS2_EXPORT(getpeername);
int wsGetsockname(SOCKET s, sockaddr* name, int* namelen) WS2_EXPORT(getsockname);
int wsGetsockopt(SOCKET s, int level, int optname, char* optval, int* optlen)
    WS2_EXPORT(getsockopt);
uint32_t wsHtonl(uint32_t hostlong) WS2_EXPORT(htonl);
u_short wsHtons(u_short hostshort) WS2_EXPORT(htons);
uint32_t wsInetAddr(const char* cp) WS2_EXPORT(inet_addr);
char* wsInetNtoa(in_addr in) WS2_EXPORT(inet_ntoa);
int wsListen(SOCKET s, int backlog) WS2_EXPORT(listen);
uint32_t wsNtohl(uint32_t netlong) WS2_EXPORT(ntohl);
u_short wsNtohs(u_short netshort) WS2_EXPORT(ntohs);
int wsRecv(SOCKET s, char* buf, int len, int flags) WS2_EXPORT(recv);
int wsRecvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen)
    WS2_EXPORT(recvfrom);
int wsSelect(int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds, const timeval* timeout)
    WS2_EXPORT(select);
int wsSend(SOCKET s, const char* buf, int len, int flags) WS2_EXPORT(send);
int wsSendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen)
    WS2_EXPORT(sendto);
int wsSetsockopt(SOCKET s, int level, int optname, const char* optval, int optlen)
    WS2_EXPORT(setsockopt);
int wsShutdown(SOCKET s, int how) WS2_EXPORT(shutdown);
SOCKET wsSocket(int af, int type, int protocol) WS2_EXPORT(socket);
hostent* wsGethostbyaddr(const char* addr, int len, int type) WS2_EXPORT(gethostbyaddr);
hostent* wsGethostbyname(const char* name) WS2_EXPORT(gethostbyname);
int wsGethostname(char* name, int namelen) WS2_EXPORT(gethostname);
servent* wsGetservbyport(int port, const char* proto) WS2_EXPORT(getservbyport);
servent* wsGetservbyname(const char* name, const char* proto) WS2_EXPORT(getservbyname);
protoent* wsGetprotobynumber(int number) WS2_EXPORT(getprotobynumber);
protoent* wsGetprotobyname(const char* name) WS2_EXPORT(getprotobyname);
SOCKET wsWSAAccept(SOCKET s, sockaddr* addr, int* addrlen, LPCONDITIONPROC condition,
                   DWORD_PTR callbackData) WS2_EXPORT(WSAAccept);
int wsWSAStartup(WORD versionRequested, LPWSADATA data) WS2_EXPORT(WSAStartup);
int wsWSACleanup() WS2_EXPORT(WSACleanup);
void wsWSASetLastError(int error) WS2_EXPORT(WSASetLastError);
int wsWSAGetLastError() WS2_EXPORT(WSAGetLastError);
HANDLE wsWSAAsyncGetServByName(HWND hwnd, u_int msg, const char* name, const char* proto, char* buf,
                               int buflen) WS2_EXPORT(WSAAsyncGetServByName);
HANDLE wsWSAAsyncGetServByPort(HWND hwnd, u_int msg, int port, const char* proto, char* buf,
                               int buflen) WS2_EXPORT(WSAAsyncGetServByPort);
HANDLE wsWSAAsyncGetProtoByName(HWND hwnd, u_int msg, const char* name, char* buf, int buflen)
    WS2_EXPORT(WSAAsyncGetProtoByName);
HANDLE wsWSAAsyncGetProtoByNumber(HWND hwnd, u_int msg, int number, char* buf, int buflen)
    WS2_EXPORT(WSAAsyncGetProtoByNumber);
HANDLE wsWSAAsyncGetHostByName(HWND hwnd, u_int msg, const char* name, char* buf, int buflen)
    WS2_EXPORT(WSAAsyncGetHostByName);
HANDLE wsWSAAsyncGetHostByAddr(HWND hwnd, u_int msg, const char* addr, int len, int type, char* buf,
                               int buflen) WS2_EXPORT(WSAAsyncGetHostByAddr);
int wsWSACancelAsyncRequest(HANDLE request) WS2_EXPORT(WSACancelAsyncRequest);
int wsWSAAsyncSelect(SOCKET s, HWND hwnd, u_int msg, long events) WS2_EXPORT(WSAAsyncSelect);
int wsWSAIoctl(SOCKET s, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
               DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
               LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) WS2_EXPORT(WSAIoctl);
}

// Each export has exactly the type that callers bind it to.
static_assert(std::is_same_v<decltype(&wsAccept), LPFN_ACCEPT>);
static_assert(std::is_same_v<decltype(&wsBind), LPFN_BIND>);
static_assert(std::is_same_v<decltype(&wsClosesocket), LPFN_CLOSESOCKET>);
static_assert(std::is_same_v<decltype(&wsConnect), LPFN_CONNECT>);
static_assert(std::is_same_v<decltype(&wsIoctlsocket), LPFN_IOCTLSOCKET>);
static_assert(std::is_same_v<decltype(&wsGetpeername), LPFN_GETPEERNAME>);
static_assert(std::is_same_v<decltype(&wsGetsockname), LPFN_GETSOCKNAME>);
static_assert(std::is_same_v<decltype(&wsGetsockopt), LPFN_GETSOCKOPT>);
static_assert(std::is_same_v<decltype(&wsHtonl), LPFN_HTONL>);
static_assert(std::is_same_v<decltype(&wsHtons), LPFN_HTONS>);
static_assert(std::is_same_v<decltype(&wsInetAddr), LPFN_INET_ADDR>);
static_assert(std::is_same_v<decltype(&wsInetNtoa), LPFN_INET_NTOA>);
static_assert(std::is_same_v<decltype(&wsListen), LPFN_LISTEN>);
static_assert(std::is_same_v<decltype(&wsNtohl), LPFN_NTOHL>);
static_assert(std::is_same_v<decltype(&wsNtohs), LPFN_NTOHS>);
static_assert(std::is_same_v<decltype(&wsRecv), LPFN_RECV>);
static_assert(std::is_same_v<decltype(&wsRecvfrom), LPFN_RECVFROM>);
static_assert(std::is_same_v<decltype(&wsSelect), LPFN_SELECT>);
static_assert(std::is_same_v<decltype(&wsSend), LPFN_SEND>);
static_assert(std::is_same_v<decltype(&wsSendto), LPFN_SENDTO>);
static_assert(std::is_same_v<decltype(&wsSetsockopt), LPFN_SETSOCKOPT>);
static_assert(std::is_same_v<decltype(&wsShutdown), LPFN_SHUTDOWN>);
static_assert(std::is_same_v<decltype(&wsSocket), LPFN_SOCKET>);
static_assert(std::is_same_v<decltype(&wsGethostbyaddr), LPFN_GETHOSTBYADDR>);
static_assert(std::is_same_v<decltype(&wsGethostbyname), LPFN_GETHOSTBYNAME>);
static_assert(std::is_same_v<decltype(&wsGethostname), LPFN_GETHOSTNAME>);
static_assert(std::is_same_v<decltype(&wsGetservbyport), LPFN_GETSERVBYPORT>);
static_assert(std::is_same_v<decltype(&wsGetservbyname), LPFN_GETSERVBYNAME>);
static_assert(std::is_same_v<decltype(&wsGetprotobynumber), LPFN_GETPROTOBYNUMBER>);
static_assert(std::is_same_v<decltype(&wsGetprotobyname), LPFN_GETPROTOBYNAME>);
static_assert(std::is_same_v<decltype(&wsWSAAccept), LPFN_WSAACCEPT>);
static_assert(std::is_same_v<decltype(&wsWSAStartup), LPFN_WSASTARTUP>);
static_assert(std::is_same_v<decltype(&wsWSACleanup), LPFN_WSACLEANUP>);
static_assert(std::is_same_v<decltype(&wsWSASetLastError), LPFN_WSASETLASTERROR>);
static_assert(std::is_same_v<decltype(&wsWSAGetLastError), LPFN_WSAGETLASTERROR>);
static_assert(std::is_same_v<decltype(&wsWSAAsyncGetServByName), LPFN_WSAASYNCGETSERVBYNAME>);
static_assert(std::is_same_v<decltype(&wsWSAAsyncGetServByPort), LPFN_WSAASYNCGETSERVBYPORT>);
static_assert(std::is_same_v<decltype(&wsWSAAsyncGetProtoByName), LPFN_WSAASYNCGETPROTOBYNAME>);
static_assert(std::is_same_v<decltype(&wsWSAAsyncGetProtoByNumber), LPFN_WSAASYNCGETPROTOBYNUMBER>);
static_assert(std::is_same_v<decltype(&wsWSAAsyncGetHostByName), LPFN_WSAASYNCGETHOSTBYNAME>);
static_assert(std::is_same_v<decltype(&wsWSAAsyncGetHostByAddr), LPFN_WSAASYNCGETHOSTBYADDR>);
static_assert(std::is_same_v<decltype(&wsWSACancelAsyncRequest), LPFN_WSACANCELASYNCREQUEST>);
static_assert(std::is_same_v<decltype(&wsWSAAsyncSelect), LPFN_WSAASYNCSELECT>);
static_assert(std::is_same_v<decltype(&wsWSAIoctl), LPFN_WSAIOCTL>);
