// Stream transfers: a socket's stream into memory, a buffer, a file or another socket, and a
// buffer, a file or another socket's stream out through a socket, with progress.

#include <algorithm>
#include <cstring>
#include <new>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/stream_io.h"
#include "winsock/ocx/socket/stream_transfer.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {
namespace {

constexpr size_t kPiece = kStreamBufferSize;
constexpr DWORD kProgressIntervalMs = 250;

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

// Watches the stream for the end marker. A mismatch falls back to the longest part of the
// marker that still ends the data seen, so an overlapping start ("aab" in "aaab") is not lost.
class MarkerMatch {
  public:
    explicit MarkerMatch(std::string_view marker) : m_marker(marker), m_fallback(marker.size()) {
        for (size_t i = 1, k = 0; i < marker.size(); ++i) {
            while (k > 0 && marker[i] != marker[k])
                k = m_fallback[k - 1];
            if (marker[i] == marker[k]) ++k;
            m_fallback[i] = k;
        }
    }
    bool active() const { return !m_marker.empty(); }
    // True when byte completes the marker.
    bool next(uint8_t byte) {
        char c = static_cast<char>(byte);
        while (m_matched > 0 && m_marker[m_matched] != c)
            m_matched = m_fallback[m_matched - 1];
        if (m_marker[m_matched] == c) ++m_matched;
        return m_matched == m_marker.size();
    }

