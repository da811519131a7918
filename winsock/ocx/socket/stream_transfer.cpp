// Line, byte and stream transfers over the record's read-ahead buffer; Peek and Flush.

#include "winsock/ocx/socket/stream_transfer.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/transfer.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {
namespace {

constexpr int kPiece = static_cast<int>(kStreamBufferSize);
constexpr DWORD kProgressIntervalMs = 250;
constexpr int64_t kFlushQuietMs = 500;

StreamBuffer& streamBufferOf(SocketRecord& record) {
    if (!record.streamBuffer) record.streamBuffer = std::make_unique<StreamBuffer>();
    return *record.streamBuffer;
}

// The owner's notifications wait while a line or stream member runs, so a handler cannot read
// the socket under it; they are released as they were when it ends.
class HeldNotifications {
  public:
    explicit HeldNotifications(const SocketRef& record) : m_handle(record->handle) {
        if (record->notifyWindow && !record->held) m_held = holdSocket(m_handle, true);
    }
    ~HeldNotifications() {
        if (!m_held) return;
        uint32_t error = SocketError();
        holdSocket(m_handle, false);  // the socket may be gone; the call's error stays
        SetSocketError(error);
    }
    HeldNotifications(const HeldNotifications&) = delete;
    HeldNotifications& operator=(const HeldNotifications&) = delete;

  private:
    int32_t m_handle;
    bool m_held = false;
};

// One waiting window message runs between two blocks of a stream transfer, so a host's user
// interface stays alive even when the data never makes the transfer wait.
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

// The progress of a running stream transfer: recorded for the progress notification at the
// start, at most every 250 ms while it runs, and at the end.
class Progress {
  public:
    Progress(const SocketRef& record, uint64_t expected, int32_t direction)
        : m_record(record), m_direction(direction) {
        StreamBuffer& buffer = streamBufferOf(*record);
        buffer.flags |= kStreamRunning;
        buffer.startMs = GetTickCount();
        buffer.endMs = 0;
        buffer.expected = expected;
        buffer.copied = 0;
        buffer.error = 0;
        m_last = buffer.startMs;
        publish(0);
    }
    void update(uint64_t copied) {
        DWORD now = GetTickCount();
        if (now - m_last < kProgressIntervalMs) return;
        m_last = now;
        publish(copied);
    }
    // finish records the end; the last notification goes out only on success.
    bool finish(uint64_t copied, bool ok) {
        uint32_t error = ok ? 0 : SocketErrorCode(SocketError());
        StreamBuffer& buffer = streamBufferOf(*m_record);
        buffer.copied = copied;
        buffer.endMs = GetTickCount();
        buffer.error = error;
        buffer.flags &= ~(kStreamRunning | kStreamLineFeedOwed);
        if (findSocket(m_record->handle) == m_record) {
            setTransferProgress(m_record->handle, buffer.expected, copied, 0);
            if (ok) notifyProgress(m_record->handle);
        }
        if (!ok) SetSocketError(error);
        return ok;
    }

  private:
    void publish(uint64_t copied) {
        streamBufferOf(*m_record).copied = copied;
        int32_t handle = m_record->handle;
        setTransferProgress(handle, m_record->streamBuffer->expected, copied, m_direction);
        notifyProgress(handle);
    }

