// WSAAsyncSelect: network events delivered as messages to a platform_user window, under the
// re-enabling rules.

#include "platform/ws2/test_support.h"

namespace {

constexpr UINT kSocketMessage = WM_USER + 1001;

class AsyncSelect : public Ws2Test {
  protected:
    int count(SOCKET s, long event) {
        return window.count(kSocketMessage, s, static_cast<unsigned>(event));
    }
    int errorOf(SOCKET s, long event) {
        return window.lastError(kSocketMessage, s, static_cast<unsigned>(event));
    }
    bool arrives(SOCKET s, long event, int times = 1) {
        return window.pumpUntil([&] { return count(s, event) >= times; });
    }
    void select(SOCKET s, long events) {
        ASSERT_EQ(api.WSAAsyncSelect(s, window.hwnd(), kSocketMessage, events), 0)
            << api.WSAGetLastError();
    }

    MessageWindow window;
};

TEST_F(AsyncSelect, AcceptIsAnnouncedOnceUntilAccepted) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    select(listener, FD_ACCEPT);
    SOCKET first = connected(port);
    ASSERT_TRUE(arrives(listener, FD_ACCEPT));
    EXPECT_EQ(errorOf(listener, FD_ACCEPT), 0);

    SOCKET second = connected(port);
    window.pumpFor(300);
    EXPECT_EQ(count(listener, FD_ACCEPT), 1) << "no second FD_ACCEPT before accept";

    SOCKET server = api.accept(listener, nullptr, nullptr);
    ASSERT_NE(server, INVALID_SOCKET) << api.WSAGetLastError();
    EXPECT_TRUE(arrives(listener, FD_ACCEPT, 2)) << "the second caller is announced after accept";
    api.closesocket(first);
    api.closesocket(second);
}

int deferCaller(LPWSABUF, LPWSABUF, LPQOS, LPQOS, LPWSABUF, LPWSABUF, GROUP*, DWORD_PTR) {
    return CF_DEFER;
}

TEST_F(AsyncSelect, DeferredCallerIsAnnouncedAgain) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    select(listener, FD_ACCEPT);
    SOCKET client = connected(port);
    ASSERT_TRUE(arrives(listener, FD_ACCEPT));
    EXPECT_EQ(api.WSAAccept(listener, nullptr, nullptr, deferCaller, 0), INVALID_SOCKET);
    EXPECT_EQ(api.WSAGetLastError(), 11002);
    ASSERT_TRUE(arrives(listener, FD_ACCEPT, 2)) << "the deferred caller still waits";
    SOCKET server = api.accept(listener, nullptr, nullptr);
    ASSERT_NE(server, INVALID_SOCKET) << api.WSAGetLastError();
    EXPECT_EQ(sendText(client, "x"), 1);
    waitReadable(server);
    EXPECT_EQ(receiveText(server), "x") << "accept took the deferred connection";
}

