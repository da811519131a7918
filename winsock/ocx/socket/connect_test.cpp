// Connect over loopback: success, refusal, a connect that cannot complete, bad requests.

#include "winsock/ocx/socket/connect.h"

#include <thread>

#include "winsock/ocx/socket/close.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/socket_info.h"
#include "winsock/ocx/socket/socket_test_support.h"

using namespace kvlink;
using socket_test::connectTo;
using socket_test::lastCode;

TEST(Connect, EntersAConnectedRecordOwnedByTheCaller) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ConnectRequest request;
    request.host = "localhost";  // resolved through the host database
    request.remotePort = server.port();
    request.timeout = 4000;
    request.options = wrOptionNoDelay | wrOptionKeepAlive;
    int32_t handle = wrInvalidSocket;
    ASSERT_TRUE(connectSocket(request, &handle)) << lastCode();

    SocketSnapshot info;
    ASSERT_TRUE(readSocket(handle, &info));
    EXPECT_TRUE(info.connected);
    EXPECT_EQ(info.status, wrStatusIdle);
    EXPECT_EQ(info.timeoutSeconds, 4) << "4000 is taken as milliseconds";
    EXPECT_EQ(formatDottedAddress(info.remoteAddress), "127.0.0.1");
    EXPECT_EQ(info.remotePort, server.port());
    EXPECT_EQ(formatDottedAddress(info.localAddress), "127.0.0.1");
    EXPECT_NE(info.localPort, 0);
    EXPECT_EQ(info.options, request.options);

    // The record belongs to this thread.
    std::thread([handle] {
        SocketSnapshot other;
        EXPECT_FALSE(readSocket(handle, &other));
        EXPECT_EQ(lastCode(), wrErrorNotHandleOwner);
        EXPECT_FALSE(closeSocket(handle, 0));
    }).join();
    EXPECT_TRUE(closeSocket(handle, 0));
    EXPECT_FALSE(readSocket(handle, &info));
    EXPECT_EQ(lastCode(), wrErrorInvalidHandle);
}

TEST(Connect, ARefusedConnectLeavesNoSocket) {
    size_t before = socketCount();
    int32_t handle = connectTo(refusedPort());
    EXPECT_EQ(handle, wrInvalidSocket);
    EXPECT_EQ(lastCode(), wrErrorConnectionRefused);
    EXPECT_EQ(socketCount(), before);
}

TEST(Connect, RequestsItRefusesBeforeOpeningAnything) {
    HWND notAWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7fff0001));
    struct Case {
        const char* host;
        int32_t remotePort, protocol, localPort;
        uint32_t options;
        HWND window;
        uint32_t error;
    } cases[] = {
        {"", 80, 6, 0, 0, nullptr, wrErrorInvalidHostName},
        {"127.0.0.1", 65536, 6, 0, 0, nullptr, wrErrorInvalidServicePort},
        {"127.0.0.1", -1, 6, 0, 0, nullptr, wrErrorInvalidServicePort},
        {"127.0.0.1", 80, 6, 70000, 0, nullptr, wrErrorInvalidServicePort},
        {"127.0.0.1", 0, 6, 0, 0, nullptr, wrErrorInvalidServicePort},
        {"127.0.0.1", 0, 0, 0, 0, nullptr, wrErrorInvalidServicePort},  // protocol 0 is TCP
        {"0.0.0.0", 80, 6, 0, 0, nullptr, wrErrorInvalidHostAddress},
        {"255.255.255.255", 80, 6, 0, 0, nullptr, wrErrorInvalidHostAddress},
        {"127.0.0.1", 80, 6, 0, 0, notAWindow, wrErrorInvalidParameter},
        {"127.0.0.1", 80, 6, 0, wrOptionSecure, nullptr, wrErrorSecurityNotInitialized},
    };
    size_t before = socketCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.host) + ":" + std::to_string(c.remotePort));
        ConnectRequest request;
        request.host = c.host;
        request.remotePort = c.remotePort;
        request.protocol = c.protocol;
        request.localPort = c.localPort;
        request.options = c.options;
        request.notifyWindow = c.window;
        request.notifyMessage = 2025;
        int32_t handle = 0;
        EXPECT_FALSE(connectSocket(request, &handle));
        EXPECT_EQ(handle, wrInvalidSocket);
        EXPECT_EQ(lastCode(), c.error);
    }
    EXPECT_EQ(socketCount(), before);
}

TEST(Connect, AConnectThatCannotCompleteTimesOut) {
    FullListener full;
    if (!full.blocksConnects()) GTEST_SKIP() << "this system completes connects to a full queue";
    size_t before = socketCount();
    EXPECT_EQ(connectTo(full.port(), 2000), wrInvalidSocket) << "2000 ms";
    EXPECT_EQ(lastCode(), wrErrorOperationTimeout);
    EXPECT_EQ(socketCount(), before);
}

TEST(Connect, TimeOutsOfAThousandAndOneAndMoreAreMilliseconds) {
    struct Case {
        int32_t given, seconds;
    } cases[] = {{0, 0},    {1, 1},    {4, 4},      {1000, 1000}, {1001, 1},
                 {1999, 1}, {4000, 4}, {60000, 60}, {-5, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(normalizeTimeout(c.given), c.seconds) << c.given;
}

TEST(Connect, AnAddressInUseLocallyFailsWithTheLibrarysError) {
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    // Bound to the server's own port on the same address: the library refuses the bind.
    ConnectRequest request;
    request.host = "127.0.0.1";
    request.remotePort = server.port();
    request.localAddress = 0x0100007F;  // 127.0.0.1 in network byte order
    request.localPort = server.port();
    int32_t handle;
    EXPECT_FALSE(connectSocket(request, &handle));
    EXPECT_EQ(lastCode(), 10048u);  // WSAEADDRINUSE
}
