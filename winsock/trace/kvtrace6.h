#pragma once
// libkvtrace6.so, the trace library of the socket control: its entry points and their types.
//
// The library is optional. The control loads it by name ("kvtrace6.DLL") only when tracing is
// switched on, binds the WSX* functions and one TX_* hook per traced network call with dlsym,
// and calls a hook after each network call with the call's result first, then the call's own
// arguments. While at least one user has tracing enabled, each hooked call becomes one line in
// the trace file:
//
//   2026-12-08 16:54:26.123 [4711] connect(s=5, addr=127.0.0.1:40000, len=16) = 0
//   2026-12-08 16:54:26.124 [4711] send(s=5, len=5, flags=0) = 5
//       0000  48 65 6c 6c 6f                                    Hello
//   2026-12-08 16:54:27.001 [4711] connect(s=6, addr=127.0.0.1:1, len=16) = -1 error 10061
//   WSAECONNREFUSED
//
// Local time with milliseconds, the kernel's thread id in brackets, the call with its arguments
// (sockets, addresses in dotted form with their port, lengths, flags; output arguments as they
// are after the call), " = " and the result, and for a failed call " error " with the Windows
// error number and its name. Data sent or received follows as a hex dump (16 bytes a line, hex
// and printable ASCII) when kTraceHexDump is among the trace flags. A line and its dump are
// appended to the file with one write, so lines of several threads or processes never mix.
//
// The trace flags (the control's wrTrace constants) choose the lines: with neither kTraceError
// nor kTraceWarning set every call is written; otherwise only the lines of the kinds set: errors
// (failed calls) and warnings (calls that failed only because a non-blocking socket would have to
// wait: WSAEWOULDBLOCK, WSAEINPROGRESS, WSAEALREADY).
//
// The file is appended to (created with mode 0600: dumps carry the traffic). Without a name the
// file is "$XDG_STATE_HOME/kvlink6/kvtrace6.log" ("~/.local/state" when the variable is unset),
// its folder created as needed; when that cannot be used, "kvtrace6.log" in the current folder.
//
// Every function is safe to call from any thread. The hooks leave the caller's last network
// error as they found it.

#include "platform/ws2/winsock2.h"

namespace kvtrace {

// The trace flags; the same values as the control's wrTraceInfo, wrTraceError, wrTraceWarning
// and wrTraceHexDump.
constexpr DWORD kTraceInfo = 0;
constexpr DWORD kTraceError = 1;
constexpr DWORD kTraceWarning = 2;
constexpr DWORD kTraceHexDump = 4;

}  // namespace kvtrace

// WSXSetupTrace hands the library the network library's last-error pair: a hook reads the error
// of a failed call through the first and puts it back through the second after writing. Either
// may be null (the error is then taken as 0 and not restored). Returns TRUE.
using LPFN_WSXSETUPTRACE = BOOL (*)(LPFN_WSAGETLASTERROR getError, LPFN_WSASETLASTERROR setError);

// WSXEnableTrace counts one more user and switches tracing on with fileName and flags. A
// non-empty fileName becomes the trace file; a null or empty one keeps the file set last (the
// default file when none was set). The flags replace the current ones. Returns TRUE when tracing
// is on, FALSE (and no user is counted, the file in use stays) when the file cannot be opened
// for appending.
using LPFN_WSXENABLETRACE = BOOL (*)(const char* fileName, DWORD flags);

// WSXDisableTrace counts one user less; the last one closes the file and tracing stops. Returns
// TRUE, or FALSE when tracing had no user.
using LPFN_WSXDISABLETRACE = BOOL (*)();

// WSXGetTraceUsage returns the number of users (enables not yet balanced by a disable).
using LPFN_WSXGETTRACEUSAGE = int (*)();

// WSXSetTraceFile makes fileName (null or empty: the default file) the trace file; while tracing
// is on the new file is opened at once. Returns TRUE, or FALSE when the new file cannot be opened
// (the old one then stays in use).
using LPFN_WSXSETTRACEFILE = BOOL (*)(const char* fileName);

// WSXGetTraceFile copies the trace file's path (the default path when none was set) into buffer,
// cut to size - 1 characters and ended by a NUL, as snprintf does. Returns the path's full length;
// buffer may be null when size is 0.
using LPFN_WSXGETTRACEFILE = int (*)(char* buffer, int size);

// WSXSetTraceFlags replaces the trace flags and returns the previous ones; WSAGetTraceFlags
// returns them.
using LPFN_WSXSETTRACEFLAGS = DWORD (*)(DWORD flags);
using LPFN_WSAGETTRACEFLAGS = DWORD (*)();

// WSXTraceWrite writes a line of the caller's. Without kTraceHexDump in flags, data is text of
// size bytes (size < 0: up to its NUL), written as one line with the time and thread in front and
// "error: " or "warning: " before the text for the kinds kTraceError and kTraceWarning; the kind
// is chosen by the trace flags as above. With kTraceHexDump, data is a block of size bytes,
// written as a hex dump when the trace flags include kTraceHexDump. Returns TRUE when something
// was written, FALSE when tracing is off, the kind is not chosen or the write failed.
using LPFN_WSXTRACEWRITE = BOOL (*)(DWORD flags, const char* data, int size);

// A trace hook's type: the network function's arguments after its result, no result of its own.
template <typename Function>
struct TraceHookOf;
template <typename Result, typename... Args>
struct TraceHookOf<Result (*)(Args...)> {
    using type = void (*)(Result, Args...);
};
template <typename Function>
using TraceHook = typename TraceHookOf<Function>::type;

// The traced network functions, each with its winsock2.h pointer type; the hook of f is "TX_f",
// of type TraceHook<LPFN_F>.
// clang-format off
#define KVTRACE_HOOKS(X)                                  \
    X(accept, ACCEPT)                                     \
    X(bind, BIND)                                         \
    X(closesocket, CLOSESOCKET)                           \
    X(connect, CONNECT)                                   \
    X(ioctlsocket, IOCTLSOCKET)                           \
    X(getpeername, GETPEERNAME)                           \
    X(getsockname, GETSOCKNAME)                           \
    X(getsockopt, GETSOCKOPT)                             \
    X(listen, LISTEN)                                     \
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

// The entry points other than the hooks, each with its pointer type above.
// clang-format off
#define KVTRACE_ENTRIES(X)                \
    X(WSXSetupTrace, WSXSETUPTRACE)       \
    X(WSXEnableTrace, WSXENABLETRACE)     \
    X(WSXDisableTrace, WSXDISABLETRACE)   \
    X(WSXGetTraceUsage, WSXGETTRACEUSAGE) \
    X(WSXSetTraceFile, WSXSETTRACEFILE)   \
    X(WSXGetTraceFile, WSXGETTRACEFILE)   \
    X(WSXSetTraceFlags, WSXSETTRACEFLAGS) \
    X(WSAGetTraceFlags, WSAGETTRACEFLAGS) \
    X(WSXTraceWrite, WSXTRACEWRITE)
// clang-format on
