#pragma once
// The control's binding of the network library (libws2_32.so): loaded by name at run time, bound
// function by function into one entry table, started and stopped with a count of its users, and
// called through one wrapper per function that also feeds the optional trace library.
//
//   NetworkLibrary& net = networkLibrary();
//   WSADATA data;
//   if (!net.start("", MAKEWORD(2, 2), &data, nullptr)) return SocketError();
//   SOCKET s = net.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
//   if (s == INVALID_SOCKET) SetSocketError(net.getLastError());
//   ...
//   net.stop();
//
// The process has one instance, networkLibrary(); tests make their own to bind other libraries.
// The library, once loaded, stays loaded for the life of the process (it keeps threads and
// per-thread state that must not outlive their code), and a later start with another name uses
// it too.
//
// This header is the Winsock view (winsock2.h): a translation unit that includes it must not
// include the POSIX socket headers.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/ws2/winsock2.h"
#include "winsock/ocx/binding/module.h"
#include "winsock/ocx/binding/network_api.h"
#include "winsock/ocx/binding/trace_link.h"

namespace kvlink {

// The library information record that start fills when the caller passes one. The caller sets
// dwSize to sizeof(LibraryInfo), 160; start refuses any other size. The Winsock fields repeat
// the library's start-up data.
struct LibraryInfo {
    uint32_t dwSize;
    uint16_t wMajorVersion;        // 6
    uint16_t wMinorVersion;        // 0
    uint32_t dwBuildNumber;        // 6000
    uint16_t wWinsockVersion;      // the version agreed with the network library
    uint16_t wWinsockHighVersion;  // the highest version the network library offers
    uint16_t wMaxSockets;
    uint16_t wMaxDatagram;
    char szDescription[140];  // "Wirran Windows Sockets Library"
};
static_assert(sizeof(LibraryInfo) == 160);

// The module loaded when no name is given, and the trace library's.
inline constexpr const char* kDefaultNetworkModule = "WS2_32.DLL";
inline constexpr const char* kTraceModule = "kvtrace6.DLL";

class NetworkLibrary {
  public:
    // traceModule names the trace library that enableTrace loads.
    explicit NetworkLibrary(std::string traceModule = kTraceModule);
    NetworkLibrary(const NetworkLibrary&) = delete;
    NetworkLibrary& operator=(const NetworkLibrary&) = delete;

    // start loads the network library when none is loaded yet (moduleName, or "WS2_32.DLL" when
    // it is empty; see moduleFileName for the mapping), fills the entry table, and starts the
    // library with version (the control asks for 2.2), which fills *data. When info is given,
    // its dwSize must be 160 and it receives the version, build, start-up data and description.
    // Returns true and clears the socket layer's error slot; on failure returns false with the
    // error in that slot: wrErrorInvalidParameter 10014 for a wrong dwSize,
    // wrErrorInvalidVersion 10092 for the default library with a major version below 2,
    // wrErrorNetworkNotReady 10091 when the library cannot be loaded or has no WSAStartup, or the
    // library's own start-up error. data may be null.
    bool start(const std::string& moduleName, WORD version, WSADATA* data, LibraryInfo* info);

    // stop releases one use: it clears the calling thread's wait bits and calls WSACleanup.
    // Returns false, changing nothing, when there is no use to release.
    bool stop();

    // The number of starts not yet balanced by a stop.
    int users() const { return m_users.load(); }
    // Whether a network library is loaded, where it was loaded from ("" before), and the loader's
    // text for the last load failure.
    bool loaded() const { return m_loaded.load(std::memory_order_acquire); }
    std::string path() const;
    std::string loadError() const;

