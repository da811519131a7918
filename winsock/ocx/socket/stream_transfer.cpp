// Line and byte transfers over the record's read-ahead buffer; Peek and Flush.

#include "winsock/ocx/socket/stream_transfer.h"

#include <algorithm>
#include <cstring>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/stream_io.h"
#include "winsock/ocx/socket/transfer.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {
namespace {

constexpr int kPiece = static_cast<int>(kStreamBufferSize);
constexpr int64_t kFlushQuietMs = 500;

}  // namespace

int bufferedReceive(int32_t handle, uint8_t* into, int length) {
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    if (record->listening) return failWith(wrErrorNotConnected);
    if (!into || length < 0) return failWith(wrErrorInvalidParameter);
    if (int n = takeReadAhead(record, into, length); n >= 0) return n;
    int n = socketReceive(handle, into, length);
    if (n < 0) {
        uint32_t code = SocketErrorCode(SocketError());
        if (code == wrErrorConnectionAborted || code == wrErrorConnectionReset)
            record->closedByPeer = true;
    }
    return n;
}

int streamReadByte(int32_t handle) {
    uint8_t byte = 0;
    int n = bufferedReceive(handle, &byte, 1);
    if (n == 0) return failWith(wrErrorConnectionClosed);
    if (n < 0) return -1;
    return byte;
}

bool streamReadLine(int32_t handle, int maxLength, std::string* line) {
    line->clear();
    if (maxLength < 1) return failedWith(wrErrorInvalidParameter);
    SocketRef record = streamRecord(handle);
    if (!record) return false;
    HeldNotifications held(record);
    StreamBuffer& buffer = streamBufferOf(*record);
    const size_t limit = static_cast<size_t>(maxLength);
    bool ended = false;
    while (!ended && line->size() < limit) {
        if (buffer.unread == 0) {
            int n = refill(record);
            if (n < 0) return false;
            if (n == 0) {
                if (line->empty()) return failedWith(wrErrorConnectionClosed);
                break;
            }
        }
        // The run up to the line feed (or all that is read ahead), carriage returns and NULs
        // left out, as far as the line has room.
        const uint8_t* start = buffer.data + buffer.position;
        const void* feed = std::memchr(start, '\n', buffer.unread);
        size_t run =
            feed ? static_cast<size_t>(static_cast<const uint8_t*>(feed) - start) : buffer.unread;
        size_t taken = 0;
        while (taken < run && line->size() < limit) {
            uint8_t byte = start[taken++];
            if (byte != '\r' && byte != 0) line->push_back(static_cast<char>(byte));
        }
        // The line feed ends the line and is not stored; a line that is full already leaves
        // it for the next read.
        if (taken == run && feed && line->size() < limit) {
            ++taken;
            ended = true;
        }
        buffer.position += taken;
        buffer.unread -= taken;
    }
    if (buffer.unread > 0) repostBufferedRead(record);
    return true;
}

bool streamWriteLine(int32_t handle, std::string_view text) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    if (record->listening) return failedWith(wrErrorNotConnected);
    if (!record->stream()) return failedWith(wrErrorProtocolNotSupported);
    HeldNotifications held(record);
    if (!sendWholly(record, reinterpret_cast<const uint8_t*>(text.data()), text.size()))
        return false;
    static constexpr uint8_t kLineEnd[] = {'\r', '\n'};
    return sendWholly(record, kLineEnd, sizeof kLineEnd);
}

int streamPeek(int32_t handle, uint8_t* buffer, int count) {
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    if (record->listening) return failWith(wrErrorNotConnected);
    if (!record->stream() || record->secure) return failWith(wrErrorOperationNotSupported);
    if (buffer && count < 1) return failWith(wrErrorBufferTooSmall);
    if (count < 1) count = kPiece;
    if (StreamBuffer* held = record->streamBuffer.get(); held && held->unread > 0) {
        size_t n = std::min(held->unread, static_cast<size_t>(count));
        if (buffer) std::memcpy(buffer, held->data + held->position, n);
        return static_cast<int>(n);
    }
    if (!record->eventDriven() &&
        !waitOnRecord(record, WaitFor::Readable, record->timeoutSeconds, wrStatusRead)) {
        // Nothing in time is an answer, not a failure; the slot still says why.
        return SocketErrorCode(SocketError()) == wrErrorOperationTimeout ? 0 : -1;
    }
    std::vector<uint8_t> scratch;
    if (!buffer) {
        scratch.resize(static_cast<size_t>(count));
        buffer = scratch.data();
    }
    NetworkLibrary& net = networkLibrary();
    int n = net.recv(static_cast<SOCKET>(handle), reinterpret_cast<char*>(buffer), count, MSG_PEEK);
    if (n == SOCKET_ERROR) {
        if (net.getLastError() == WSAEWOULDBLOCK && record->eventDriven()) return 0;
        return networkFailure();
    }
    return n;
}

bool streamFlush(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    if (record->listening) return failedWith(wrErrorNotConnected);
    // Only a stream has pending input to discard.
    if (!record->stream()) return true;
    // What was read ahead is pending input too.
    if (record->streamBuffer) record->streamBuffer->unread = 0;
    uint8_t scratch[256];
    for (;;) {
        // Data the secure session decrypted already is there without the socket being readable.
        bool decrypted = record->secure && record->secure->hasBufferedInput();
        if (!decrypted &&
            !waitOnRecordMs(record, WaitFor::Readable, kFlushQuietMs, wrStatusFlush)) {
            if (SocketErrorCode(SocketError()) == wrErrorOperationTimeout) break;
            return false;
        }
        int n;
        if (record->secure) {
            n = record->secure->receive(scratch, sizeof scratch, record->timeoutSeconds);
        } else {
            n = networkLibrary().recv(static_cast<SOCKET>(handle), reinterpret_cast<char*>(scratch),
                                      sizeof scratch, 0);
            if (n == SOCKET_ERROR) {
                if (networkLibrary().getLastError() == WSAEWOULDBLOCK) continue;
                return networkFailed();
            }
        }
        if (n < 0) return false;
        if (n == 0) {
            record->closedByPeer = true;
            break;
        }
        record->bytesReceived += static_cast<uint64_t>(n);
        // The waits are too short to run messages; a host that wants to abort a flush that
        // never ends gets its chance here.
        dispatchOneMessage();
        if (!stillOpen(record)) return false;
    }
    SetSocketError(0);
    return true;
}

}  // namespace kvlink