  private:
    std::string_view m_marker;
    std::vector<size_t> m_fallback;
    size_t m_matched = 0;
};

// The output side of a stream read; a file or another socket gets whole blocks.
class Sink {
  public:
    Sink(StreamTarget* target, const SocketRef& to) : m_target(target), m_to(to) {
        if (target->kind == StreamTarget::Kind::File || target->kind == StreamTarget::Kind::Socket)
            m_block.reserve(kPiece * 2);
    }
    // put stores bytes; false with the error in the slot.
    bool put(const uint8_t* data, size_t size) {
        switch (m_target->kind) {
            case StreamTarget::Kind::Buffer:
                if (m_stored + size > m_target->capacity) {
                    size_t room = static_cast<size_t>(m_target->capacity - m_stored);
                    std::memcpy(m_target->buffer + m_stored, data, room);
                    m_stored += room;
                    return failedWith(wrErrorBufferTooSmall);
                }
                std::memcpy(m_target->buffer + m_stored, data, size);
                break;
            case StreamTarget::Kind::Memory:
                m_target->memory.insert(m_target->memory.end(), data, data + size);
                break;
            case StreamTarget::Kind::File:
            case StreamTarget::Kind::Socket:
                m_block.insert(m_block.end(), data, data + size);
                if (m_block.size() >= kPiece && !flush()) return false;
                break;
        }
        m_stored += size;
        return true;
    }
    bool put(uint8_t byte) { return put(&byte, 1); }
    // flush hands the collected block on.
    bool flush() {
        if (m_block.empty()) return true;
        if (m_target->kind == StreamTarget::Kind::File) {
            if (std::fwrite(m_block.data(), 1, m_block.size(), m_target->file) != m_block.size())
                return failedWith(wrErrorFileWriteFailed);
        } else if (m_target->kind == StreamTarget::Kind::Socket) {
            if (!sendWholly(m_to, m_block.data(), m_block.size())) return false;
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
    SocketRef m_to;
    std::vector<uint8_t> m_block;
    uint64_t m_stored = 0;
};

// Checks a stream read's destination before anything is taken from the socket.
bool checkTarget(StreamTarget* target, uint64_t wanted, SocketRef* to) {
    switch (target->kind) {
        case StreamTarget::Kind::Buffer:
            if (wanted == 0 || target->capacity == 0) return failedWith(wrErrorBufferTooSmall);
            if (!target->buffer) return failedWith(wrErrorInvalidBuffer);
            return true;
        case StreamTarget::Kind::File:
            if (!target->file) return failedWith(wrErrorInvalidFileHandle);
            return true;
        case StreamTarget::Kind::Socket:
            *to = findSocket(target->socket);
            if (*to && (*to)->listening) return failedWith(wrErrorNotConnected);
            return *to != nullptr;
        case StreamTarget::Kind::Memory:
            target->memory.clear();
            try {
                target->memory.reserve(wanted > 0 ? std::min<uint64_t>(wanted, 64u << 20) : kPiece);
            } catch (const std::bad_alloc&) {
                return failedWith(wrErrorOutOfMemory);
            }
            return true;
    }
    return true;
}

// Stores the bytes of one block of the stream as the options say; *taken counts the bytes of
// the stream consumed, which a marker may end early. False with the error in the slot.
bool storeBlock(Sink& sink, MarkerMatch& marker, const uint8_t* data, size_t size, uint32_t options,
                size_t* taken, bool* ended) {
    bool convert = (options & kStreamConvert) != 0;
    bool widen = (options & kStreamWiden) != 0;
    *ended = false;
    if (!convert && !widen && !marker.active()) {
        *taken = size;
        return sink.put(data, size);
    }
    auto store = [&](uint8_t byte) { return sink.put(byte) && (!widen || sink.put(0)); };
    for (size_t i = 0; i < size; ++i) {
        uint8_t byte = data[i];
        *taken = i + 1;
        bool ok = true;
        if (!convert) {
            ok = store(byte);
        } else if (byte == '\n') {
            ok = store('\r') && store('\n');
        } else if (byte != '\r' && byte != 0) {
            ok = store(byte);
        }
        if (!ok) return false;
        if (marker.active() && marker.next(byte)) {
            *ended = true;
            return true;
        }
    }
    return true;
}

}  // namespace

bool streamRead(int32_t handle, StreamTarget* target, uint64_t wanted, std::string_view marker,
                uint32_t options, uint64_t* count) {
    *count = 0;
    SocketRef record = streamRecord(handle);
    if (!record) return false;
    if (record->closedByPeer && !(record->streamBuffer && record->streamBuffer->unread > 0))
        return failedWith(wrErrorConnectionClosed);
    SocketRef to;
    if (!checkTarget(target, wanted, &to)) return false;
    HeldNotifications held(record);
    Progress progress(record, wanted, wrStatusRead);
    Sink sink(target, to);
    MarkerMatch match(marker);
    uint64_t consumed = 0;  // bytes of the stream taken (the conversion changes what is stored)
    bool ok = true;
    try {
        bool ended = false;
        while (!ended && (wanted == 0 || consumed < wanted)) {
            StreamBuffer& buffer = streamBufferOf(*record);
            if (buffer.unread == 0) {
                int n = refill(record);
                if (n < 0) {
                    ok = false;
                    break;
                }
                if (n == 0) {
                    if (consumed == 0) ok = failedWith(wrErrorConnectionClosed);
                    break;
                }
                dispatchOneMessage();
                // A handler may have closed the socket meanwhile.
                if (!stillOpen(record)) {
                    ok = false;
                    break;
                }
            }
            size_t size = buffer.unread;
            if (wanted > 0) size = static_cast<size_t>(std::min<uint64_t>(size, wanted - consumed));
            size_t taken = 0;
            ok = storeBlock(sink, match, buffer.data + buffer.position, size, options, &taken,
                            &ended);
            buffer.position += taken;
            buffer.unread -= taken;
            consumed += taken;
            if (!ok) break;
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
    SocketRef from;
    switch (source.kind) {
        case StreamSource::Kind::Buffer:
            if (length == 0) return failedWith(wrErrorBufferTooSmall);
            if (!source.buffer) return failedWith(wrErrorInvalidBuffer);
            break;
        case StreamSource::Kind::File:
            if (!source.file) return failedWith(wrErrorInvalidFileHandle);
            break;
        case StreamSource::Kind::Socket:
            from = findSocket(source.socket);
            if (!from) return false;
            if (from->listening) return failedWith(wrErrorNotConnected);
            if (!from->stream()) return failedWith(wrErrorProtocolNotSupported);
            break;
    }
    HeldNotifications held(record);
    Progress progress(record, length, wrStatusWrite);
    uint8_t block[kPiece];
    uint64_t sent = 0;
    bool ok = true;
    while (length == 0 || sent < length) {
        size_t want = kPiece;
        if (length > 0) want = static_cast<size_t>(std::min<uint64_t>(want, length - sent));
        const uint8_t* piece = block;
        size_t got = 0;
        if (source.kind == StreamSource::Kind::Buffer) {
            piece = source.buffer + sent;
            got = want;
        } else if (source.kind == StreamSource::Kind::File) {
            got = std::fread(block, 1, want, source.file);
            if (got < want && std::ferror(source.file)) {
                ok = failedWith(wrErrorFileReadFailed);
                break;
            }
        } else {
            int n = bufferedReceiveWholly(from, block, static_cast<int>(want));
            if (n < 0) {
                ok = false;
                break;
            }
            got = static_cast<size_t>(n);
        }
        if (got == 0) break;  // the file or the other socket's stream ended
        uint64_t went = 0;
        ok = sendWholly(record, piece, got, &went);
        sent += went;
        if (!ok) break;
        dispatchOneMessage();
        if (!stillOpen(record)) {
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