    SocketRef m_record;
    int32_t m_direction;
    DWORD m_last = 0;
};

// A stream member needs a TCP socket with no stream transfer running on it.
SocketRef streamRecord(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return nullptr;
    if (record->listening) return failedWith(wrErrorNotConnected), nullptr;
    if (!record->stream()) return failedWith(wrErrorProtocolNotSupported), nullptr;
    if (record->streamBuffer && (record->streamBuffer->flags & kStreamRunning))
        return failedWith(wrErrorOperationInProgress), nullptr;
    return record;
}

// refill receives up to a buffer's worth into the empty stream buffer: the count, 0 when the
// peer closed, -1 on failure.
int refill(const SocketRef& record) {
    StreamBuffer& buffer = streamBufferOf(*record);
    int n = socketReceive(record->handle, buffer.data, kPiece);
    if (n < 0) {
        uint32_t code = SocketErrorCode(SocketError());
        if (code == wrErrorConnectionAborted || code == wrErrorConnectionReset)
            record->closedByPeer = true;
        return -1;
    }
    buffer.position = 0;
    buffer.unread = static_cast<size_t>(n);
    return n;
}

// Takes one byte of the refilled stream buffer: 1, 0 at the end of the stream, -1 on failure.
int nextByte(const SocketRef& record, uint8_t* byte) {
    StreamBuffer& buffer = streamBufferOf(*record);
    if (buffer.unread == 0) {
        int n = refill(record);
        if (n <= 0) return n;
    }
    *byte = buffer.data[buffer.position++];
    --buffer.unread;
    return 1;
}

bool sendAll(int32_t handle, const uint8_t* data, size_t size) {
    while (size > 0) {
        int piece = static_cast<int>(std::min<size_t>(size, kPiece));
        if (socketSend(handle, data, piece) < 0) return false;
        data += piece;
        size -= static_cast<size_t>(piece);
    }
    return true;
}

// The output side of a stream read: a block collected in memory and handed on when full.
class Sink {
  public:
    explicit Sink(StreamTarget* target) : m_target(target) {
        if (target->kind == StreamTarget::Kind::File || target->kind == StreamTarget::Kind::Socket)
            m_block.reserve(kPiece * 2);
    }
    // put stores one byte; false with the error in the slot.
    bool put(uint8_t byte) {
        switch (m_target->kind) {
            case StreamTarget::Kind::Buffer:
                if (m_stored >= m_target->capacity) return failedWith(wrErrorBufferTooSmall);
                m_target->buffer[m_stored] = byte;
                break;
            case StreamTarget::Kind::Memory:
                m_target->memory.push_back(byte);
                break;
            case StreamTarget::Kind::File:
            case StreamTarget::Kind::Socket:
                m_block.push_back(byte);
                if (m_block.size() >= static_cast<size_t>(kPiece) && !flush()) return false;
                break;
        }
        ++m_stored;
        return true;
    }
    // flush hands the collected block on.
    bool flush() {
        if (m_block.empty()) return true;
        if (m_target->kind == StreamTarget::Kind::File) {
            if (std::fwrite(m_block.data(), 1, m_block.size(), m_target->file) != m_block.size())
                return failedWith(wrErrorFileWriteFailed);
        } else if (m_target->kind == StreamTarget::Kind::Socket) {
            if (!sendAll(m_target->socket, m_block.data(), m_block.size())) return false;
        }
        m_block.clear();
        return true;
    }
    bool finish() {
        if (!flush()) return false;
        if (m_target->kind == StreamTarget::Kind::File && std::fflush(m_target->file) != 0)
            return failedWith(wrErrorFileWriteFailed);
        if (m_target->kind == StreamTarget::Kind::Memory) m_target->memory.shrink_to_fit();
        return true;
    }
    uint64_t stored() const { return m_stored; }

  private:
    StreamTarget* m_target;
    std::vector<uint8_t> m_block;
    uint64_t m_stored = 0;
};

}  // namespace

int bufferedReceive(int32_t handle, uint8_t* into, int length) {
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    if (record->listening) return failWith(wrErrorNotConnected);
    if (!into || length < 0) return failWith(wrErrorInvalidParameter);
    StreamBuffer* buffer = record->streamBuffer.get();
    if (buffer && buffer->unread > 0) {
        size_t n = std::min(buffer->unread, static_cast<size_t>(length));
        std::memcpy(into, buffer->data + buffer->position, n);
        buffer->position += n;
        buffer->unread -= n;
        if (buffer->unread > 0) repostBufferedRead(record);
        return static_cast<int>(n);
    }
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
    while (static_cast<int>(line->size()) < maxLength) {
        uint8_t byte = 0;
        int n = nextByte(record, &byte);
        if (n < 0) return false;
        if (n == 0) {
            if (line->empty()) return failedWith(wrErrorConnectionClosed);
            break;
        }
        if (byte == '\n') break;
        if (byte == '\r' || byte == 0) continue;
        line->push_back(static_cast<char>(byte));
    }
    if (StreamBuffer* buffer = record->streamBuffer.get(); buffer && buffer->unread > 0)
        repostBufferedRead(record);
    return true;
}

bool streamWriteLine(int32_t handle, std::string_view text) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    if (record->listening) return failedWith(wrErrorNotConnected);
    if (!record->stream()) return failedWith(wrErrorProtocolNotSupported);
    HeldNotifications held(record);
    if (!sendAll(handle, reinterpret_cast<const uint8_t*>(text.data()), text.size())) return false;
    static constexpr uint8_t kLineEnd[] = {'\r', '\n'};
    return sendAll(handle, kLineEnd, sizeof kLineEnd);
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
        if (!waitOnRecordMs(record, WaitFor::Readable, kFlushQuietMs, wrStatusFlush)) {
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
    }
    SetSocketError(0);
    return true;
}

