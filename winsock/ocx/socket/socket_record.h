#pragma once
// The socket layer's record of one open socket. The numbers the layer and the control share (the
// error codes the layer sets, the status values, the option bits) are the control's own
// enumerations (winsock/ocx/base/constants.h).
//
// A record is created by a connect (later by bind, listen and accept), lives in the socket table
// (socket_table.h) and goes when the socket is closed. The owner thread and the flags that
// event handlers change during a wait (blocked, abort, cancel) are read and written under the
// table's lock; the rest belongs to the owner thread.
//
// This header needs no Winsock header: handles are the network library's socket numbers as a
// 32-bit value (the library's sockets are file descriptors), addresses are IPv4 in network byte
// order.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/user/user.h"
#include "winsock/ocx/base/constants.h"
#include "winsock/ocx/socket/call_deadline.h"

namespace kvlink {

// The layer's own mark in a record's option word, above the control's wrOption bits.
constexpr uint32_t kOptionShareable = 0x8000;  // other threads may use the record too

// The secure channel of a connection, as the socket layer sees it: the record owns one after a
// secure connect, and send, receive and the readiness checks go through it instead of the
// socket. The secure channel (winsock/ocx/secure) provides the implementation. A call in
// progress holds its own reference, so a close run from an event handler during one of the
// session's waits cannot destroy the session under it.
class SecureSession {
  public:
    virtual ~SecureSession() = default;
    // send and receive have the meaning of the layer's own (transfer.h): send takes all of the
    // data within the deadline or fails, with the data bytes that went before the failure in
    // *sent; receive gives a byte count, 0 when the peer ended the session; both give -1 with
    // the error in the error slot.
    virtual int send(const uint8_t* data, int length, const CallDeadline& deadline, int* sent) = 0;
    virtual int receive(uint8_t* buffer, int length, int timeoutSeconds) = 0;
    // Whether decrypted or received data is waiting, so a reader need not wait for the socket.
    virtual bool hasBufferedInput() const = 0;
    // Ends the session before the socket closes (best effort; the error slot is left as it
    // was).
    virtual void shutdown(int timeoutSeconds) = 0;
};

struct ConnectRequest;

// A per-event callback of a watched socket: called with the socket, the notification code, the
// error (bare, 0 for none) and the slot's user value before the notification message is sent.
using NotifyCallback = void (*)(int32_t handle, long event, uint32_t error, void* user);
struct NotifyCallbackSlot {
    NotifyCallback function = nullptr;
    void* user = nullptr;
};
constexpr int kNotifyCallbackSlots = 8;

// The read-ahead of the line, byte and stream transfers (stream_transfer.h), made on first use.
// Bytes in it were taken from the socket already: only those members give them out, the plain
// receive never does.
constexpr uint32_t kStreamRunning = 4;       // a stream transfer runs on this socket
constexpr uint32_t kStreamLineFeedOwed = 8;  // a converted line end still owes its line feed
constexpr size_t kStreamBufferSize = 8192;
struct StreamBuffer {
    uint8_t data[kStreamBufferSize];
    size_t unread = 0;
    size_t position = 0;
    uint32_t flags = 0;
    // The last stream transfer: start and end (milliseconds since system start), the total
    // expected (0: until the end), the bytes so far and its final error (bare code, 0 for none).
    uint64_t startMs = 0;
    uint64_t endMs = 0;
    uint64_t expected = 0;
    uint64_t copied = 0;
    uint32_t error = 0;
};

struct SocketRecord {
    int32_t handle = wrInvalidSocket;
    DWORD owner = 0;       // the creating thread
    uint32_t options = 0;  // the option word used at connect

    // The watch (watch.h), all of it the owner thread's. The notification window and message
    // receive the notifications the owner's mask lets through; a socket watched for network
    // events also has the window the platform posts them to (then the socket is event-driven).
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    long eventMask = 0;
    HWND networkWindow = nullptr;
    UINT networkMessage = 0;
    long deliveredOnce = 0;         // accept, connect, disconnect already delivered
    long pendingEvents = 0;         // platform network events (FD_ bits) that came while held
    bool held = false;              // notifications are being held
    bool dispatching = false;       // a notification is being delivered right now
    int holdAfterDispatch = -1;     // a hold (1) or release (0) asked for during the delivery
    bool managedElsewhere = false;  // another part of the layer drives it: it cannot be watched
    bool listening = false;
    bool accepted = false;  // the server's end of a connection: it runs the server handshake
    NotifyCallbackSlot callbacks[kNotifyCallbackSlots];
    // An asynchronous connect keeps its request until the connection completes (the secure
    // handshake needs it then).
    std::shared_ptr<const ConnectRequest> pendingConnect;

    // A stream transfer's progress (the progress notification reads it) and its direction
    // (wrStatusRead or wrStatusWrite while one runs, else 0).
    uint64_t transferTotal = 0;
    uint64_t transferCopied = 0;
    int32_t transferStatus = 0;

    // Changed under the table lock: a wait on the socket is in progress, and Abort or Cancel
    // asked it to end.
    bool blocked = false;
    bool abortRequested = false;
    bool cancelRequested = false;

    bool connected = false;
    bool closedByPeer = false;  // a receive returned 0

    int32_t protocol = wrProtocolTcp;
    uint32_t remoteAddress = 0;  // network byte order
    uint16_t remotePort = 0;
    uint32_t localAddress = 0;  // read back after connecting
    uint16_t localPort = 0;

    int32_t timeoutSeconds = 0;  // 0: no limit for reads and writes
    int32_t status = wrStatusIdle;
    uint64_t bytesReceived = 0;
    uint64_t bytesSent = 0;
    std::string hostName;  // as given to connect, at most 128 characters

    std::shared_ptr<SecureSession> secure;
    std::unique_ptr<StreamBuffer> streamBuffer;

    bool shareable() const { return (options & kOptionShareable) != 0; }
    bool stream() const { return protocol == wrProtocolTcp; }
    // Watched for network events: its calls never wait, the owner hears by notification.
    bool eventDriven() const { return networkWindow != nullptr; }
};

// normalizeTimeout turns a time-out as the control is given it into seconds: values of 1001 and
// more are milliseconds (integer division by 1000), smaller ones seconds; negative ones 0.
constexpr int32_t normalizeTimeout(int32_t timeout) {
    if (timeout < 0) return 0;
    return timeout >= 1001 ? timeout / 1000 : timeout;
}

}  // namespace kvlink
