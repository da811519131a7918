// Line, byte and stream transfers over loopback: the read-ahead shared by the line members and
// kept from the plain receive, line edges, markers, conversion, files, Peek and Flush.

#include "winsock/ocx/socket/stream_transfer.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "winsock/ocx/socket/close.h"
#include "winsock/ocx/socket/socket_info.h"
#include "winsock/ocx/socket/socket_test_support.h"
#include "winsock/ocx/socket/transfer.h"

using namespace kvlink;
using socket_test::connectTo;
using socket_test::lastCode;

TEST(StreamTransfer, LinesDropCarriageReturnsAndNulsAndTheReadAheadStaysWithTheLineMembers) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send(std::string("one\r\n\0tw\ro\n\nthree-is-long\nAB", 28));
        peer.hold(5000);
    });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    std::string line;
    ASSERT_TRUE(streamReadLine(handle, 8192, &line)) << lastCode();
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(streamReadLine(handle, 8192, &line));
    EXPECT_EQ(line, "two");
    ASSERT_TRUE(streamReadLine(handle, 8192, &line));
    EXPECT_EQ(line, "") << "an empty line is a line";
    ASSERT_TRUE(streamReadLine(handle, 5, &line));
    EXPECT_EQ(line, "three") << "Length splits a long line";
    ASSERT_TRUE(streamReadLine(handle, 8192, &line));
    EXPECT_EQ(line, "-is-long");
    EXPECT_EQ(streamReadByte(handle), 'A') << "a byte comes from the read-ahead";
    uint8_t peeked[4];
    EXPECT_EQ(streamPeek(handle, peeked, 4), 1);
    EXPECT_EQ(peeked[0], 'B');
    // The plain receive never sees what the line members read ahead: nothing else is queued.
    ASSERT_TRUE(setSocketTimeout(handle, 1));
    uint8_t plain[8];
    EXPECT_EQ(socketReceive(handle, plain, sizeof plain), -1);
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout);
    EXPECT_EQ(streamReadByte(handle), 'B');
    EXPECT_FALSE(streamReadLine(handle, 0, &line));
    EXPECT_EQ(lastCode(), wrErrorInvalidParameter);
    closeSocket(handle, 0);
}

TEST(StreamTransfer, ALineThatFillsLengthLeavesItsLineFeedForTheNextRead) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send(std::string("abcde\r\nxy\r\r\n\0z\n", 15));
        peer.hold(5000);
    });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    std::string line;
    const char* const expected[] = {"abcde", "", "xy", "z"};
    for (const char* want : expected) {
        ASSERT_TRUE(streamReadLine(handle, 5, &line)) << lastCode();
        EXPECT_EQ(line, want) << "dropped bytes do not count against Length";
    }
    closeSocket(handle, 0);
}