    // enableTrace loads the trace library on first use and switches tracing on with fileName (may
    // be empty: the trace library's default) and flags (wrTrace bits). Returns true when tracing
    // is on; false without a loaded network library, without the trace library (nothing else
    // changes) or when the trace file cannot be opened.
    bool enableTrace(const std::string& fileName, DWORD flags);
    // disableTrace balances one successful enableTrace. Returns false when there is none.
    bool disableTrace();
    // setTraceModule names the trace library that enableTrace loads (kvtrace6.DLL unless changed,
    // mapped by moduleFileName). It counts only until a trace library has been loaded.
    void setTraceModule(const std::string& moduleName) { m_trace.setModuleName(moduleName); }
    // The number of enables not yet balanced.
    int traceUsers() const { return m_trace.users(); }
    // traceWrite formats a line (printf rules) and writes it with flags less wrTraceHexDump;
    // traceDump writes size bytes of data as a hex dump. Both do nothing without the trace library
    // or, for traceWrite, with an empty format.
    void traceWrite(DWORD flags, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void traceDump(DWORD flags, const void* data, int size);

    // The last network error of the calling thread, through WSAGetLastError and WSASetLastError
    // when the library has them, else through a per-thread value of the binding's own.
    int getLastError();
    void setLastError(int error);

    // The call wrappers, one per entry of the table. Each calls the bound function, then its trace
    // hook when one is bound, and returns the function's result. A function the library does not
    // export makes its wrapper fail with SOCKET_ERROR, INVALID_SOCKET, INADDR_NONE or nullptr
    // and the last error 12003 (wrErrorNotImplemented); the byte-order conversions, which cannot
    // fail, are then computed here. The failures of each function are those of winsock2.h.
    SOCKET accept(SOCKET s, sockaddr* addr, int* addrlen);
    int bind(SOCKET s, const sockaddr* name, int namelen);
    int closesocket(SOCKET s);
    int connect(SOCKET s, const sockaddr* name, int namelen);
    int ioctlsocket(SOCKET s, long cmd, u_long* argp);
    int getpeername(SOCKET s, sockaddr* name, int* namelen);
    int getsockname(SOCKET s, sockaddr* name, int* namelen);
    int getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
    uint32_t htonl(uint32_t hostlong);
    u_short htons(u_short hostshort);
    uint32_t inet_addr(const char* cp);
    char* inet_ntoa(in_addr in);
    int listen(SOCKET s, int backlog);
    uint32_t ntohl(uint32_t netlong);
    u_short ntohs(u_short netshort);
    int recv(SOCKET s, char* buf, int len, int flags);
    int recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen);
    int select(int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds,
               const timeval* timeout);
    int send(SOCKET s, const char* buf, int len, int flags);
    int sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen);
    int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
    int shutdown(SOCKET s, int how);
    SOCKET socket(int af, int type, int protocol);
    hostent* gethostbyaddr(const char* addr, int len, int type);
    hostent* gethostbyname(const char* name);
    int gethostname(char* name, int namelen);
    servent* getservbyport(int port, const char* proto);
    servent* getservbyname(const char* name, const char* proto);
    protoent* getprotobynumber(int number);
    protoent* getprotobyname(const char* name);
    SOCKET WSAAccept(SOCKET s, sockaddr* addr, int* addrlen, LPCONDITIONPROC condition,
                     DWORD_PTR callbackData);
    HANDLE WSAAsyncGetServByName(HWND hwnd, u_int msg, const char* name, const char* proto,
                                 char* buf, int buflen);
    HANDLE WSAAsyncGetServByPort(HWND hwnd, u_int msg, int port, const char* proto, char* buf,
                                 int buflen);
    HANDLE WSAAsyncGetProtoByName(HWND hwnd, u_int msg, const char* name, char* buf, int buflen);
    HANDLE WSAAsyncGetProtoByNumber(HWND hwnd, u_int msg, int number, char* buf, int buflen);
    HANDLE WSAAsyncGetHostByName(HWND hwnd, u_int msg, const char* name, char* buf, int buflen);
    HANDLE WSAAsyncGetHostByAddr(HWND hwnd, u_int msg, const char* addr, int len, int type,
                                 char* buf, int buflen);
    int WSACancelAsyncRequest(HANDLE request);
    int WSAAsyncSelect(SOCKET s, HWND hwnd, u_int msg, long events);
    int WSAEventSelect(SOCKET s, WSAEVENT event, long events);
    int WSAEnumNetworkEvents(SOCKET s, WSAEVENT event, LPWSANETWORKEVENTS networkEvents);
    int WSAIoctl(SOCKET s, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
                 LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);

    // selectUntraced is select without its trace hook, for a wait made of many slices;
    // traceSelect then reports the wait's outcome once, with the arguments it was given.
    int selectUntraced(int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds,
                       const timeval* timeout);
    void traceSelect(int result, int nfds, FD_SET* readfds, FD_SET* writefds, FD_SET* exceptfds,
                     const timeval* timeout);
    // tracingTransfers: whether a trace hook is bound for select, send or recv. A shortcut that
    // would change the traced calls (a receive tried before the wait) is taken only without one.
    bool tracingTransfers();

  private:
    template <typename Function, typename Hook, typename Result, typename... Args>
    Result call(Function function, std::atomic<Hook>& hook, Result failed, Args... args);

    // bindLibrary is start's second half, called under m_lock: load and bind when needed, then
    // WSAStartup. Returns 0, counting one more user, or the error number.
    int bindLibrary(const std::string& moduleName, WORD version, WSADATA* data);

    mutable std::mutex m_lock;  // serialises start, stop and the first load
    Module m_module;
    NetworkApi m_api;
    std::atomic<bool> m_loaded{false};
    std::atomic<int> m_users{0};
    TraceLink m_trace;
};

// networkLibrary returns the process's binding, the one the control and its socket layer use.
NetworkLibrary& networkLibrary();

}  // namespace kvlink
