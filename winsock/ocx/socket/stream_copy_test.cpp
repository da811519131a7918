// Stream transfers over loopback: markers that overlap themselves, socket to socket in both
// directions, a send that stops part-way, and every refusal a destination or source can meet.

#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "winsock/ocx/socket/close.h"
#include "winsock/ocx/socket/socket_test_support.h"
#include "winsock/ocx/socket/stream_transfer.h"

using namespace kvlink;
using socket_test::connectTo;
using socket_test::lastCode;

namespace {

std::string payload(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return data;
}

std::string text(const StreamTarget& target) {
    return std::string(target.memory.begin(), target.memory.end());
}

}  // namespace

TEST(StreamCopy, AMarkerThatStartsInsideAnAlmostMatchIsStillFound) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("xaaab|abab.ababc|tail");
        peer.hold(5000);
    });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    StreamTarget into;
    uint64_t count = 0;
    ASSERT_TRUE(streamRead(handle, &into, 0, "aab", 0, &count)) << lastCode();
    EXPECT_EQ(text(into), "xaaab");
    ASSERT_TRUE(streamRead(handle, &into, 0, "ababc", 0, &count)) << lastCode();
    EXPECT_EQ(text(into), "|abab.ababc");
    ASSERT_TRUE(streamRead(handle, &into, 3, {}, 0, &count)) << lastCode();
    EXPECT_EQ(text(into), "|ta") << "a length ends it too";
    closeSocket(handle, 0);
}

TEST(StreamCopy, OneSocketsStreamGoesOutThroughAnotherBothWays) {
    const std::string data = payload(700000);
    std::string firstCopy, secondCopy;
    LoopbackServer source([&](PeerConnection& peer) { peer.send(data); });
    LoopbackServer sink([&](PeerConnection& peer) {
        std::string& into = firstCopy.empty() ? firstCopy : secondCopy;
        into = peer.receiveUntilClosed();
    });
    // Read side: the stream into the other socket.
    int32_t from = connectTo(source.port(), 5);
    int32_t to = connectTo(sink.port(), 5);
    ASSERT_NE(from, wrInvalidSocket);
    ASSERT_NE(to, wrInvalidSocket);
    StreamTarget target;
    target.kind = StreamTarget::Kind::Socket;
    target.socket = to;
    uint64_t count = 0;
    ASSERT_TRUE(streamRead(from, &target, 0, {}, 0, &count)) << lastCode();
    EXPECT_EQ(count, data.size());
    closeSocket(from, 0);
    closeSocket(to, 5);
    ASSERT_TRUE(sink.waitHandled(1));
    EXPECT_TRUE(firstCopy == data);

    // Write side: the other socket's stream, until it closes, as the source.
    from = connectTo(source.port(), 5);
    to = connectTo(sink.port(), 5);
    StreamSource fromSocket;
    fromSocket.kind = StreamSource::Kind::Socket;
    fromSocket.socket = from;
    ASSERT_TRUE(streamWrite(to, fromSocket, 0, &count)) << lastCode();
    EXPECT_EQ(count, data.size());
    closeSocket(from, 0);
    closeSocket(to, 5);
    ASSERT_TRUE(sink.waitHandled(2));
    EXPECT_TRUE(secondCopy == data);
}

TEST(StreamCopy, ASendThatStopsPartWayFailsWithTheCountThatWent) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(20000); });
    int32_t handle = connectTo(server.port(), 1);
    ASSERT_NE(handle, wrInvalidSocket);
    // Far more than the socket buffers of both ends hold: the peer never reads.
    std::vector<uint8_t> data(64u << 20, 'x');
    StreamSource source;
    source.buffer = data.data();
    uint64_t count = 0;
    EXPECT_FALSE(streamWrite(handle, source, data.size(), &count));
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout);
    EXPECT_GT(count, 0u);
    EXPECT_LT(count, data.size());
    closeSocket(handle, 0);
}

