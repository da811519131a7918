#pragma once
// The socket layer's record of one open socket, and the numbers the layer and the control share:
// the error codes the layer sets, the status values, the option bits.
//
// A record is created by a connect (later by bind, listen and accept), lives in the socket table
// (socket_table.h) and goes when the socket is closed. The owner thread and the flags that
// event handlers change during a wait (blocked, abort, cancel) are read and written under the
// table's lock; the rest belongs to the owner thread.
//
// This header needs no Winsock header: handles are the network library's socket numbers as a
// 32-bit value (the library's sockets are file descriptors), addresses are IPv4 in network byte
// order.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/user/user.h"
#include "winsock/ocx/socket/call_deadline.h"

namespace kvlink {

// The error codes the socket layer sets (bare; the error slot keeps them in HRESULT form).
constexpr uint32_t kErrorNotHandleOwner = 10001;
constexpr uint32_t kErrorOperationCanceled = 10004;
constexpr uint32_t kErrorOutOfMemory = 10012;
constexpr uint32_t kErrorInvalidParameter = 10014;
constexpr uint32_t kErrorOperationWouldBlock = 10035;
constexpr uint32_t kErrorOperationInProgress = 10036;
constexpr uint32_t kErrorInvalidHandle = 10038;
constexpr uint32_t kErrorConnectionAborted = 10053;
constexpr uint32_t kErrorNotConnected = 10057;
constexpr uint32_t kErrorOperationTimeout = 10060;
constexpr uint32_t kErrorConnectionRefused = 10061;
constexpr uint32_t kErrorNetworkNotInitialized = 10093;
constexpr uint32_t kErrorInvalidHostName = 11001;
constexpr uint32_t kErrorNotImplemented = 12003;
constexpr uint32_t kErrorInvalidHostAddress = 12005;
constexpr uint32_t kErrorInvalidServicePort = 12006;
constexpr uint32_t kErrorOperationNotBlocking = 12009;
constexpr uint32_t kErrorSecurityNotInitialized = 12101;
constexpr uint32_t kErrorSecurityCertificate = 12104;

// A record's status (the control's State property).
constexpr int32_t kStatusUnused = 0;
constexpr int32_t kStatusIdle = 1;
constexpr int32_t kStatusListen = 2;
constexpr int32_t kStatusConnect = 3;
constexpr int32_t kStatusAccept = 4;
constexpr int32_t kStatusRead = 5;
constexpr int32_t kStatusWrite = 6;
constexpr int32_t kStatusFlush = 7;
constexpr int32_t kStatusDisconnect = 8;

// The option word given to connect (the control's wrOption bits) and the layer's own mark.
constexpr uint32_t kOptionBroadcast = 1;
constexpr uint32_t kOptionDontRoute = 2;
constexpr uint32_t kOptionKeepAlive = 4;
constexpr uint32_t kOptionReuseAddress = 8;
constexpr uint32_t kOptionNoDelay = 16;
constexpr uint32_t kOptionInLine = 32;
constexpr uint32_t kOptionSecure = 4096;
constexpr uint32_t kOptionShareable = 0x8000;  // other threads may use the record too

constexpr int32_t kProtocolTcp = 6;
constexpr int32_t kProtocolUdp = 17;

constexpr int32_t kNoSocket = -1;

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

struct SocketRecord {
    int32_t handle = kNoSocket;
    DWORD owner = 0;       // the creating thread
    uint32_t options = 0;  // the option word used at connect

    // Event-driven mode (a notification window); empty in blocking mode.
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    long eventMask = 0;

    // Changed under the table lock: a wait on the socket is in progress, and Abort or Cancel
    // asked it to end.
    bool blocked = false;
    bool abortRequested = false;
    bool cancelRequested = false;

    bool connected = false;
    bool closedByPeer = false;  // a receive returned 0

    int32_t protocol = kProtocolTcp;
    uint32_t remoteAddress = 0;  // network byte order
    uint16_t remotePort = 0;
    uint32_t localAddress = 0;  // read back after connecting
    uint16_t localPort = 0;

    int32_t timeoutSeconds = 0;  // 0: no limit for reads and writes
    int32_t status = kStatusIdle;
    uint64_t bytesReceived = 0;
    uint64_t bytesSent = 0;
    std::string hostName;  // as given to connect, at most 128 characters

    std::shared_ptr<SecureSession> secure;

    bool shareable() const { return (options & kOptionShareable) != 0; }
    bool stream() const { return protocol == kProtocolTcp; }
    bool eventDriven() const { return notifyWindow != nullptr; }
};

// normalizeTimeout turns a time-out as the control is given it into seconds: values of 1001 and
// more are milliseconds (integer division by 1000), smaller ones seconds; negative ones 0.
constexpr int32_t normalizeTimeout(int32_t timeout) {
    if (timeout < 0) return 0;
    return timeout >= 1001 ? timeout / 1000 : timeout;
}

}  // namespace kvlink
