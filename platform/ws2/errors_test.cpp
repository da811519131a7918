// The translation of errno and resolver codes into Windows error numbers. The expected numbers
// are written out, not taken from winsock_errors.h, so a wrong constant there fails here too.

#include "platform/ws2/errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

namespace {

struct Mapping {
    int from;
    int windows;
    const char* name;
};

TEST(ErrnoTable, EveryErrnoHasItsWindowsNumber) {
    const Mapping table[] = {
        {0, 0, "0"},
        {EINTR, 10004, "EINTR"},
        {EACCES, 10013, "EACCES"},
        {EPERM, 10013, "EPERM"},
        {EFAULT, 10014, "EFAULT"},
        {EINVAL, 10022, "EINVAL"},
        {EMFILE, 10024, "EMFILE"},
        {ENFILE, 10024, "ENFILE"},
        {EWOULDBLOCK, 10035, "EWOULDBLOCK"},
        {EAGAIN, 10035, "EAGAIN"},
        {EINPROGRESS, 10035, "EINPROGRESS"},
        {EALREADY, 10037, "EALREADY"},
        {EBADF, 10038, "EBADF"},
        {ENOTSOCK, 10038, "ENOTSOCK"},
        {EDESTADDRREQ, 10039, "EDESTADDRREQ"},
        {EMSGSIZE, 10040, "EMSGSIZE"},
        {EPROTOTYPE, 10041, "EPROTOTYPE"},
        {ENOPROTOOPT, 10042, "ENOPROTOOPT"},
        {EPROTONOSUPPORT, 10043, "EPROTONOSUPPORT"},
        {ESOCKTNOSUPPORT, 10044, "ESOCKTNOSUPPORT"},
        {EOPNOTSUPP, 10045, "EOPNOTSUPP"},
        {EPFNOSUPPORT, 10046, "EPFNOSUPPORT"},
        {EAFNOSUPPORT, 10047, "EAFNOSUPPORT"},
        {EADDRINUSE, 10048, "EADDRINUSE"},
        {EADDRNOTAVAIL, 10049, "EADDRNOTAVAIL"},
        {ENETDOWN, 10050, "ENETDOWN"},
        {ENETUNREACH, 10051, "ENETUNREACH"},
        {ENETRESET, 10052, "ENETRESET"},
        {ECONNABORTED, 10053, "ECONNABORTED"},
        {EPROTO, 10053, "EPROTO"},
        {ECONNRESET, 10054, "ECONNRESET"},
        {EPIPE, 10054, "EPIPE"},
        {ENOBUFS, 10055, "ENOBUFS"},
        {ENOMEM, 10055, "ENOMEM"},
        {EISCONN, 10056, "EISCONN"},
        {ENOTCONN, 10057, "ENOTCONN"},
        {ESHUTDOWN, 10058, "ESHUTDOWN"},
        {ETOOMANYREFS, 10059, "ETOOMANYREFS"},
        {ETIMEDOUT, 10060, "ETIMEDOUT"},
        {ECONNREFUSED, 10061, "ECONNREFUSED"},
        {ELOOP, 10062, "ELOOP"},
        {ENAMETOOLONG, 10063, "ENAMETOOLONG"},
        {EHOSTDOWN, 10064, "EHOSTDOWN"},
        {EHOSTUNREACH, 10065, "EHOSTUNREACH"},
        {ENOTEMPTY, 10066, "ENOTEMPTY"},
        {EUSERS, 10068, "EUSERS"},
        {EDQUOT, 10069, "EDQUOT"},
        {ESTALE, 10070, "ESTALE"},
        {EREMOTE, 10071, "EREMOTE"},
        // Nothing a socket call gives: "a system call that should never fail has failed".
        {ENOENT, 10107, "ENOENT"},
        {EISDIR, 10107, "EISDIR"},
    };
    for (const Mapping& m : table) {
        EXPECT_EQ(ws2::wsaErrorFromErrno(m.from), m.windows) << m.name;
    }
}

TEST(ResolverErrors, EveryCodeHasItsWindowsNumber) {
    const Mapping table[] = {
        {0, 0, "0"},
        {HOST_NOT_FOUND, 11001, "HOST_NOT_FOUND"},
        {TRY_AGAIN, 11002, "TRY_AGAIN"},
        {NO_RECOVERY, 11003, "NO_RECOVERY"},
        {NO_DATA, 11004, "NO_DATA"},
    };
    for (const Mapping& m : table) {
        EXPECT_EQ(ws2::wsaErrorFromResolver(m.from, 0), m.windows) << m.name;
    }
    // An internal resolver failure is told by errno.
    EXPECT_EQ(ws2::wsaErrorFromResolver(NETDB_INTERNAL, ENOMEM), 10055);
    EXPECT_EQ(ws2::wsaErrorFromResolver(NETDB_INTERNAL, 0), 11003);
}

}  // namespace
