// The read-ahead buffer, held notifications, and the receive and send that the line and stream
// transfers run to their end.

#include "winsock/ocx/socket/stream_io.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/transfer.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {
namespace {

constexpr size_t kPiece = kStreamBufferSize;

// An event-driven socket that has nothing (or no room) right now is waited for, as a blocking
// one is before every call.
bool waitAgain(const SocketRef& record, WaitFor what) {
    if (!record->eventDriven()) return false;
    if (SocketErrorCode(SocketError()) != wrErrorOperationWouldBlock) return false;
    return waitOnRecord(record, what, record->timeoutSeconds,
                        what == WaitFor::Readable ? wrStatusRead : wrStatusWrite);
}

void markBrokenConnection(const SocketRef& record) {
    uint32_t code = SocketErrorCode(SocketError());
    if (code == wrErrorConnectionAborted || code == wrErrorConnectionReset)
        record->closedByPeer = true;
}

}  // namespace

StreamBuffer& streamBufferOf(SocketRecord& record) {
    if (!record.streamBuffer) record.streamBuffer = std::make_unique<StreamBuffer>();
    return *record.streamBuffer;
}

HeldNotifications::HeldNotifications(const SocketRef& record) : m_handle(record->handle) {
    if (record->notifyWindow && !record->held) m_held = holdSocket(m_handle, true);
}

HeldNotifications::~HeldNotifications() {
    if (!m_held) return;
    uint32_t error = SocketError();
    holdSocket(m_handle, false);  // the socket may be gone; the call's error stays
    SetSocketError(error);
}

SocketRef streamRecord(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return nullptr;
    if (record->listening) return failedWith(wrErrorNotConnected), nullptr;
    if (!record->stream()) return failedWith(wrErrorProtocolNotSupported), nullptr;
    if (record->streamBuffer && (record->streamBuffer->flags & kStreamRunning))
        return failedWith(wrErrorOperationInProgress), nullptr;
    return record;
}

int receiveWholly(const SocketRef& record, uint8_t* into, int length) {
    for (;;) {
        int n = socketReceive(record->handle, into, length);
        if (n >= 0) return n;
        if (!waitAgain(record, WaitFor::Readable)) {
            markBrokenConnection(record);
            return -1;
        }
        // An event handler run by the wait may have closed the socket.
        if (findSocket(record->handle) != record) return -1;
    }
}

int takeReadAhead(const SocketRef& record, uint8_t* into, int length) {
    StreamBuffer* buffer = record->streamBuffer.get();
    if (!buffer || buffer->unread == 0) return -1;
    size_t n = std::min(buffer->unread, static_cast<size_t>(length));
    std::memcpy(into, buffer->data + buffer->position, n);
    buffer->position += n;
    buffer->unread -= n;
    if (buffer->unread > 0) repostBufferedRead(record);
    return static_cast<int>(n);
}

int bufferedReceiveWholly(const SocketRef& record, uint8_t* into, int length) {
    if (int n = takeReadAhead(record, into, length); n >= 0) return n;
    return receiveWholly(record, into, length);
}

int refill(const SocketRef& record) {
    StreamBuffer& buffer = streamBufferOf(*record);
    int n = receiveWholly(record, buffer.data, static_cast<int>(kPiece));
    if (n < 0) return -1;
    buffer.position = 0;
    buffer.unread = static_cast<size_t>(n);
    return n;
}

bool sendWholly(const SocketRef& record, const uint8_t* data, size_t size, uint64_t* sent) {
    if (sent) *sent = 0;
    while (size > 0) {
        int piece = static_cast<int>(std::min(size, kPiece));
        uint32_t stoppedBy = 0;
        int n = socketSend(record->handle, data, piece, 0, &stoppedBy);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            if (sent) *sent += static_cast<uint64_t>(n);
        }
        // Part of the piece went before a failure: the failure is the result (its code is in
        // the slot), never a silent loss of the rest.
        if (stoppedBy != 0) return false;
        if (n < 0) {
            if (!waitAgain(record, WaitFor::Writable)) return false;
            if (findSocket(record->handle) != record) return false;
        } else if (n < piece && !record->eventDriven()) {
            return failedWith(wrErrorOperationTimeout);
        }
    }
    return true;
}

void dispatchOneMessage() {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
        } else {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    std::this_thread::yield();
}

bool stillOpen(const SocketRef& record) {
    if (findSocket(record->handle) == record) return true;
    return failedWith(wrErrorConnectionAborted);
}

}  // namespace kvlink
