#pragma once
// What the line members and the stream transfers share, internal to the socket layer: the
// record's read-ahead buffer, the holding of the owner's notifications while a member runs, and
// a receive and a send that see the whole call through.
//
// A line or stream member runs to its end even on an event-driven socket: where the plain
// receive and send of such a socket would give up with wrErrorOperationWouldBlock (10035) or
// after a part, these wait for the socket as a blocking call does (the record's time-out,
// Cancel, Abort). Its notifications are held meanwhile, so no handler reads under it.

#include <cstddef>
#include <cstdint>

#include "winsock/ocx/socket/socket_table.h"

namespace kvlink {

// streamBufferOf gives the record's read-ahead buffer, made on first use.
StreamBuffer& streamBufferOf(SocketRecord& record);

// The owner's notifications wait while a line or stream member runs, so a handler cannot read
// the socket under it; they are released as they were when it ends.
class HeldNotifications {
  public:
    explicit HeldNotifications(const SocketRef& record);
    ~HeldNotifications();
    HeldNotifications(const HeldNotifications&) = delete;
    HeldNotifications& operator=(const HeldNotifications&) = delete;

  private:
    int32_t m_handle;
    bool m_held = false;
};

// streamRecord finds a TCP socket with no stream transfer running on it. nullptr with
// wrErrorProtocolNotSupported (10043), wrErrorOperationInProgress (10036) or findSocket's error.
SocketRef streamRecord(int32_t handle);

// receiveWholly receives once, up to length bytes, waiting for data also on an event-driven
// socket. The count; 0 when the peer closed; -1 with the error in the slot (10053 and 10054 also
// mark the record closed by the peer).
int receiveWholly(const SocketRef& record, uint8_t* into, int length);

// takeReadAhead moves up to length bytes (length >= 0) of the socket's read-ahead into into and
// returns how many, or -1 when the read-ahead is empty; what is left is announced again to an
// event-driven owner.
int takeReadAhead(const SocketRef& record, uint8_t* into, int length);

// bufferedReceiveWholly is bufferedReceive (stream_transfer.h) over receiveWholly.
int bufferedReceiveWholly(const SocketRef& record, uint8_t* into, int length);

// refill receives up to a buffer's worth into the empty read-ahead buffer: the count, 0 when the
// peer closed, -1 on failure.
int refill(const SocketRef& record);

// sendWholly sends all size bytes in pieces of at most 8192, also on an event-driven socket.
// *sent (when given) receives the bytes that went, also on failure. False with the send's
// error in the slot.
bool sendWholly(const SocketRef& record, const uint8_t* data, size_t size,
                uint64_t* sent = nullptr);

// dispatchOneMessage runs one waiting window message of the thread and yields, so a host's user
// interface stays alive between two blocks of a transfer that never has to wait.
void dispatchOneMessage();

// stillOpen tells whether the record is still the socket's after a handler ran; false with
// wrErrorConnectionAborted (10053) when a handler closed or aborted it meanwhile.
bool stillOpen(const SocketRef& record);

}  // namespace kvlink
