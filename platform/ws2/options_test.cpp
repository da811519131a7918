// Socket options with Winsock's numbers, and the ioctlsocket and WSAIoctl controls.

#include <functional>

#include "platform/ws2/test_support.h"

namespace {

using Options = Ws2Test;

int getInt(const Ws2Api& api, SOCKET s, int level, int name) {
    int value = -1;
    int size = sizeof value;
    EXPECT_EQ(api.getsockopt(s, level, name, reinterpret_cast<char*>(&value), &size), 0)
        << level << "/" << name << ": " << api.WSAGetLastError();
    EXPECT_EQ(size, 4);
    return value;
}

int setInt(const Ws2Api& api, SOCKET s, int level, int name, int value) {
    return api.setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

TEST_F(Options, BooleanOptionsRoundTrip) {
    SOCKET stream = makeSocket();
    SOCKET datagram = makeSocket(SOCK_DGRAM);
    struct Case {
        SOCKET s;
        int level;
        int name;
        const char* what;
    };
    const Case cases[] = {
        {stream, SOL_SOCKET, SO_REUSEADDR, "SO_REUSEADDR"},
        {stream, SOL_SOCKET, SO_KEEPALIVE, "SO_KEEPALIVE"},
        {stream, SOL_SOCKET, SO_DONTROUTE, "SO_DONTROUTE"},
        {stream, SOL_SOCKET, SO_OOBINLINE, "SO_OOBINLINE"},
        {datagram, SOL_SOCKET, SO_BROADCAST, "SO_BROADCAST"},
        {stream, IPPROTO_TCP, TCP_NODELAY, "TCP_NODELAY"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(setInt(api, c.s, c.level, c.name, TRUE), 0) << c.what;
        EXPECT_EQ(getInt(api, c.s, c.level, c.name), TRUE) << c.what;
        // Windows callers also pass a BOOL as a single byte.
        char off = 0;
        ASSERT_EQ(api.setsockopt(c.s, c.level, c.name, &off, 1), 0) << c.what;
        EXPECT_EQ(getInt(api, c.s, c.level, c.name), FALSE) << c.what;
    }
}

TEST_F(Options, ValuedOptionsRoundTrip) {
    SOCKET s = makeSocket();
    linger set{1, 7};
    ASSERT_EQ(api.setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&set), sizeof set),
              0);
    linger got{};
    int size = sizeof got;
    ASSERT_EQ(api.getsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&got), &size), 0);
    EXPECT_EQ(got.l_onoff, 1);
    EXPECT_EQ(got.l_linger, 7);
    EXPECT_EQ(getInt(api, s, SOL_SOCKET, SO_DONTLINGER), FALSE);
    ASSERT_EQ(setInt(api, s, SOL_SOCKET, SO_DONTLINGER, TRUE), 0);
    size = sizeof got;
    ASSERT_EQ(api.getsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&got), &size), 0);
    EXPECT_EQ(got.l_onoff, 0);

    ASSERT_EQ(setInt(api, s, SOL_SOCKET, SO_RCVBUF, 65536), 0);
    EXPECT_EQ(getInt(api, s, SOL_SOCKET, SO_RCVBUF), 65536) << "reported as it was set";
    ASSERT_EQ(setInt(api, s, SOL_SOCKET, SO_RCVTIMEO, 1500), 0);
    EXPECT_EQ(getInt(api, s, SOL_SOCKET, SO_RCVTIMEO), 1500) << "milliseconds";
    ASSERT_EQ(setInt(api, s, IPPROTO_TCP, TCP_KEEPALIVE, 42), 0);
    EXPECT_EQ(getInt(api, s, IPPROTO_TCP, TCP_KEEPALIVE), 42);

    EXPECT_EQ(getInt(api, s, SOL_SOCKET, SO_TYPE), SOCK_STREAM);
    SOCKET d = makeSocket(SOCK_DGRAM);
    EXPECT_EQ(getInt(api, d, SOL_SOCKET, SO_TYPE), SOCK_DGRAM);
    EXPECT_EQ(getInt(api, d, SOL_SOCKET, SO_MAX_MSG_SIZE), 65507);
    EXPECT_EQ(getInt(api, s, SOL_SOCKET, SO_ERROR), 0);
}

