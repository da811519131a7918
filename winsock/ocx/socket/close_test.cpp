// Close, cancel and abort, also from a timer handler run inside a wait.

#include "winsock/ocx/socket/close.h"

#include "winsock/ocx/socket/socket_info.h"
#include "winsock/ocx/socket/socket_test_support.h"
#include "winsock/ocx/socket/transfer.h"

using namespace kvlink;
using socket_test::connectTo;
using socket_test::lastCode;
using socket_test::TimerAction;

namespace {

struct HeldConnection {
    std::atomic<bool> peerSawClose{false};
    LoopbackServer server{[this](PeerConnection& peer) { peerSawClose = peer.hold(); }};
    int32_t handle = connectTo(server.port());
};

}  // namespace

TEST(Close, CancelFromATimerEndsAReceiveAndKeepsTheSocket) {
    HeldConnection held;
    ASSERT_NE(held.handle, wrInvalidSocket);
    SocketSnapshot during;
    TimerAction cancel(50, [&] {
        readSocket(held.handle, &during);
        EXPECT_TRUE(cancelSocket(held.handle));
    });
    uint8_t buffer[16];
    EXPECT_EQ(socketReceive(held.handle, buffer, sizeof buffer), -1);  // no time-out set
    EXPECT_EQ(lastCode(), wrErrorOperationCanceled);
    EXPECT_TRUE(during.blocked);
    EXPECT_EQ(during.status, wrStatusRead);

    SocketSnapshot after;
    ASSERT_TRUE(readSocket(held.handle, &after));
    EXPECT_FALSE(after.blocked);
    EXPECT_EQ(after.status, wrStatusIdle);
    EXPECT_TRUE(closeSocket(held.handle, 0));
}

TEST(Close, AbortFromATimerEndsAReceiveAndClosesTheSocket) {
    HeldConnection held;
    ASSERT_NE(held.handle, wrInvalidSocket);
    TimerAction abort(50, [&] { EXPECT_TRUE(abortSocket(held.handle)); });
    uint8_t buffer[16];
    EXPECT_EQ(socketReceive(held.handle, buffer, sizeof buffer), -1);
    EXPECT_EQ(lastCode(), wrErrorConnectionAborted);
    SocketSnapshot info;
    EXPECT_FALSE(readSocket(held.handle, &info));
    EXPECT_EQ(lastCode(), wrErrorInvalidHandle);
}

TEST(Close, ClosingWhileWaitingIsRefused) {
    HeldConnection held;
    ASSERT_NE(held.handle, wrInvalidSocket);
    bool closed = true;
    uint32_t error = 0;
    TimerAction close(50, [&] {
        closed = closeSocket(held.handle, 0);
        error = lastCode();
    });
    uint8_t buffer[16];
    ASSERT_TRUE(setSocketTimeout(held.handle, 2));
    EXPECT_EQ(socketReceive(held.handle, buffer, sizeof buffer), -1);
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout) << "the receive went on to its own end";
    EXPECT_FALSE(closed);
    EXPECT_EQ(error, wrErrorOperationInProgress);
    EXPECT_TRUE(closeSocket(held.handle, 0)) << "after the wait it can be closed";
}

TEST(Close, ACancelOfASocketThatIsNotWaitingLeavesNothingBehind) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("data");
        peer.hold();
    });
    int32_t handle = connectTo(server.port());
    ASSERT_NE(handle, wrInvalidSocket);
    EXPECT_TRUE(cancelSocket(handle));
    uint8_t buffer[16];
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), 4) << "the next call is not cancelled";
    EXPECT_TRUE(closeSocket(handle, 0));
    EXPECT_FALSE(cancelSocket(handle));
    EXPECT_EQ(lastCode(), wrErrorInvalidHandle);
}

TEST(Close, AbortOfAnIdleSocketResetsTheConnection) {
    HeldConnection held;
    ASSERT_NE(held.handle, wrInvalidSocket);
    size_t before = socketCount();
    EXPECT_TRUE(abortSocket(held.handle));
    EXPECT_EQ(socketCount(), before - 1);
    EXPECT_FALSE(abortSocket(held.handle));
    EXPECT_EQ(lastCode(), wrErrorInvalidHandle);
}

TEST(Close, AGracefulCloseEndsThePeersRead) {
    HeldConnection held;
    ASSERT_NE(held.handle, wrInvalidSocket);
    EXPECT_TRUE(closeSocket(held.handle, 2)) << "lingers at most two seconds";
    for (int i = 0; i < 100 && !held.peerSawClose.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(held.peerSawClose.load());
}

// A Cancel run by the wait's messages ends the call before it touches the socket, even when the
// data or the room is already there: the data stays for the next receive, and a cancelled send
// sends nothing.
TEST(Close, ACancelRunInsideTheWaitLeavesTheSocketAsItWas) {
    std::string firstByte;
    LoopbackServer server([&](PeerConnection& peer) {
        peer.send("data");
        firstByte = peer.receive(1, 5000);
        peer.hold();
    });
    int32_t handle = connectTo(server.port(), 2);
    ASSERT_NE(handle, wrInvalidSocket);
    for (int i = 0; i < 500 && socketReadable(handle) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(socketReadable(handle), 1);

    auto cancelledInsideTheWait = [&](auto call) {
        TimerAction cancel(1, [&] { EXPECT_TRUE(cancelSocket(handle)); });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // due when the wait starts
        EXPECT_EQ(call(), -1);
        EXPECT_EQ(lastCode(), wrErrorOperationCanceled);
        EXPECT_EQ(cancel.runs(), 1);
    };
    uint8_t buffer[16];
    cancelledInsideTheWait([&] { return socketReceive(handle, buffer, sizeof buffer); });
    EXPECT_EQ(socketReceive(handle, buffer, sizeof buffer), 4) << "the data waited";
    EXPECT_EQ(std::string(buffer, buffer + 4), "data");

    uint8_t a = 'a', b = 'b';
    cancelledInsideTheWait([&] { return socketSend(handle, &a, 1); });
    EXPECT_EQ(socketSend(handle, &b, 1), 1);
    closeSocket(handle, -1);
    ASSERT_TRUE(server.waitHandled(1, 10000));
    EXPECT_EQ(firstByte, "b") << "the cancelled send sent nothing";
}