TEST(StreamCopy, DestinationsAndSourcesThatCannotBeUsedAreRefused) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send(std::string(100000, 'y'));
        peer.hold(5000);
    });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    uint64_t count = 0;

    StreamTarget noBuffer;
    noBuffer.kind = StreamTarget::Kind::Buffer;
    noBuffer.capacity = 10;
    EXPECT_FALSE(streamRead(handle, &noBuffer, 10, {}, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorInvalidBuffer);
    StreamSource noSource;
    EXPECT_FALSE(streamWrite(handle, noSource, 10, &count));
    EXPECT_EQ(lastCode(), wrErrorInvalidBuffer);
    EXPECT_FALSE(streamWrite(handle, noSource, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorBufferTooSmall) << "a buffer needs a length";
    StreamSource noFile;
    noFile.kind = StreamSource::Kind::File;
    EXPECT_FALSE(streamWrite(handle, noFile, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorInvalidFileHandle);
    StreamSource noSocket;
    noSocket.kind = StreamSource::Kind::Socket;
    EXPECT_FALSE(streamWrite(handle, noSocket, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorInvalidHandle);

    // A folder opens for reading but gives no data.
    auto folder = std::filesystem::temp_directory_path();
    StreamSource folderFile;
    folderFile.kind = StreamSource::Kind::File;
    folderFile.file = std::fopen(folder.string().c_str(), "rb");
    ASSERT_NE(folderFile.file, nullptr);
    EXPECT_FALSE(streamWrite(handle, folderFile, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorFileReadFailed);
    std::fclose(folderFile.file);

    EXPECT_EQ(openStoreFile((folder / "no such folder" / "x.bin").string(), 0), nullptr);
    EXPECT_EQ(lastCode(), wrErrorFileNotCreated);
    EXPECT_EQ(openStoreFile(folder.string(), 0), nullptr) << "a folder is no file to store into";
    EXPECT_EQ(lastCode(), wrErrorFileNotCreated);

    // A device that takes nothing: the first full block fails, and the error says so.
    if (std::FILE* full = openStoreFile("/dev/full", 0)) {
        StreamTarget target;
        target.kind = StreamTarget::Kind::File;
        target.file = full;
        EXPECT_FALSE(streamRead(handle, &target, 50000, {}, 0, &count));
        EXPECT_EQ(lastCode(), wrErrorFileWriteFailed);
        std::fclose(full);
    }
    closeSocket(handle, 0);

    UdpEcho echo;
    ConnectRequest request;
    request.host = "127.0.0.1";
    request.remotePort = echo.port();
    request.protocol = wrProtocolUdp;
    ASSERT_TRUE(connectSocket(request, &handle)) << lastCode();
    StreamTarget into;
    EXPECT_FALSE(streamRead(handle, &into, 0, {}, 0, &count));
    EXPECT_EQ(lastCode(), wrErrorProtocolNotSupported);
    uint8_t byte = 0;
    StreamSource one;
    one.buffer = &byte;
    EXPECT_FALSE(streamWrite(handle, one, 1, &count));
    EXPECT_EQ(lastCode(), wrErrorProtocolNotSupported);
    closeSocket(handle, 0);
}

// The address sanitizer reserves more address space than the limit below allows.
#if defined(__SANITIZE_ADDRESS__)
#define STREAM_COPY_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define STREAM_COPY_UNDER_ASAN 1
#endif
#endif

#ifndef STREAM_COPY_UNDER_ASAN
TEST(StreamCopyDeathTest, AStreamThatOutgrowsMemoryFailsWithOutOfMemory) {
    // More than the child may hold: its address space is capped below the stream's size.
    constexpr uint64_t kStream = 768u << 20;
    LoopbackServer server([](PeerConnection& peer) { peer.source(kStream, 1 << 16); });
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = 512u << 20;
            setrlimit(RLIMIT_AS, &limit);
            int32_t handle = connectTo(server.port(), 10);
            StreamTarget into;
            uint64_t count = 0;
            bool ok = streamRead(handle, &into, 0, {}, 0, &count);
            std::_Exit(!ok && lastCode() == wrErrorOutOfMemory ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif
