#pragma once
// Error numbers of the library: the C library's errno and resolver codes translated into the
// Windows numbers, and the calling thread's last error that WSAGetLastError answers.
//
// This header is shared by both sides of the library (it names no socket type), so the Winsock
// view and the POSIX calls use the same translator.

namespace ws2 {

// wsaErrorFromErrno returns the Windows error number for an errno value: 0 for 0,
// WSASYSCALLFAILURE for a value that no socket call is expected to give.
int wsaErrorFromErrno(int errnoValue);

// wsaErrorFromResolver returns the Windows error number for a resolver failure code (h_errno:
// HOST_NOT_FOUND, TRY_AGAIN, NO_RECOVERY, NO_DATA). NETDB_INTERNAL means the failure is in
// errnoValue, which is then translated as above.
int wsaErrorFromResolver(int hostError, int errnoValue);

// The calling thread's last error. Calls that succeed leave it alone, as on Windows.
int lastError();
void setLastError(int wsaError);

// Helpers for the failure paths of the calls: store the error, return SOCKET_ERROR (-1).
int fail(int wsaError);
int failFromErrno();

}  // namespace ws2
