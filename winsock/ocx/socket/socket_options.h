#pragma once
// The socket options of an open socket, its shutdown and its urgent-data mark.
//
//   if (!setSocketOption(handle, wrOptionKeepAlive, true)) report(SocketError());
//   shutdownSocket(handle, wrShutdownWrite);   // no more sending; receiving goes on
//
// This header is the Winsock view (winsock2.h) for setSocketFlag.

#include <cstdint>

#include "platform/ws2/winsock2.h"

namespace kvlink {

// setSocketFlag sets a BOOL option on a raw socket: true when the library took it, false with
// the library's error left as its last error (the error slot is not touched).
bool setSocketFlag(SOCKET s, int level, int option, bool on);

// setSocketOption sets the option of one option bit on a socket of the table: wrOptionBroadcast,
// wrOptionDontRoute, wrOptionKeepAlive, wrOptionReuseAddress, wrOptionNoDelay (TCP only) or
// wrOptionInLine; the record's option word follows. False with the error in the slot: 10038 /
// 10001; wrErrorInvalidParameter (10014) for another bit; the network library's error.
bool setSocketOption(int32_t handle, uint32_t bit, bool on);

// shutdownSocket ends receiving (wrShutdownRead, 0), sending (wrShutdownWrite, 1) or both (2).
// Before sending stops, a secure session is ended (close_notify); the socket stays open. False
// with the error in the slot: 10038 / 10001; wrErrorInvalidParameter (10014) for another value;
// the network library's error (10057 without a peer).
bool shutdownSocket(int32_t handle, int32_t how);

// socketAtMark: 1 when urgent data waits to be read, 0 when not or when the query fails, -1 with
// 10038 / 10001 in the slot.
int socketAtMark(int32_t handle);

}  // namespace kvlink