TEST_F(Options, RefusedOptions) {
    SOCKET s = makeSocket();
    SOCKET d = makeSocket(SOCK_DGRAM);
    int value = 1;
    char* v = reinterpret_cast<char*>(&value);
    struct Case {
        const char* what;
        std::function<int()> call;
        int error;
    };
    const Case cases[] = {
        {"unknown level", [&] { return api.setsockopt(s, 77, SO_KEEPALIVE, v, 4); }, 10022},
        {"unknown option", [&] { return api.setsockopt(s, SOL_SOCKET, 0x4321, v, 4); }, 10042},
        {"TCP option on UDP", [&] { return api.setsockopt(d, IPPROTO_TCP, TCP_NODELAY, v, 4); },
         10042},
        {"read-only option", [&] { return api.setsockopt(s, SOL_SOCKET, SO_TYPE, v, 4); }, 10042},
        {"no value", [&] { return api.setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, nullptr, 4); },
         10014},
        {"short linger", [&] { return api.setsockopt(s, SOL_SOCKET, SO_LINGER, v, 2); }, 10014},
        {"short int", [&] { return api.setsockopt(s, SOL_SOCKET, SO_RCVBUF, v, 2); }, 10014},
        {"short result",
         [&] {
             int size = 2;
             return api.getsockopt(s, SOL_SOCKET, SO_TYPE, v, &size);
         },
         10014},
        {"stream datagram size",
         [&] {
             int size = 4;
             return api.getsockopt(s, SOL_SOCKET, SO_MAX_MSG_SIZE, v, &size);
         },
         10042},
    };
    for (const Case& c : cases) {
        api.WSASetLastError(0);
        EXPECT_EQ(c.call(), SOCKET_ERROR) << c.what;
        EXPECT_EQ(api.WSAGetLastError(), c.error) << c.what;
    }
}

TEST_F(Options, ReadableCountsFollowTheData) {
    SOCKET client, server;
    connectedPair(&client, &server);
    u_long count = 99;
    ASSERT_EQ(api.ioctlsocket(server, FIONREAD, &count), 0);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(sendText(client, "0123456789"), 10);
    waitReadable(server);
    ASSERT_EQ(api.ioctlsocket(server, FIONREAD, &count), 0);
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(receiveText(server, 4), "0123");
    ASSERT_EQ(api.ioctlsocket(server, FIONREAD, &count), 0);
    EXPECT_EQ(count, 6u);

    // A datagram socket counts its first datagram only.
    SOCKET a = bound(SOCK_DGRAM);
    SOCKET b = bound(SOCK_DGRAM);
    sockaddr_in toB = loopbackAddress(portOf(b));
    ASSERT_EQ(api.sendto(a, "12345", 5, 0, asAddress(toB), sizeof toB), 5);
    ASSERT_EQ(api.sendto(a, "123456789", 9, 0, asAddress(toB), sizeof toB), 9);
    waitReadable(b);
    ASSERT_EQ(api.ioctlsocket(b, FIONREAD, &count), 0);
    EXPECT_EQ(count, 5u);
}

TEST_F(Options, IoctlRefusesUnknownCommands) {
    SOCKET s = makeSocket();
    u_long arg = 0;
    EXPECT_EQ(api.ioctlsocket(s, 0x12345, &arg), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022);
    EXPECT_EQ(api.ioctlsocket(s, FIONBIO, nullptr), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10014);
}

TEST_F(Options, WSAIoctlControls) {
    SOCKET client, server;
    connectedPair(&client, &server);
    ASSERT_EQ(sendText(client, "abc"), 3);
    waitReadable(server);
    // A 32-bit result, as a Windows caller passes it.
    uint32_t count = 0;
    DWORD returned = 0;
    ASSERT_EQ(api.WSAIoctl(server, FIONREAD, nullptr, 0, &count, sizeof count, &returned, nullptr,
                           nullptr),
              0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(returned, 4u);

    tcp_keepalive values{1, 30000, 2500};
    ASSERT_EQ(api.WSAIoctl(client, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0,
                           &returned, nullptr, nullptr),
              0);
    EXPECT_EQ(getInt(api, client, SOL_SOCKET, SO_KEEPALIVE), TRUE);
    EXPECT_EQ(getInt(api, client, IPPROTO_TCP, TCP_KEEPALIVE), 30);
    EXPECT_EQ(getInt(api, client, IPPROTO_TCP, TCP_KEEPINTVL), 3) << "seconds, rounded up";

    EXPECT_EQ(api.WSAIoctl(client, 0x48000016, nullptr, 0, nullptr, 0, &returned, nullptr, nullptr),
              SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10045);
    EXPECT_EQ(api.WSAIoctl(server, FIONREAD, nullptr, 0, &count, 2, &returned, nullptr, nullptr),
              SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10014);
}

}  // namespace
