// select with Winsock's sets: the set macros, rewriting of the sets, counts, exception reports.

#include <chrono>
#include <thread>

#include "platform/ws2/test_support.h"

namespace {

using Select = Ws2Test;

TEST(FdSet, MacrosKeepACountedSetOfDistinctSockets) {
    FD_SET set;
    FD_ZERO(&set);
    FD_SET(SOCKET{7}, &set);
    FD_SET(SOCKET{7}, &set);
    EXPECT_EQ(set.fd_count, 1u) << "adding a socket twice keeps one entry";
    FD_SET(SOCKET{8}, &set);
    FD_SET(SOCKET{9}, &set);
    FD_CLR(SOCKET{8}, &set);
    ASSERT_EQ(set.fd_count, 2u);
    EXPECT_EQ(set.fd_array[0], 7u);
    EXPECT_EQ(set.fd_array[1], 9u) << "removal keeps the order of the rest";
    EXPECT_TRUE(FD_ISSET(SOCKET{9}, &set));
    EXPECT_FALSE(FD_ISSET(SOCKET{8}, &set));
    for (SOCKET s = 100; s < 200; ++s)
        FD_SET(s, &set);
    EXPECT_EQ(set.fd_count, static_cast<u_int>(FD_SETSIZE)) << "a full set takes no more";
    EXPECT_EQ(FD_SETSIZE, 64);
}

TEST_F(Select, RewritesTheSetsToTheReadySockets) {
    SOCKET quietClient, quietServer, busyClient, busyServer;
    connectedPair(&quietClient, &quietServer);
    connectedPair(&busyClient, &busyServer);
    ASSERT_EQ(sendText(busyClient, "ping"), 4);
    waitReadable(busyServer);

    FD_SET readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_SET(quietServer, &readable);
    FD_SET(busyServer, &readable);
    FD_SET(quietServer, &writable);
    FD_SET(busyServer, &writable);
    timeval zero{0, 0};
    // The first argument is ignored, as on Windows.
    EXPECT_EQ(api.select(12345, &readable, &writable, nullptr, &zero), 3);
    ASSERT_EQ(readable.fd_count, 1u);
    EXPECT_EQ(readable.fd_array[0], busyServer);
    EXPECT_EQ(writable.fd_count, 2u);
}

TEST_F(Select, ReadySocketsKeepTheirOrderAndAppearOnce) {
    SOCKET quietClient, quietServer, busyClient, busyServer, otherClient, otherServer;
    connectedPair(&quietClient, &quietServer);
    connectedPair(&busyClient, &busyServer);
    connectedPair(&otherClient, &otherServer);
    ASSERT_EQ(sendText(busyClient, "ping"), 4);
    ASSERT_EQ(sendText(otherClient, "pong"), 4);
    waitReadable(busyServer);
    waitReadable(otherServer);

    // Built by hand, as a caller may: a quiet socket first and a ready one named twice.
    FD_SET readable;
    readable.fd_count = 4;
    readable.fd_array[0] = quietServer;
    readable.fd_array[1] = otherServer;
    readable.fd_array[2] = busyServer;
    readable.fd_array[3] = otherServer;
    timeval zero{0, 0};
    EXPECT_EQ(api.select(0, &readable, nullptr, nullptr, &zero), 2);
    ASSERT_EQ(readable.fd_count, 2u);
    EXPECT_EQ(readable.fd_array[0], otherServer);
    EXPECT_EQ(readable.fd_array[1], busyServer);
}

TEST_F(Select, AWaitSeesDataThatArrivesWhileItWaits) {
    SOCKET client, server;
    connectedPair(&client, &server);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sendText(client, "late");
    });
    FD_SET readable;
    FD_ZERO(&readable);
    FD_SET(server, &readable);
    timeval limit{10, 0};
    EXPECT_EQ(api.select(0, &readable, nullptr, nullptr, &limit), 1);
    EXPECT_EQ(readable.fd_count, 1u);
    late.join();
}

TEST_F(Select, TimeOutEmptiesTheSets) {
    SOCKET client, server;
    connectedPair(&client, &server);
    FD_SET readable;
    FD_ZERO(&readable);
    FD_SET(server, &readable);
    timeval shortWait{0, 20000};
    EXPECT_EQ(api.select(0, &readable, nullptr, nullptr, &shortWait), 0);
    EXPECT_EQ(readable.fd_count, 0u);
}

