// The one table from the C library's errno values to the Windows error numbers.

#include "platform/ws2/errors.h"

#include <netdb.h>

#include <cerrno>

#include "platform/ws2/winsock_errors.h"

namespace ws2 {
namespace {

// EWOULDBLOCK and EAGAIN, EOPNOTSUPP and ENOTSUP are the same numbers here; the table lists each
// number once. A non-blocking connect reports EINPROGRESS where Windows reports WSAEWOULDBLOCK,
// so that is what it becomes. EPIPE is what a send meets on a connection the peer reset or closed.
#define WS2_ERRNO_TABLE(X)                 \
    X(EINTR, WSAEINTR)                     \
    X(EBADF, WSAENOTSOCK)                  \
    X(EPERM, WSAEACCES)                    \
    X(EACCES, WSAEACCES)                   \
    X(EFAULT, WSAEFAULT)                   \
    X(EINVAL, WSAEINVAL)                   \
    X(EMFILE, WSAEMFILE)                   \
    X(ENFILE, WSAEMFILE)                   \
    X(EAGAIN, WSAEWOULDBLOCK)              \
    X(EINPROGRESS, WSAEWOULDBLOCK)         \
    X(EALREADY, WSAEALREADY)               \
    X(ENOTSOCK, WSAENOTSOCK)               \
    X(EDESTADDRREQ, WSAEDESTADDRREQ)       \
    X(EMSGSIZE, WSAEMSGSIZE)               \
    X(EPROTOTYPE, WSAEPROTOTYPE)           \
    X(ENOPROTOOPT, WSAENOPROTOOPT)         \
    X(EPROTONOSUPPORT, WSAEPROTONOSUPPORT) \
    X(ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT) \
    X(EOPNOTSUPP, WSAEOPNOTSUPP)           \
    X(EPFNOSUPPORT, WSAEPFNOSUPPORT)       \
    X(EAFNOSUPPORT, WSAEAFNOSUPPORT)       \
    X(EADDRINUSE, WSAEADDRINUSE)           \
    X(EADDRNOTAVAIL, WSAEADDRNOTAVAIL)     \
    X(ENETDOWN, WSAENETDOWN)               \
    X(ENETUNREACH, WSAENETUNREACH)         \
    X(ENETRESET, WSAENETRESET)             \
    X(ECONNABORTED, WSAECONNABORTED)       \
    X(EPROTO, WSAECONNABORTED)             \
    X(ECONNRESET, WSAECONNRESET)           \
    X(EPIPE, WSAECONNRESET)                \
    X(ENOBUFS, WSAENOBUFS)                 \
    X(ENOMEM, WSAENOBUFS)                  \
    X(EISCONN, WSAEISCONN)                 \
    X(ENOTCONN, WSAENOTCONN)               \
    X(ESHUTDOWN, WSAESHUTDOWN)             \
    X(ETOOMANYREFS, WSAETOOMANYREFS)       \
    X(ETIMEDOUT, WSAETIMEDOUT)             \
    X(ECONNREFUSED, WSAECONNREFUSED)       \
    X(ELOOP, WSAELOOP)                     \
    X(ENAMETOOLONG, WSAENAMETOOLONG)       \
    X(EHOSTDOWN, WSAEHOSTDOWN)             \
    X(EHOSTUNREACH, WSAEHOSTUNREACH)       \
    X(ENOTEMPTY, WSAENOTEMPTY)             \
    X(EUSERS, WSAEUSERS)                   \
    X(EDQUOT, WSAEDQUOT)                   \
    X(ESTALE, WSAESTALE)                   \
    X(EREMOTE, WSAEREMOTE)

struct ErrnoMapping {
    int errnoValue;
    int wsaError;
};

constexpr ErrnoMapping kErrnoTable[] = {
#define WS2_ERRNO_ENTRY(e, w) {e, w},
    WS2_ERRNO_TABLE(WS2_ERRNO_ENTRY)
#undef WS2_ERRNO_ENTRY
};

thread_local int t_lastError = 0;

}  // namespace

int wsaErrorFromErrno(int errnoValue) {
    if (errnoValue == 0) return 0;
    for (const ErrnoMapping& m : kErrnoTable) {
        if (m.errnoValue == errnoValue) return m.wsaError;
    }
    return WSASYSCALLFAILURE;
}

int wsaErrorFromResolver(int hostError, int errnoValue) {
    switch (hostError) {
        case 0:
            return 0;
        case HOST_NOT_FOUND:
            return WSAHOST_NOT_FOUND;
        case TRY_AGAIN:
            return WSATRY_AGAIN;
        case NO_RECOVERY:
            return WSANO_RECOVERY;
        case NO_DATA:
            return WSANO_DATA;
        case NETDB_INTERNAL:
            return errnoValue == 0 ? WSANO_RECOVERY : wsaErrorFromErrno(errnoValue);
        default:
            return WSANO_RECOVERY;
    }
}

int lastError() {
    return t_lastError;
}

void setLastError(int wsaError) {
    t_lastError = wsaError;
}

int fail(int wsaError) {
    t_lastError = wsaError;
    return -1;
}

int failFromErrno() {
    return fail(wsaErrorFromErrno(errno));
}

}  // namespace ws2
