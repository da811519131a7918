// Send and receive over loopback: data both ways, the peer's close, time-outs, bad calls.

#include "winsock/ocx/socket/transfer.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tools/testsupport/temp_dir.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/close.h"
#include "winsock/ocx/socket/socket_info.h"
#include "winsock/ocx/socket/socket_test_support.h"

using namespace kvlink;
using socket_test::connectTo;
using socket_test::lastCode;

TEST(Transfer, EveryByteValueGoesThereAndBack) {
    LoopbackServer echo([](PeerConnection& peer) { peer.send(peer.receive(256)); });
    int32_t handle = connectTo(echo.port());
    ASSERT_NE(handle, wrInvalidSocket) << lastCode();
    std::vector<uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(socketSend(handle, bytes.data(), 256), 256);

    std::vector<uint8_t> back;
    uint8_t buffer[100];
    while (back.size() < 256) {
        int n = socketReceive(handle, buffer, sizeof buffer);
        ASSERT_GT(n, 0) << lastCode();
        EXPECT_LE(n, 100);
        back.insert(back.end(), buffer, buffer + n);
    }
    EXPECT_EQ(back, bytes);
    SocketSnapshot info;
    ASSERT_TRUE(readSocket(handle, &info));
    EXPECT_EQ(info.bytesSent, 256u);
    EXPECT_EQ(info.bytesReceived, 256u);
    EXPECT_EQ(info.status, wrStatusIdle);
    closeSocket(handle, 0);
}

TEST(Transfer, ThePeersCloseReadsAsZeroAndMarksTheRecord) {
    LoopbackServer server([](PeerConnection& peer) { peer.send("bye"); });
    int32_t handle = connectTo(server.port());
    ASSERT_NE(handle, wrInvalidSocket);
    uint8_t buffer[16];
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), 3);
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), 0);
    SocketSnapshot info;
    ASSERT_TRUE(readSocket(handle, &info));
    EXPECT_TRUE(info.closedByPeer);
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), 0) << "and so do later reads";
    closeSocket(handle, 0);
}

TEST(Transfer, AReceiveWithNothingComingTimesOut) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    int32_t handle = connectTo(server.port(), 1);
    ASSERT_NE(handle, wrInvalidSocket);
    uint8_t buffer[16];
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), -1);
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout);
    // The socket stays usable, and a later time-out from the record applies to the next wait.
    ASSERT_TRUE(setSocketTimeout(handle, 1500));  // milliseconds
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), -1);
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout);
    closeSocket(handle, 0);
}

TEST(Transfer, ASendToAPeerThatNeverReadsTimesOutInsteadOfHanging) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    int32_t handle = connectTo(server.port(), 1);
    ASSERT_NE(handle, wrInvalidSocket);
    // More than the kernel buffers of both ends hold.
    std::vector<uint8_t> data(64u << 20, 'x');
    uint32_t stoppedBy = 0;
    int sent = socketSend(handle, data.data(), static_cast<int>(data.size()), 0, &stoppedBy);
    // What went before the time-out is the result, and the time-out is the error.
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(data.size()));
    EXPECT_EQ(SocketErrorCode(stoppedBy), wrErrorOperationTimeout);
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout);
    SocketSnapshot info;
    ASSERT_TRUE(readSocket(handle, &info));
    EXPECT_EQ(info.bytesSent, static_cast<uint64_t>(sent));
    closeSocket(handle, 0);
}

// A peer that takes a little now and then keeps every single wait short: the call's one time-out
// still ends it, and the count it returns is exactly what the peer gets.
TEST(Transfer, ASlowReaderGetsExactlyTheCountOfASendCutByItsTimeOut) {
    std::atomic<uint64_t> received{0};
    std::atomic<bool> draining{false};
    LoopbackServer slow([&](PeerConnection& peer) {
        uint64_t total = 0;
        for (;;) {
            std::string part = peer.receive(1, 5000);
            if (part.empty()) break;
            total += part.size();
            if (!draining) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        received = total;
    });
    int32_t handle = connectTo(slow.port(), 2);
    ASSERT_NE(handle, wrInvalidSocket);
    std::vector<uint8_t> data(32u << 20, 'z');
    uint32_t stoppedBy = 0;
    int sent = socketSend(handle, data.data(), static_cast<int>(data.size()), 0, &stoppedBy);
    draining = true;
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(data.size()));
    EXPECT_EQ(SocketErrorCode(stoppedBy), wrErrorOperationTimeout);
    closeSocket(handle, -1);  // an orderly close: the peer reads everything that went
    ASSERT_TRUE(slow.waitHandled(1, 60000));
    EXPECT_EQ(received.load(), static_cast<uint64_t>(sent));
}