TEST_F(AsyncSelect, ConnectThenWriteAreAnnouncedOnce) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    SOCKET client = makeSocket();
    select(client, FD_CONNECT | FD_WRITE | FD_READ | FD_CLOSE);
    sockaddr_in a = loopbackAddress(port);
    EXPECT_EQ(api.connect(client, asAddress(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10035) << "WSAAsyncSelect made the socket non-blocking";

    ASSERT_TRUE(arrives(client, FD_CONNECT));
    EXPECT_EQ(errorOf(client, FD_CONNECT), 0);
    ASSERT_TRUE(arrives(client, FD_WRITE));
    window.pumpFor(300);
    EXPECT_EQ(count(client, FD_CONNECT), 1);
    EXPECT_EQ(count(client, FD_WRITE), 1) << "FD_WRITE comes again only after a blocked send";
    // FD_CONNECT comes before FD_WRITE.
    ASSERT_GE(window.received.size(), 2u);
    EXPECT_EQ(window.received[0].lParam & 0xFFFF, FD_CONNECT);
    api.closesocket(listener);
}

TEST_F(AsyncSelect, RefusedConnectCarriesItsError) {
    SOCKET client = makeSocket();
    select(client, FD_CONNECT | FD_WRITE);
    sockaddr_in a = loopbackAddress(closedPort());
    EXPECT_EQ(api.connect(client, asAddress(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10035);
    ASSERT_TRUE(arrives(client, FD_CONNECT));
    EXPECT_EQ(errorOf(client, FD_CONNECT), 10061);
    window.pumpFor(100);
    EXPECT_EQ(count(client, FD_WRITE), 0);
}

TEST_F(AsyncSelect, ReadIsAnnouncedAgainOnlyAfterRecv) {
    SOCKET client, server;
    connectedPair(&client, &server);
    select(server, FD_READ | FD_CLOSE);
    ASSERT_EQ(sendText(client, "0123456789"), 10);
    ASSERT_TRUE(arrives(server, FD_READ));
    ASSERT_EQ(sendText(client, "more"), 4);
    window.pumpFor(300);
    EXPECT_EQ(count(server, FD_READ), 1) << "one FD_READ until recv is called";

    EXPECT_EQ(receiveText(server, 4), "0123");
    ASSERT_TRUE(arrives(server, FD_READ, 2)) << "data remains after recv";
    EXPECT_EQ(receiveText(server), "456789more");
    window.pumpFor(300);
    EXPECT_EQ(count(server, FD_READ), 2) << "nothing left to read";
}

TEST_F(AsyncSelect, ASendAskedNotToWaitOwesNoWriteEvent) {
    SOCKET client, server;
    connectedPair(&client, &server);
    select(client, FD_WRITE);
    ASSERT_TRUE(arrives(client, FD_WRITE));
    std::string block(64 * 1024, 'w');
    int calls = 0;
    while (calls < 10000 && api.send(client, block.data(), static_cast<int>(block.size()),
                                     MSG_WS2_NOWAIT) != SOCKET_ERROR)
        ++calls;
    ASSERT_EQ(api.WSAGetLastError(), 10035);
    // Room frees up as the peer reads everything.
    char sink[64 * 1024];
    while (api.recv(server, sink, sizeof sink, MSG_WS2_NOWAIT) > 0)
        window.pumpFor(5);
    window.pumpFor(300);
    EXPECT_EQ(count(client, FD_WRITE), 1) << "the caller waits for room itself";
    // A plain send that would block still owes one.
    while (api.send(client, block.data(), static_cast<int>(block.size()), 0) != SOCKET_ERROR)
        ;
    ASSERT_EQ(api.WSAGetLastError(), 10035);
    while (api.recv(server, sink, sizeof sink, MSG_WS2_NOWAIT) > 0)
        window.pumpFor(5);
    EXPECT_TRUE(arrives(client, FD_WRITE, 2));
}

TEST_F(AsyncSelect, CloseFollowsTheLastData) {
    SOCKET client, server;
    connectedPair(&client, &server);
    select(server, FD_READ | FD_CLOSE);
    ASSERT_EQ(sendText(client, "last words"), 10);
    ASSERT_EQ(api.closesocket(client), 0);
    ASSERT_TRUE(arrives(server, FD_READ));
    window.pumpFor(300);
    EXPECT_EQ(count(server, FD_CLOSE), 0) << "FD_CLOSE waits until the data is read";

    EXPECT_EQ(receiveText(server), "last words");
    ASSERT_TRUE(arrives(server, FD_CLOSE));
    EXPECT_EQ(errorOf(server, FD_CLOSE), 0);
    window.pumpFor(300);
    EXPECT_EQ(count(server, FD_CLOSE), 1) << "FD_CLOSE comes once";
}

TEST_F(AsyncSelect, ResetIsAClosedConnectionWithItsError) {
    SOCKET client, server;
    connectedPair(&client, &server);
    select(server, FD_READ | FD_CLOSE);
    linger abort{1, 0};
    ASSERT_EQ(api.setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&abort),
                             sizeof abort),
              0);
    ASSERT_EQ(api.closesocket(client), 0);
    ASSERT_TRUE(arrives(server, FD_CLOSE));
    EXPECT_EQ(errorOf(server, FD_CLOSE), 10054);
}

TEST_F(AsyncSelect, AcceptedSocketTakesTheListenersRegistration) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    select(listener, FD_ACCEPT | FD_READ);
    SOCKET client = connected(port);
    ASSERT_TRUE(arrives(listener, FD_ACCEPT));
    SOCKET server = api.accept(listener, nullptr, nullptr);
    ASSERT_NE(server, INVALID_SOCKET);
    char byte;
    EXPECT_EQ(api.recv(server, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10035) << "non-blocking like its listener";
    ASSERT_EQ(sendText(client, "hi"), 2);
    EXPECT_TRUE(arrives(server, FD_READ));
}

TEST_F(AsyncSelect, CancellingStopsTheMessagesButNotTheNonBlockingMode) {
    SOCKET client, server;
    connectedPair(&client, &server);
    select(server, FD_READ);
    u_long off = 0;
    EXPECT_EQ(api.ioctlsocket(server, FIONBIO, &off), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022) << "blocking mode waits for the cancellation";

    ASSERT_EQ(api.WSAAsyncSelect(server, window.hwnd(), kSocketMessage, 0), 0);
    ASSERT_EQ(sendText(client, "unheard"), 7);
    window.pumpFor(300);
    EXPECT_EQ(count(server, FD_READ), 0);
    char byte;
    EXPECT_EQ(api.recv(server, &byte, 1, MSG_PEEK), 1);
    EXPECT_EQ(api.ioctlsocket(server, FIONBIO, &off), 0);
}

TEST_F(AsyncSelect, RefusesBadArguments) {
    SOCKET s = makeSocket();
    EXPECT_EQ(api.WSAAsyncSelect(s, nullptr, kSocketMessage, FD_READ), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022) << "no window";
    EXPECT_EQ(api.WSAAsyncSelect(s, window.hwnd(), kSocketMessage, 0x100), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022) << "unknown event bit";
    EXPECT_EQ(api.WSAAsyncSelect(SOCKET{987654}, window.hwnd(), kSocketMessage, FD_READ),
              SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10038);
}

TEST_F(AsyncSelect, DatagramSocketAnnouncesWriteThenRead) {
    SOCKET a = bound(SOCK_DGRAM);
    SOCKET b = bound(SOCK_DGRAM);
    select(b, FD_READ | FD_WRITE);
    ASSERT_TRUE(arrives(b, FD_WRITE));
    sockaddr_in toB = loopbackAddress(portOf(b));
    ASSERT_EQ(api.sendto(a, "dgram", 5, 0, asAddress(toB), sizeof toB), 5);
    ASSERT_TRUE(arrives(b, FD_READ));
}

}  // namespace
