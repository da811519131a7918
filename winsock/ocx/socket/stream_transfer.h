#pragma once
// Line, byte and stream transfers on a TCP socket of the table, over a per-socket read-ahead
// buffer (the record's StreamBuffer, made on first use), and Peek and Flush.
//
//   std::string line;
//   if (streamReadLine(handle, 8192, &line)) ...        // CR and NUL dropped, LF ends it
//   streamWriteLine(handle, "HELO me");                 // the text, then CR LF
//   StreamTarget into;                                  // a new memory block
//   uint64_t count = 0;
//   streamRead(handle, &into, 0, "\r\n.\r\n", 0, &count);  // until the marker or the close
//
// Bytes read ahead into the buffer are given out only by these members; the plain receive
// (transfer.h) never sees them. Every call waits as the plain receive and send do (the record's
// time-out, Cancel, Abort) and fails with the error in the error slot. The line and stream
// calls run to their end on an event-driven socket too: they wait for it where its plain
// receive or send would give up, with its notifications held.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kvlink {

// The option bits of a stream read: line-ending conversion, and widening (each byte followed by
// a zero byte).
constexpr uint32_t kStreamConvert = 0x10000;
constexpr uint32_t kStreamWiden = 0x80000000u;

// bufferedReceive gives up to length bytes: from the stream buffer when it holds any (an
// event-driven socket hears of the rest by a read notification again), else one receive from
// the socket. 0 when the peer closed; -1 with the receive's error (10053 and 10054 also mark the
// record closed by the peer).
int bufferedReceive(int32_t handle, uint8_t* into, int length);

// streamReadByte gives one byte 0-255, or -1: wrErrorConnectionClosed (12256) when the peer
// closed, else the receive's error.
int streamReadByte(int32_t handle);

// streamReadLine reads up to maxLength characters or to a line feed (not stored); carriage
// returns and NULs are dropped. A close after some characters gives the line so far. False
// with wrErrorInvalidParameter (10014) for maxLength below 1, wrErrorProtocolNotSupported
// (10043) for a socket that is not TCP, wrErrorOperationInProgress (10036) while a stream
// transfer runs, 12256 for a close before any character, or the receive's error.
bool streamReadLine(int32_t handle, int maxLength, std::string* line);

// streamWriteLine sends text in pieces of at most 8192 bytes, then CR LF. False with 10043 or
// the send's error.
bool streamWriteLine(int32_t handle, std::string_view text);

// streamPeek looks at up to count bytes without taking them: the stream buffer's unread bytes
// when it holds any, else (after waiting for data in blocking mode) the socket's queue.
// buffer may be null (then only the number is given). Returns the number, 0 when nothing came
// in time (10060 in the slot) or an event-driven socket has nothing, -1 with
// wrErrorOperationNotSupported (12201) for a socket that is not TCP or is secure,
// wrErrorBufferTooSmall (10023) for a buffer with a count below 1, or the wait's or the
// network library's error.
int streamPeek(int32_t handle, uint8_t* buffer, int count);

// streamFlush discards what arrives until nothing comes for half a second or the peer closes,
// with the status wrStatusFlush meanwhile, running one window message after each piece; a
// socket that is not TCP has nothing to flush. False with the wait's error; an abort, or a close
// from a handler, closes the socket and gives wrErrorConnectionAborted (10053).
bool streamFlush(int32_t handle);

// Where a stream read puts the data.
struct StreamTarget {
    enum class Kind { Memory, Buffer, File, Socket };
    Kind kind = Kind::Memory;
    std::vector<uint8_t> memory;  // Memory: grows as needed, shrunk to its size at the end
    uint8_t* buffer = nullptr;    // Buffer: the caller's, of capacity bytes
    uint64_t capacity = 0;
    std::FILE* file = nullptr;  // File: written from its current position
    int32_t socket = -1;        // Socket: another socket of the table
};

// streamRead moves the socket's stream into target until wanted bytes came (0: until the peer
// closes), or the marker (kept in the data) arrived. Progress is recorded and notified once at
// the start, at most every 250 ms, and at the end. *count receives the bytes stored. False with
// 10043, 12256 when the peer had closed or nothing came at all, 10036 while a transfer runs,
// wrErrorBufferTooSmall (10023) for a caller buffer without a length, wrErrorInvalidBuffer
// (10022) for one that is null, wrErrorInvalidFileHandle (10009), wrErrorFileWriteFailed (10011),
// wrErrorOutOfMemory (10012), or the receive's or the other socket's send error.
bool streamRead(int32_t handle, StreamTarget* target, uint64_t wanted, std::string_view marker,
                uint32_t options, uint64_t* count);

// Where a stream write takes the data from.
struct StreamSource {
    enum class Kind { Buffer, File, Socket };
    Kind kind = Kind::Buffer;
    const uint8_t* buffer = nullptr;  // Buffer: length bytes
    std::FILE* file = nullptr;        // File: read from its current position to its end
    int32_t socket = -1;              // Socket: buffered receive until it closes
};

// streamWrite sends length bytes of source (0 for a file or socket: to its end) in pieces of at
// most 8192 bytes, with progress as streamRead. *count receives the bytes sent. False with
// 10043, 10036, 10023 for a buffer without length, 10022 for a null one, 10009,
// wrErrorFileReadFailed (10010), or the send's or the other socket's receive error (a send that
// stopped part-way counts what went).
bool streamWrite(int32_t handle, const StreamSource& source, uint64_t length, uint64_t* count);

// openStoreFile opens (or creates) name for reading and writing at offset. nullptr with
// wrErrorInvalidFileName (10008) for an empty name, wrErrorFileNotCreated (10003) when it
// cannot be opened or positioned.
std::FILE* openStoreFile(const std::string& name, uint64_t offset);

}  // namespace kvlink