TEST(Transfer, ALargeSendGoesOutWhole) {
    std::atomic<uint64_t> received{0};
    LoopbackServer sink([&](PeerConnection& peer) { received = peer.sink(); });
    int32_t handle = connectTo(sink.port());
    ASSERT_NE(handle, wrInvalidSocket);
    std::vector<uint8_t> data(16u << 20, 'y');
    EXPECT_EQ(socketSend(handle, data.data(), static_cast<int>(data.size())),
              static_cast<int>(data.size()));
    closeSocket(handle, 0);
    for (int i = 0; i < 200 && received.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(received.load(), data.size());
}

TEST(Transfer, BadCallsAreRefused) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    int32_t handle = connectTo(server.port());
    ASSERT_NE(handle, wrInvalidSocket);
    uint8_t buffer[8];
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer, 2), -1) << "flags";
    EXPECT_EQ(lastCode(), wrErrorInvalidParameter);
    EXPECT_EQ(socketReceive(handle, nullptr, 8), -1);
    EXPECT_EQ(lastCode(), wrErrorInvalidParameter);
    EXPECT_EQ(socketReceive(handle, buffer, -1), -1);
    EXPECT_EQ(lastCode(), wrErrorInvalidParameter);
    EXPECT_EQ(socketSend(handle, buffer, 8, 1), -1);
    EXPECT_EQ(lastCode(), wrErrorInvalidParameter);
    closeSocket(handle, 0);
    EXPECT_EQ(socketSend(handle, buffer, 8), -1) << "closed";
    EXPECT_EQ(lastCode(), wrErrorInvalidHandle);
    EXPECT_EQ(socketReadable(handle), -1);
    EXPECT_EQ(lastCode(), wrErrorInvalidHandle);
}

TEST(Transfer, ReadinessIsCheckedWithoutWaiting) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.receive(1);
        peer.send("!");
        peer.hold();
    });
    int32_t handle = connectTo(server.port());
    ASSERT_NE(handle, wrInvalidSocket);
    EXPECT_EQ(socketReadable(handle), 0);
    EXPECT_EQ(socketWritable(handle), 1);
    uint8_t one = '?';
    ASSERT_EQ(socketSend(handle, &one, 1), 1);
    uint8_t reply;
    ASSERT_EQ(socketReceive(handle, &reply, 1), 1);  // waits for it
    EXPECT_EQ(socketReadable(handle), 0) << "nothing more";
    closeSocket(handle, 0);
}

// Data already there is taken without the readiness wait's select, except while calls are traced:
// a trace shows the wait and a plain receive, as a blocking call has always made them.
TEST(Transfer, ATracedReceiveShowsItsWaitAndAPlainReceive) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::string log = dir.file("trace.log");
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("data");
        peer.hold();
    });
    int32_t handle = connectTo(server.port(), 5);
    ASSERT_NE(handle, wrInvalidSocket);
    for (int i = 0; i < 500 && socketReadable(handle) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    NetworkLibrary& net = networkLibrary();
    ASSERT_TRUE(net.enableTrace(log, kvtrace::kTraceInfo));
    uint8_t buffer[16];
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), 4);
    net.disableTrace();
    closeSocket(handle, 0);

    std::string text = readFile(log).value_or("");
    std::string s = std::to_string(handle);
    size_t wait = text.find("] select(nfds=0, read={" + s + "}");
    size_t receive = text.find("] recv(s=" + s + ", len=16, flags=0x0) = 4\n");
    EXPECT_NE(wait, std::string::npos) << text;
    EXPECT_NE(receive, std::string::npos) << text;
    EXPECT_LT(wait, receive) << text;
}