TEST_F(Select, PendingConnectionMakesTheListenerReadable) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    SOCKET client = connected(port);
    waitReadable(listener);
    EXPECT_NE(api.accept(listener, nullptr, nullptr), INVALID_SOCKET);
    api.closesocket(client);
}

TEST_F(Select, UnconnectedSocketIsNeverReady) {
    SOCKET s = makeSocket();
    FD_SET readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &readable);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval shortWait{0, 20000};
    EXPECT_EQ(api.select(0, &readable, &writable, &failed, &shortWait), 0);
}

TEST_F(Select, RefusedNonBlockingConnectShowsAsException) {
    SOCKET s = makeSocket();
    u_long on = 1;
    ASSERT_EQ(api.ioctlsocket(s, FIONBIO, &on), 0);
    sockaddr_in a = loopbackAddress(closedPort());
    EXPECT_EQ(api.connect(s, asAddress(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10035) << "a non-blocking connect would block";

    FD_SET writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    EXPECT_EQ(api.select(0, nullptr, &writable, &failed, nullptr), 1);
    EXPECT_EQ(writable.fd_count, 0u) << "a failed connect is not writable";
    ASSERT_EQ(failed.fd_count, 1u);
    EXPECT_EQ(failed.fd_array[0], s);

    int error = 0;
    int size = sizeof error;
    ASSERT_EQ(api.getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size), 0);
    EXPECT_EQ(error, 10061);
    EXPECT_EQ(size, 4);
}

TEST_F(Select, CompletedNonBlockingConnectIsWritable) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    SOCKET s = makeSocket();
    u_long on = 1;
    ASSERT_EQ(api.ioctlsocket(s, FIONBIO, &on), 0);
    sockaddr_in a = loopbackAddress(port);
    int r = api.connect(s, asAddress(a), sizeof a);
    if (r != 0) {
        EXPECT_EQ(api.WSAGetLastError(), 10035);
    }
    FD_SET writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    EXPECT_EQ(api.select(0, nullptr, &writable, &failed, nullptr), 1);
    EXPECT_EQ(writable.fd_count, 1u);
    EXPECT_EQ(failed.fd_count, 0u);
    EXPECT_EQ(api.connect(s, asAddress(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10056) << "connected already";
    api.closesocket(listener);
}

TEST_F(Select, OutOfBandDataShowsAsException) {
    SOCKET client, server;
    connectedPair(&client, &server);
    ASSERT_EQ(api.send(client, "!", 1, MSG_OOB), 1);
    FD_SET failed;
    FD_ZERO(&failed);
    FD_SET(server, &failed);
    EXPECT_EQ(api.select(0, nullptr, nullptr, &failed, nullptr), 1);

    u_long atMark = 0;
    ASSERT_EQ(api.ioctlsocket(server, SIOCATMARK, &atMark), 0);
    EXPECT_EQ(atMark, static_cast<u_long>(FALSE)) << "urgent data waits";
    char byte = 0;
    EXPECT_EQ(api.recv(server, &byte, 1, MSG_OOB), 1);
    EXPECT_EQ(byte, '!');
    ASSERT_EQ(api.ioctlsocket(server, SIOCATMARK, &atMark), 0);
    EXPECT_EQ(atMark, static_cast<u_long>(TRUE));
}

TEST_F(Select, RefusesBadSets) {
    SOCKET s = makeSocket();
    FD_SET set;
    FD_ZERO(&set);
    timeval zero{0, 0};
    EXPECT_EQ(api.select(0, &set, nullptr, nullptr, &zero), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022) << "nothing to wait for";
    EXPECT_EQ(api.select(0, nullptr, nullptr, nullptr, &zero), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022);
    FD_SET(SOCKET{987654}, &set);
    EXPECT_EQ(api.select(0, &set, nullptr, nullptr, &zero), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10038);
    FD_ZERO(&set);
    FD_SET(s, &set);
    set.fd_count = FD_SETSIZE + 1;
    EXPECT_EQ(api.select(0, &set, nullptr, nullptr, &zero), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022);
}

}  // namespace
