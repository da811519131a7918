#pragma once
// Ending sockets and waits: close, cancel, abort.
//
// Cancel and Abort are meant to be called from an event or timer handler that the pumped wait
// runs while a blocking call waits on the socket: they mark the record and ask the thread's
// wait to end, and the waiting call then fails with 10004 (cancel) or closes the socket and
// fails with 10053 (abort).

#include <cstdint>

namespace kvlink {

// closeSocket closes a socket of the table and removes its record. A TCP socket in blocking
// mode lingers for lingerSeconds when that is not 0. False with the error in the slot:
// wrErrorInvalidHandle (10038) / wrErrorNotHandleOwner (10001); wrErrorOperationInProgress (10036)
// while a wait is in progress on the socket or on the calling thread (nothing is closed); the
// network library's error when the close itself failed (the record is gone all the same).
bool closeSocket(int32_t handle, int32_t lingerSeconds);

// cancelSocket ends the wait in progress on the socket: its call fails with
// wrErrorOperationCanceled (10004). A socket that is not waiting is left alone. False with
// 10038 / 10001 in the slot.
bool cancelSocket(int32_t handle);

// cancelWait ends the wait in progress on the calling thread, whatever it waits for. False with
// wrErrorOperationNotBlocking (12009) in the slot when there is none.
bool cancelWait();

// abortSocket ends a socket at once: one that is waiting is marked so its call closes it and
// fails with wrErrorConnectionAborted (10053); any other is closed with a reset (TCP) and
// removed. False with 10038 / 10001 in the slot.
bool abortSocket(int32_t handle);

}  // namespace kvlink
