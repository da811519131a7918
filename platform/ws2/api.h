#pragma once
// What the Winsock-view files of the library share: the start-up state, the lookup of a call's
// socket, and the hooks of the WSAAsyncSelect watcher that the socket calls drive.

#include "platform/ws2/socket_table.h"
#include "platform/ws2/winsock2.h"

namespace ws2 {

// started is true between a successful WSAStartup and the WSACleanup that balances it.
bool started();

// socketFor returns the entry of s, or nullptr with the last error set: WSANOTINITIALISED before
// WSAStartup, WSAENOTSOCK for a handle that is not one of the library's sockets.
SocketRef socketFor(SOCKET s);

// requireStarted returns true once WSAStartup succeeded, else sets WSANOTINITIALISED.
bool requireStarted();

// settleConnect moves a Connecting entry to Connected or ConnectFailed once the kernel knows how
// the connect ended; events are the descriptor's poll events (POLLOUT, POLLERR, POLLHUP). A failed
// connect's error is kept in the entry for select, SO_ERROR and FD_CONNECT. Table lock held.
void settleConnect(SOCKET s, SocketEntry& entry, short events);

// The WSAAsyncSelect watcher. All of these expect the table lock held.
// watchUpdate applies a change of the entry (state, enabled events) to the watch and posts at once
// what is due without waiting for the kernel (FD_CONNECT of a finished connect, FD_ACCEPT of a
// deferred connection).
void watchUpdate(SOCKET s, SocketEntry& entry);
// watchStart registers the entry for the events (replacing a registration it has) and posts or
// arms what is due; false when the watcher thread cannot be started.
bool watchStart(SOCKET s, SocketEntry& entry, HWND window, UINT message, long events);
// reenable sets the given events enabled again, as the re-enabling calls do, and updates the watch.
void reenable(SOCKET s, SocketEntry& entry, long events);
// watchStop ends the entry's registration.
void watchStop(SocketEntry& entry);

// stopWatcher ends the watcher thread (the last WSACleanup). Expects the table lock NOT held.
void stopWatcher();

// cancelAllLookups drops the replies of asynchronous lookups still running (the last WSACleanup).
void cancelAllLookups();

}  // namespace ws2