TEST(StreamTransfer, ACloseEndsALineOrReportsTheConnectionClosed) {
    LoopbackServer server([](PeerConnection& peer) { peer.send("partial"); });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    std::string line;
    ASSERT_TRUE(streamReadLine(handle, 8192, &line)) << lastCode();
    EXPECT_EQ(line, "partial") << "the line so far";
    EXPECT_FALSE(streamReadLine(handle, 8192, &line));
    EXPECT_EQ(lastCode(), wrErrorConnectionClosed);
    EXPECT_EQ(streamReadByte(handle), -1);
    EXPECT_EQ(lastCode(), wrErrorConnectionClosed);
    uint64_t count = 7;
    StreamTarget into;
    EXPECT_FALSE(streamRead(handle, &into, 0, {}, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorConnectionClosed);
    EXPECT_EQ(count, 0u);
    closeSocket(handle, 0);
}

TEST(StreamTransfer, WriteLineSendsLongTextInPiecesThenTheLineEnd) {
    std::string received;
    LoopbackServer server([&](PeerConnection& peer) { received = peer.receiveUntilClosed(); });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    std::string longText(20000, 'x');
    ASSERT_TRUE(streamWriteLine(handle, longText));
    ASSERT_TRUE(streamWriteLine(handle, ""));
    closeSocket(handle, 5);
    ASSERT_TRUE(server.waitHandled(1));
    EXPECT_EQ(received, longText + "\r\n\r\n");
}

TEST(StreamTransfer, AStreamReadStopsAtTheMarkerAndConvertsLineEnds) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("a\r\nb\nc..\n.\nrest");
        peer.hold(5000);
    });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    StreamTarget into;
    uint64_t count = 0;
    ASSERT_TRUE(streamRead(handle, &into, 0, "\n.\n", kStreamConvert, &count)) << lastCode();
    std::string text(into.memory.begin(), into.memory.end());
    EXPECT_EQ(text, "a\r\nb\r\nc..\r\n.\r\n") << "the marker is part of the data";
    EXPECT_EQ(count, text.size());
    // The rest stays for the next reader, widened this time, into a caller buffer.
    uint8_t wide[8] = {};
    StreamTarget buffer;
    buffer.kind = StreamTarget::Kind::Buffer;
    buffer.buffer = wide;
    buffer.capacity = sizeof wide;
    ASSERT_TRUE(streamRead(handle, &buffer, 4, {}, kStreamWiden, &count)) << lastCode();
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(wide), 8), std::string("r\0e\0s\0t\0", 8));
    buffer.capacity = 0;
    EXPECT_FALSE(streamRead(handle, &buffer, 0, {}, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorBufferTooSmall);
    StreamTarget noFile;
    noFile.kind = StreamTarget::Kind::File;
    EXPECT_FALSE(streamRead(handle, &noFile, 0, {}, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorInvalidFileHandle);
    closeSocket(handle, 0);
}

TEST(StreamTransfer, AStoredStreamLandsAtTheOffsetAndAFileGoesOutWhole) {
    std::string payload;
    for (int i = 0; i < 300000; ++i)
        payload.push_back(static_cast<char>(i * 7 % 251));
    LoopbackServer server([&](PeerConnection& peer) { peer.send(payload); });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    auto path = std::filesystem::temp_directory_path() / "stream_transfer_test.bin";
    std::filesystem::remove(path);
    EXPECT_EQ(openStoreFile("", 0), nullptr);
    EXPECT_EQ(lastCode(), wrErrorInvalidFileName);
    std::FILE* file = openStoreFile(path.string(), 10);
    ASSERT_NE(file, nullptr);
    StreamTarget target;
    target.kind = StreamTarget::Kind::File;
    target.file = file;
    uint64_t count = 0;
    ASSERT_TRUE(streamRead(handle, &target, 0, {}, 0, &count)) << lastCode();
    std::fclose(file);
    EXPECT_EQ(count, payload.size());
    EXPECT_EQ(std::filesystem::file_size(path), payload.size() + 10);
    closeSocket(handle, 0);

    // The stored file goes back out through a stream write; the peer sees the same bytes.
    std::string back;
    LoopbackServer sink([&](PeerConnection& peer) { back = peer.receiveUntilClosed(); });
    handle = connectTo(sink.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    StreamSource source;
    source.kind = StreamSource::Kind::File;
    source.file = std::fopen(path.string().c_str(), "rb");
    ASSERT_NE(source.file, nullptr);
    std::fseek(source.file, 10, SEEK_SET);
    ASSERT_TRUE(streamWrite(handle, source, 0, &count)) << lastCode();
    std::fclose(source.file);
    EXPECT_EQ(count, payload.size());
    closeSocket(handle, 5);
    ASSERT_TRUE(sink.waitHandled(1));
    EXPECT_TRUE(back == payload);
    std::filesystem::remove(path);
}

TEST(StreamTransfer, PeekLeavesTheDataAndFlushDiscardsIt) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("queued");
        peer.hold(5000);
    });
    int32_t handle = connectTo(server.port(), 1);
    ASSERT_NE(handle, wrInvalidSocket);
    uint8_t peeked[16];
    int n = streamPeek(handle, peeked, sizeof peeked);
    ASSERT_GT(n, 0) << lastCode();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(peeked), n), std::string("queued", n));
    EXPECT_EQ(streamPeek(handle, nullptr, 0), n) << "without a buffer: only the number";
    EXPECT_EQ(streamPeek(handle, peeked, 0), -1);
    EXPECT_EQ(lastCode(), wrErrorBufferTooSmall);
    ASSERT_TRUE(streamFlush(handle)) << lastCode();
    SocketSnapshot info;
    ASSERT_TRUE(readSocket(handle, &info));
    EXPECT_EQ(info.status, wrStatusIdle);
    EXPECT_EQ(info.bytesReceived, 6u) << "flushed data was received and dropped";
    EXPECT_EQ(streamPeek(handle, peeked, sizeof peeked), 0) << "nothing within the time-out";
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout);
    closeSocket(handle, 0);

    UdpEcho echo;
    ConnectRequest request;
    request.host = "127.0.0.1";
    request.remotePort = echo.port();
    request.protocol = wrProtocolUdp;
    ASSERT_TRUE(connectSocket(request, &handle)) << lastCode();
    EXPECT_EQ(streamPeek(handle, peeked, 4), -1);
    EXPECT_EQ(lastCode(), wrErrorOperationNotSupported);
    std::string line;
    EXPECT_FALSE(streamReadLine(handle, 10, &line));
    EXPECT_EQ(lastCode(), wrErrorProtocolNotSupported);
    EXPECT_FALSE(streamWriteLine(handle, "x"));
    EXPECT_EQ(lastCode(), wrErrorProtocolNotSupported);
    closeSocket(handle, 0);
}
