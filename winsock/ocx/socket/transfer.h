#pragma once
// Sending and receiving on a socket of the table, and its readiness.
//
//   uint8_t buffer[2048];
//   int n = socketReceive(handle, buffer, sizeof buffer);  // 0: the peer closed; -1: failure
//   n = socketSend(handle, data, size);                    // all of it, what went before a
//                                                          // time-out, or -1
//
// In blocking mode (a record without a notification window) both wait in PumpedSelect with the
// record's time-out (0: no limit) first, so the thread's windows stay alive, and Cancel or Abort
// from an event or timer handler ends the wait. A secure record sends and receives through its
// secure session.

#include <cstdint>

namespace kvlink {

// socketReceive receives once, up to length bytes, after waiting for data. Returns the number
// of bytes, 0 when the peer closed the connection (the record's closedByPeer is then set), or
// -1 with the error in the error slot: wrErrorInvalidParameter (10014) for flags other than 0, no
// buffer or a negative length; wrErrorInvalidHandle (10038) / wrErrorNotHandleOwner (10001);
// waitOnRecord's failures (10060 time-out, 10004 cancelled, 10053 aborted, 10036 nested); the
// network library's error (10054 reset, ...). For a datagram socket, *fromAddress and *fromPort
// (when given) receive the sender (network byte order, host-order port).
int socketReceive(int32_t handle, uint8_t* buffer, int length, int flags = 0,
                  uint32_t* fromAddress = nullptr, uint16_t* fromPort = nullptr);

// socketSend sends all length bytes, waiting for room before each part the socket takes, all
// the waits together within the record's time-out (once for the whole call, not per part).
// Returns length; or, when a wait or a send fails after part of the data went, the count that
// went, with the failure's code in *stoppedBy (when given) and in the error slot, so a caller
// never sends those bytes twice; or -1 with the error in the error slot when nothing went, as
// socketReceive. Event-driven mode sends once and returns what the socket took. A datagram
// socket sends one datagram to toAddress and toPort, each of them the record's remote address
// and port when 0.
int socketSend(int32_t handle, const uint8_t* data, int length, int flags = 0,
               uint32_t* stoppedBy = nullptr, uint32_t toAddress = 0, uint16_t toPort = 0);

// socketReadable and socketWritable check once, without waiting: 1 yes, 0 no, -1 with the error
// in the slot (10038, 10001, or the network library's). Data already decrypted by a secure
// session counts as readable.
int socketReadable(int32_t handle);
int socketWritable(int32_t handle);

}  // namespace kvlink
