// Socket lifetime and data transfer over real loopback sockets, through the bound functions.

#include <csignal>
#include <functional>
#include <thread>

#include "platform/ws2/test_support.h"

namespace {

using Sockets = Ws2Test;

TEST_F(Sockets, LoopbackExchange) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    SOCKET client = connected(port);

    sockaddr_in peer{};
    int size = sizeof peer;
    SOCKET server = api.accept(listener, reinterpret_cast<sockaddr*>(&peer), &size);
    ASSERT_NE(server, INVALID_SOCKET) << api.WSAGetLastError();
    EXPECT_EQ(size, 16);
    EXPECT_EQ(peer.sin_family, AF_INET);
    EXPECT_EQ(peer.sin_addr.s_addr, api.htonl(INADDR_LOOPBACK));
    EXPECT_EQ(api.ntohs(peer.sin_port), portOf(client));

    sockaddr_in clientsPeer{};
    size = sizeof clientsPeer;
    ASSERT_EQ(api.getpeername(client, reinterpret_cast<sockaddr*>(&clientsPeer), &size), 0);
    EXPECT_EQ(api.ntohs(clientsPeer.sin_port), port);

    EXPECT_EQ(sendText(client, "GET / HTTP/1.0\r\n\r\n"), 18);
    waitReadable(server);
    EXPECT_EQ(receiveText(server), "GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(sendText(server, "HTTP/1.0 200 OK\r\n"), 17);
    EXPECT_EQ(api.shutdown(server, SD_SEND), 0);
    waitReadable(client);
    EXPECT_EQ(receiveText(client), "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(api.recv(client, reinterpret_cast<char*>(&peer), 1, 0), 0) << "orderly close";

    EXPECT_EQ(sendText(server, "late"), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10058) << "sending after shutdown(SD_SEND)";
    EXPECT_EQ(api.closesocket(server), 0);
    EXPECT_EQ(api.closesocket(client), 0);
    EXPECT_EQ(api.closesocket(listener), 0);
}

TEST_F(Sockets, HandlesThatAreNotSocketsAreRefused) {
    char byte;
    EXPECT_EQ(api.closesocket(0), SOCKET_ERROR)
        << "the library never closes a descriptor it did not open";
    EXPECT_EQ(api.WSAGetLastError(), 10038);
    EXPECT_EQ(api.recv(INVALID_SOCKET, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10038);
    SOCKET s = makeSocket();
    ASSERT_EQ(api.closesocket(s), 0);
    EXPECT_EQ(api.closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10038);
}

TEST_F(Sockets, ArgumentErrors) {
    SOCKET s = makeSocket();
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = api.htons(80);
    sockaddr_in good = loopbackAddress(80);
    sockaddr_in other = good;
    other.sin_family = AF_INET6;
    char byte = 0;
    struct Case {
        const char* what;
        std::function<int()> call;
        int error;
    };
    const Case cases[] = {
        {"connect to 0.0.0.0", [&] { return api.connect(s, asAddress(any), sizeof any); }, 10049},
        {"short address", [&] { return api.connect(s, asAddress(good), 8); }, 10014},
        {"no address", [&] { return api.bind(s, nullptr, 16); }, 10014},
        {"IPv6 address", [&] { return api.bind(s, asAddress(other), sizeof other); }, 10047},
        {"listen unbound", [&] { return api.listen(s, 5); }, 10022},
        {"unbound name",
         [&] {
             int size = sizeof good;
             return api.getsockname(s, reinterpret_cast<sockaddr*>(&good), &size);
         },
         10022},
        {"recv unconnected", [&] { return api.recv(s, &byte, 1, 0); }, 10057},
        {"send unconnected", [&] { return api.send(s, &byte, 1, 0); }, 10057},
        {"shutdown unconnected", [&] { return api.shutdown(s, SD_SEND); }, 10057},
        {"shutdown how", [&] { return api.shutdown(s, 3); }, 10022},
        {"negative length", [&] { return api.send(s, &byte, -1, 0); }, 10014},
        {"unknown flag", [&] { return api.recv(s, &byte, 1, 0x40); }, 10045},
        {"accept unlistened", [&] { return static_cast<int>(api.accept(s, nullptr, nullptr)); },
         10022},
    };
    for (const Case& c : cases) {
        api.WSASetLastError(0);
        EXPECT_EQ(c.call(), SOCKET_ERROR) << c.what;
        EXPECT_EQ(api.WSAGetLastError(), c.error) << c.what;
    }
    EXPECT_EQ(api.socket(AF_INET6, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(api.WSAGetLastError(), 10047);
    EXPECT_EQ(api.socket(AF_INET, 7, 0), INVALID_SOCKET);
    EXPECT_EQ(api.WSAGetLastError(), 10044);
    api.closesocket(s);
}

TEST_F(Sockets, BlockingConnectToAClosedPortIsRefused) {
    SOCKET s = makeSocket();
    sockaddr_in a = loopbackAddress(closedPort());
    EXPECT_EQ(api.connect(s, asAddress(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10061);
    api.closesocket(s);
}

TEST_F(Sockets, NonBlockingCallsWouldBlock) {
    SOCKET client, server;
    connectedPair(&client, &server);
    u_long on = 1;
    ASSERT_EQ(api.ioctlsocket(server, FIONBIO, &on), 0);
    char byte;
    EXPECT_EQ(api.recv(server, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10035);

    u_short port = 0;
    SOCKET listener = listening(&port);
    ASSERT_EQ(api.ioctlsocket(listener, FIONBIO, &on), 0);
    EXPECT_EQ(api.accept(listener, nullptr, nullptr), INVALID_SOCKET);
    EXPECT_EQ(api.WSAGetLastError(), 10035);

    u_long off = 0;
    ASSERT_EQ(api.ioctlsocket(server, FIONBIO, &off), 0);
    EXPECT_EQ(sendText(client, "x"), 1);
    EXPECT_EQ(receiveText(server), "x") << "blocking again: recv waits for the byte";
}

// The library's own no-wait flag on a blocking socket: nothing there or no room fails at once
// with WSAEWOULDBLOCK; data or room there is used as a plain call would use it.
TEST_F(Sockets, TheNoWaitFlagNeverWaitsOnABlockingSocket) {
    SOCKET client, server;
    connectedPair(&client, &server);
    char byte;
    EXPECT_EQ(api.recv(server, &byte, 1, MSG_WS2_NOWAIT), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10035);
    EXPECT_EQ(api.send(client, "x", 1, MSG_WS2_NOWAIT), 1);
    waitReadable(server);
    EXPECT_EQ(api.recv(server, &byte, 1, MSG_WS2_NOWAIT), 1);
    EXPECT_EQ(byte, 'x');

    // Fill both ends' buffers: a blocking send would now wait for the peer.
    std::string block(64 * 1024, 'y');
    int sent = 0, calls = 0;
    for (; calls < 10000; ++calls) {
        int n = api.send(client, block.data(), static_cast<int>(block.size()), MSG_WS2_NOWAIT);
        if (n == SOCKET_ERROR) break;
        sent += n;
    }
    EXPECT_LT(calls, 10000);
    EXPECT_EQ(api.WSAGetLastError(), 10035);
    EXPECT_GT(sent, 0);
    EXPECT_EQ(receiveText(server, 5), "yyyyy") << "what went is there, in order";
    EXPECT_EQ(api.recv(server, &byte, 1, MSG_WAITALL | MSG_WS2_NOWAIT), 1);
    EXPECT_EQ(api.send(client, "z", 1, MSG_PEEK), SOCKET_ERROR) << "not a send flag";
    EXPECT_EQ(api.WSAGetLastError(), 10045);
}

TEST_F(Sockets, SendToAResetPeerFailsWithoutSignal) {
    // With SIGPIPE at its default, a send that raised it would end this test program.
    std::signal(SIGPIPE, SIG_DFL);
    SOCKET client, server;
    connectedPair(&client, &server);
    linger abort{1, 0};
    ASSERT_EQ(api.setsockopt(server, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&abort),
                             sizeof abort),
              0);
    ASSERT_EQ(api.closesocket(server), 0);
    int result = 0;
    for (int i = 0; i < 100 && result != SOCKET_ERROR; ++i)
        result = sendText(client, "data");
    EXPECT_EQ(result, SOCKET_ERROR);
    int error = api.WSAGetLastError();
    EXPECT_TRUE(error == 10054 || error == 10053) << error;
    api.closesocket(client);
}

TEST_F(Sockets, DatagramsCarryTheirSender) {
    SOCKET a = bound(SOCK_DGRAM);
    SOCKET b = bound(SOCK_DGRAM);
    sockaddr_in toB = loopbackAddress(portOf(b));
    ASSERT_EQ(api.sendto(a, "datagram", 8, 0, asAddress(toB), sizeof toB), 8);

    char buffer[32];
    sockaddr_in from{};
    int fromSize = sizeof from;
    EXPECT_EQ(
        api.recvfrom(b, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize),
        8);
    EXPECT_EQ(std::string(buffer, 8), "datagram");
    EXPECT_EQ(api.ntohs(from.sin_port), portOf(a));
    EXPECT_EQ(from.sin_addr.s_addr, api.htonl(INADDR_LOOPBACK));

    // A datagram larger than the buffer: its head is kept, the call fails with WSAEMSGSIZE.
    ASSERT_EQ(api.sendto(a, "0123456789", 10, 0, asAddress(toB), sizeof toB), 10);
    EXPECT_EQ(api.recv(b, buffer, 4, 0), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10040);
    EXPECT_EQ(std::string(buffer, 4), "0123");

    EXPECT_EQ(api.send(a, "x", 1, 0), SOCKET_ERROR) << "an unconnected datagram socket";
    EXPECT_EQ(api.WSAGetLastError(), 10057);
    sockaddr_in nowhere = loopbackAddress(0);
    EXPECT_EQ(api.sendto(a, "x", 1, 0, asAddress(nowhere), sizeof nowhere), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10049);
}

// WSAAccept's condition function: records the caller, answers with a fixed verdict.
struct Verdict {
    int answer;
    u_short callerPort = 0;
    int calls = 0;
};

int CALLBACK_condition(LPWSABUF callerId, LPWSABUF, LPQOS, LPQOS, LPWSABUF calleeId, LPWSABUF,
                       GROUP*, DWORD_PTR data) {
    auto* verdict = reinterpret_cast<Verdict*>(data);
    ++verdict->calls;
    if (callerId && callerId->len >= sizeof(sockaddr_in) && calleeId) {
        sockaddr_in caller;
        std::memcpy(&caller, callerId->buf, sizeof caller);
        verdict->callerPort = ws2().ntohs(caller.sin_port);
    }
    return verdict->answer;
}

TEST_F(Sockets, DeferredConnectionWaitsForTheNextAccept) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    SOCKET client = connected(port);

    Verdict defer{CF_DEFER};
    EXPECT_EQ(api.WSAAccept(listener, nullptr, nullptr, CALLBACK_condition,
                            reinterpret_cast<DWORD_PTR>(&defer)),
              INVALID_SOCKET);
    EXPECT_EQ(api.WSAGetLastError(), 11002);
    EXPECT_EQ(defer.callerPort, portOf(client)) << "the condition learns the caller's address";

    // The deferred caller is still waiting: select sees it, the next accept takes it.
    FD_SET readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval zero{0, 0};
    EXPECT_EQ(api.select(0, &readable, nullptr, nullptr, &zero), 1);

    Verdict accept{CF_ACCEPT};
    sockaddr_in peer{};
    int size = sizeof peer;
    SOCKET server = api.WSAAccept(listener, reinterpret_cast<sockaddr*>(&peer), &size,
                                  CALLBACK_condition, reinterpret_cast<DWORD_PTR>(&accept));
    ASSERT_NE(server, INVALID_SOCKET) << api.WSAGetLastError();
    EXPECT_EQ(api.ntohs(peer.sin_port), portOf(client));
    EXPECT_EQ(sendText(client, "after defer"), 11);
    EXPECT_EQ(receiveText(server), "after defer");
}

TEST_F(Sockets, RejectedConnectionIsReset) {
    u_short port = 0;
    SOCKET listener = listening(&port);
    SOCKET client = connected(port);
    Verdict reject{CF_REJECT};
    EXPECT_EQ(api.WSAAccept(listener, nullptr, nullptr, CALLBACK_condition,
                            reinterpret_cast<DWORD_PTR>(&reject)),
              INVALID_SOCKET);
    EXPECT_EQ(api.WSAGetLastError(), 10061);
    waitReadable(client);
    char byte;
    EXPECT_EQ(api.recv(client, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10054);
}

TEST_F(Sockets, ClosingWakesABlockedReceive) {
    SOCKET client, server;
    connectedPair(&client, &server);
    int result = 0;
    int error = 0;
    std::thread reader([&] {
        char byte;
        result = api.recv(server, &byte, 1, 0);
        error = api.WSAGetLastError();
    });
    // Whether the reader is already waiting or not, it must come back with a failure.
    EXPECT_EQ(api.closesocket(server), 0);
    reader.join();
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_TRUE(error == 10004 || error == 10038) << error;
}

}  // namespace
