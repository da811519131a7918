// WSAStartup's version negotiation and start-up record, WSACleanup's counting, the rule that calls
// fail with WSANOTINITIALISED before start-up, and what the library exports.

#include <functional>
#include <thread>

#include "platform/ws2/test_support.h"

namespace {

TEST(Startup, NegotiatesTheVersion) {
    struct Case {
        WORD requested;
        int result;
        WORD granted;
    };
    const Case cases[] = {
        {MAKEWORD(0, 0), 10092, 0},  {MAKEWORD(0, 9), 10092, 0},  {MAKEWORD(1, 0), 0, 0x0001},
        {MAKEWORD(1, 1), 0, 0x0101}, {MAKEWORD(1, 5), 0, 0x0101}, {MAKEWORD(2, 0), 0, 0x0002},
        {MAKEWORD(2, 1), 0, 0x0102}, {MAKEWORD(2, 2), 0, 0x0202}, {MAKEWORD(2, 9), 0, 0x0202},
        {MAKEWORD(3, 0), 0, 0x0202},
    };
    const Ws2Api& api = ws2();
    for (const Case& c : cases) {
        WSADATA data{};
        data.wVersion = 0xBEEF;
        EXPECT_EQ(api.WSAStartup(c.requested, &data), c.result) << std::hex << c.requested;
        if (c.result != 0) {
            EXPECT_EQ(data.wVersion, 0xBEEF) << "a refused start-up leaves the record alone";
            continue;
        }
        EXPECT_EQ(data.wVersion, c.granted) << std::hex << c.requested;
        EXPECT_EQ(data.wHighVersion, 0x0202);
        EXPECT_STREQ(data.szDescription, "WinSock 2.0");
        EXPECT_STREQ(data.szSystemStatus, "Running");
        EXPECT_GT(data.iMaxSockets, 0);
        EXPECT_EQ(data.iMaxUdpDg, 65507);
        EXPECT_EQ(api.WSACleanup(), 0);
    }
}

TEST(Startup, RefusesAMissingRecord) {
    EXPECT_EQ(ws2().WSAStartup(MAKEWORD(2, 2), nullptr), 10014);
    EXPECT_EQ(ws2().WSACleanup(), SOCKET_ERROR) << "the refused start-up was not counted";
}

TEST(Startup, CleanupBalancesEachStartup) {
    const Ws2Api& api = ws2();
    WSADATA data;
    EXPECT_EQ(api.WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10093);
    ASSERT_EQ(api.WSAStartup(MAKEWORD(2, 2), &data), 0);
    ASSERT_EQ(api.WSAStartup(MAKEWORD(1, 1), &data), 0);
    EXPECT_EQ(api.WSACleanup(), 0);
    SOCKET s = api.socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET) << "one start-up is still in force";
    EXPECT_EQ(api.WSACleanup(), 0);
    EXPECT_EQ(api.WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10093);
}