bool streamRead(int32_t handle, StreamTarget* target, uint64_t wanted, std::string_view marker,
                uint32_t options, uint64_t* count) {
    *count = 0;
    SocketRef record = streamRecord(handle);
    if (!record) return false;
    if (record->closedByPeer && !(record->streamBuffer && record->streamBuffer->unread > 0))
        return failedWith(wrErrorConnectionClosed);
    switch (target->kind) {
        case StreamTarget::Kind::Buffer:
            if (wanted == 0 || target->capacity == 0) return failedWith(wrErrorBufferTooSmall);
            if (!target->buffer) return failedWith(wrErrorInvalidBuffer);
            break;
        case StreamTarget::Kind::File:
            if (!target->file) return failedWith(wrErrorInvalidFileHandle);
            break;
        case StreamTarget::Kind::Socket:
            if (!findSocket(target->socket)) return false;
            break;
        case StreamTarget::Kind::Memory:
            target->memory.clear();
            try {
                target->memory.reserve(wanted > 0 ? std::min<uint64_t>(wanted, 64u << 20) : kPiece);
            } catch (const std::bad_alloc&) {
                return failedWith(wrErrorOutOfMemory);
            }
            break;
    }
    HeldNotifications held(record);
    Progress progress(record, wanted, wrStatusRead);
    Sink sink(target);
    size_t matched = 0;
    uint64_t taken = 0;  // bytes of the stream consumed (the conversion changes what is stored)
    bool convert = (options & kStreamConvert) != 0;
    bool widen = (options & kStreamWiden) != 0;
    auto store = [&](uint8_t byte) {
        if (!sink.put(byte)) return false;
        return !widen || sink.put(0);
    };
    bool ok = true;
    try {
        while (wanted == 0 || taken < wanted) {
            StreamBuffer& buffer = streamBufferOf(*record);
            if (buffer.unread == 0) {
                int n = refill(record);
                if (n < 0) {
                    ok = false;
                    break;
                }
                if (n == 0) {
                    if (taken == 0) ok = failedWith(wrErrorConnectionClosed);
                    break;
                }
                dispatchOneMessage();
                // A handler may have closed the socket meanwhile.
                if (findSocket(handle) != record) {
                    ok = false;
                    break;
                }
            }
            uint8_t byte = buffer.data[buffer.position++];
            --buffer.unread;
            ++taken;
            if (convert) {
                if (byte == '\n') {
                    ok = store('\r') && store('\n');
                } else if (byte != '\r' && byte != 0) {
                    ok = store(byte);
                }
            } else {
                ok = store(byte);
            }
            if (!ok) break;
            if (!marker.empty()) {
                if (byte == static_cast<uint8_t>(marker[matched])) {
                    if (++matched == marker.size()) break;
                } else {
                    matched = byte == static_cast<uint8_t>(marker[0]) ? 1 : 0;
                    if (matched == marker.size()) break;
                }
            }
            progress.update(sink.stored());
        }
        if (ok) ok = sink.finish();
    } catch (const std::bad_alloc&) {
        ok = failedWith(wrErrorOutOfMemory);
    }
    *count = sink.stored();
    return progress.finish(*count, ok);
}

bool streamWrite(int32_t handle, const StreamSource& source, uint64_t length, uint64_t* count) {
    *count = 0;
    SocketRef record = streamRecord(handle);
    if (!record) return false;
    switch (source.kind) {
        case StreamSource::Kind::Buffer:
            if (length == 0) return failedWith(wrErrorBufferTooSmall);
            if (!source.buffer) return failedWith(wrErrorInvalidBuffer);
            break;
        case StreamSource::Kind::File:
            if (!source.file) return failedWith(wrErrorInvalidFileHandle);
            break;
        case StreamSource::Kind::Socket:
            if (!findSocket(source.socket)) return false;
            break;
    }
    HeldNotifications held(record);
    Progress progress(record, length, wrStatusWrite);
    uint8_t block[kStreamBufferSize];
    uint64_t sent = 0;
    bool ok = true;
    while (length == 0 || sent < length) {
        size_t want = kStreamBufferSize;
        if (length > 0) want = static_cast<size_t>(std::min<uint64_t>(want, length - sent));
        const uint8_t* piece = block;
        size_t got = 0;
        if (source.kind == StreamSource::Kind::Buffer) {
            piece = source.buffer + sent;
            got = want;
        } else if (source.kind == StreamSource::Kind::File) {
            got = std::fread(block, 1, want, source.file);
            if (got == 0 && std::ferror(source.file)) {
                ok = failedWith(wrErrorFileReadFailed);
                break;
            }
        } else {
            int n = bufferedReceive(source.socket, block, static_cast<int>(want));
            if (n < 0) {
                ok = false;
                break;
            }
            got = static_cast<size_t>(n);
        }
        if (got == 0) break;  // the file or the other socket's stream ended
        if (socketSend(handle, piece, static_cast<int>(got)) < 0) {
            ok = false;
            break;
        }
        sent += got;
        dispatchOneMessage();
        if (findSocket(handle) != record) {
            ok = false;
            break;
        }
        progress.update(sent);
    }
    *count = sent;
    return progress.finish(sent, ok);
}

std::FILE* openStoreFile(const std::string& name, uint64_t offset) {
    if (name.empty()) return failedWith(wrErrorInvalidFileName), nullptr;
    std::FILE* file = std::fopen(name.c_str(), "r+b");
    if (!file) file = std::fopen(name.c_str(), "w+b");
    if (!file) return failedWith(wrErrorFileNotCreated), nullptr;
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) {
        std::fclose(file);
        return failedWith(wrErrorFileNotCreated), nullptr;
    }
    return file;
}

}  // namespace kvlink