TEST(Startup, LastCleanupClosesEverySocket) {
    const Ws2Api& api = ws2();
    WSADATA data;
    ASSERT_EQ(api.WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET s = api.socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_EQ(api.WSACleanup(), 0);
    ASSERT_EQ(api.WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(api.closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10038);
    api.WSACleanup();
}

TEST(Startup, EveryCallFailsBeforeStartup) {
    const Ws2Api& api = ws2();
    char buffer[MAXGETHOSTSTRUCT];
    sockaddr_in address = loopbackAddress(80);
    const sockaddr* a = asAddress(address);
    int size = sizeof address;
    u_long arg = 0;
    DWORD returned = 0;
    FD_SET set;
    FD_ZERO(&set);
    FD_SET(SOCKET{3}, &set);
    timeval zero{0, 0};
    const SOCKET s = 3;
    // Each entry makes one call and tells whether it returned its failure value.
    const std::pair<const char*, std::function<bool()>> calls[] = {
        {"socket", [&] { return api.socket(AF_INET, SOCK_STREAM, 0) == INVALID_SOCKET; }},
        {"accept", [&] { return api.accept(s, nullptr, nullptr) == INVALID_SOCKET; }},
        {"WSAAccept",
         [&] { return api.WSAAccept(s, nullptr, nullptr, nullptr, 0) == INVALID_SOCKET; }},
        {"bind", [&] { return api.bind(s, a, size) == SOCKET_ERROR; }},
        {"connect", [&] { return api.connect(s, a, size) == SOCKET_ERROR; }},
        {"listen", [&] { return api.listen(s, 1) == SOCKET_ERROR; }},
        {"closesocket", [&] { return api.closesocket(s) == SOCKET_ERROR; }},
        {"shutdown", [&] { return api.shutdown(s, SD_BOTH) == SOCKET_ERROR; }},
        {"send", [&] { return api.send(s, buffer, 1, 0) == SOCKET_ERROR; }},
        {"sendto", [&] { return api.sendto(s, buffer, 1, 0, a, size) == SOCKET_ERROR; }},
        {"recv", [&] { return api.recv(s, buffer, 1, 0) == SOCKET_ERROR; }},
        {"recvfrom",
         [&] { return api.recvfrom(s, buffer, 1, 0, nullptr, nullptr) == SOCKET_ERROR; }},
        {"select", [&] { return api.select(0, &set, nullptr, nullptr, &zero) == SOCKET_ERROR; }},
        {"ioctlsocket", [&] { return api.ioctlsocket(s, FIONREAD, &arg) == SOCKET_ERROR; }},
        {"WSAIoctl",
         [&] {
             return api.WSAIoctl(s, FIONREAD, nullptr, 0, &arg, sizeof arg, &returned, nullptr,
                                 nullptr) == SOCKET_ERROR;
         }},
        {"getsockopt",
         [&] {
             int len = sizeof arg;
             return api.getsockopt(s, SOL_SOCKET, SO_TYPE, buffer, &len) == SOCKET_ERROR;
         }},
        {"setsockopt",
         [&] { return api.setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, buffer, 4) == SOCKET_ERROR; }},
        {"getsockname",
         [&] {
             int len = sizeof address;
             return api.getsockname(s, reinterpret_cast<sockaddr*>(buffer), &len) == SOCKET_ERROR;
         }},
        {"getpeername",
         [&] {
             int len = sizeof address;
             return api.getpeername(s, reinterpret_cast<sockaddr*>(buffer), &len) == SOCKET_ERROR;
         }},
        {"gethostname", [&] { return api.gethostname(buffer, sizeof buffer) == SOCKET_ERROR; }},
        {"gethostbyname", [&] { return api.gethostbyname("localhost") == nullptr; }},
        {"gethostbyaddr", [&] { return api.gethostbyaddr(buffer, 4, AF_INET) == nullptr; }},
        {"getservbyname", [&] { return api.getservbyname("http", "tcp") == nullptr; }},
        {"getservbyport", [&] { return api.getservbyport(api.htons(80), "tcp") == nullptr; }},
        {"getprotobyname", [&] { return api.getprotobyname("tcp") == nullptr; }},
        {"getprotobynumber", [&] { return api.getprotobynumber(6) == nullptr; }},
        {"WSAAsyncSelect",
         [&] { return api.WSAAsyncSelect(s, nullptr, WM_USER, 0) == SOCKET_ERROR; }},
        {"WSAAsyncGetHostByName",
         [&] {
             return api.WSAAsyncGetHostByName(nullptr, WM_USER, "localhost", buffer,
                                              sizeof buffer) == nullptr;
         }},
        {"WSAAsyncGetHostByAddr",
         [&] {
             return api.WSAAsyncGetHostByAddr(nullptr, WM_USER, buffer, 4, AF_INET, buffer,
                                              sizeof buffer) == nullptr;
         }},
        {"WSAAsyncGetServByName",
         [&] {
             return api.WSAAsyncGetServByName(nullptr, WM_USER, "http", "tcp", buffer,
                                              sizeof buffer) == nullptr;
         }},
        {"WSAAsyncGetServByPort",
         [&] {
             return api.WSAAsyncGetServByPort(nullptr, WM_USER, 80, "tcp", buffer, sizeof buffer) ==
                    nullptr;
         }},
        {"WSAAsyncGetProtoByName",
         [&] {
             return api.WSAAsyncGetProtoByName(nullptr, WM_USER, "tcp", buffer, sizeof buffer) ==
                    nullptr;
         }},
        {"WSAAsyncGetProtoByNumber",
         [&] {
             return api.WSAAsyncGetProtoByNumber(nullptr, WM_USER, 6, buffer, sizeof buffer) ==
                    nullptr;
         }},
        {"WSACancelAsyncRequest",
         [&] { return api.WSACancelAsyncRequest(nullptr) == SOCKET_ERROR; }},
    };
    for (const auto& [name, call] : calls) {
        api.WSASetLastError(0);
        EXPECT_TRUE(call()) << name;
        EXPECT_EQ(api.WSAGetLastError(), 10093) << name;
    }
}

TEST(Startup, ConversionsNeedNoStartup) {
    const Ws2Api& api = ws2();
    EXPECT_EQ(api.htons(0x1234), 0x3412);
    EXPECT_EQ(api.ntohl(api.htonl(0x01020304)), 0x01020304u);
    EXPECT_EQ(api.inet_addr("127.0.0.1"), api.htonl(INADDR_LOOPBACK));
    in_addr a;
    a.s_addr = api.htonl(0x0A000001);
    EXPECT_STREQ(api.inet_ntoa(a), "10.0.0.1");
}

TEST(Startup, LastErrorBelongsToItsThread) {
    const Ws2Api& api = ws2();
    api.WSASetLastError(10061);
    int seenElsewhere = -1;
    std::thread([&] { seenElsewhere = api.WSAGetLastError(); }).join();
    EXPECT_EQ(seenElsewhere, 0);
    EXPECT_EQ(api.WSAGetLastError(), 10061);
}

TEST(Exports, EveryBoundNameIsTheLibrarysOwn) {
    void* lib = ws2Library();
    ASSERT_NE(lib, nullptr) << dlerror();
    const Ws2Api& api = ws2();
    // The two event-object calls are left out: callers have no way to create event objects.
    EXPECT_EQ(api.WSAEventSelect, nullptr);
    EXPECT_EQ(api.WSAEnumNetworkEvents, nullptr);
#define WS2_TEST_CHECK(name, type)                                                                \
    if (std::string(#name) != "WSAEventSelect" && std::string(#name) != "WSAEnumNetworkEvents") { \
        EXPECT_NE(reinterpret_cast<void*>(api.name), nullptr) << #name;                           \
        /* The C library's function of the same name is a different one. */                       \
        EXPECT_NE(reinterpret_cast<void*>(api.name), dlsym(RTLD_DEFAULT, #name)) << #name;        \
    }
    WS2_TEST_FUNCTIONS(WS2_TEST_CHECK)
#undef WS2_TEST_CHECK
}

}  // namespace
