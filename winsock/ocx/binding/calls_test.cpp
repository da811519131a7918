// The call wrappers over a library that lacks most functions: empty slots fail, the rest works.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/base/constants.h"

using kvlink::NetworkLibrary;

namespace {

class StubLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(net.start("KVLINK_WS2STUB.DLL", MAKEWORD(2, 2), &data, nullptr))
            << net.loadError();
    }
    void TearDown() override { net.stop(); }

    NetworkLibrary net;
    WSADATA data;
};

}  // namespace

TEST_F(StubLibrary, StartsThroughWhatItHas) {
    EXPECT_EQ(data.iMaxSockets, 7);
    EXPECT_STREQ(data.szDescription, "Stub 2.2");
    SOCKET s = net.socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(net.closesocket(s), 0);
    EXPECT_EQ(net.socket(AF_INET6, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(net.getLastError(), WSAEAFNOSUPPORT);
}

TEST_F(StubLibrary, MissingFunctionsFailWithNotImplemented) {
    SOCKET s = net.socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    const auto* name = reinterpret_cast<const sockaddr*>(&address);
    int length = sizeof address;
    char buffer[16] = "data";
    u_long argument = 0;
    FD_SET set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    DWORD returned = 0;
    timeval poll{0, 0};  // never waits, should a select be reached after all
    const std::pair<const char*, std::function<int()>> integerCalls[] = {
        {"bind", [&] { return net.bind(s, name, length); }},
        {"connect", [&] { return net.connect(s, name, length); }},
        {"ioctlsocket", [&] { return net.ioctlsocket(s, FIONBIO, &argument); }},
        {"getpeername", [&] { return net.getpeername(s, nullptr, &length); }},
        {"getsockname", [&] { return net.getsockname(s, nullptr, &length); }},
        {"getsockopt", [&] { return net.getsockopt(s, SOL_SOCKET, SO_ERROR, buffer, &length); }},
        {"listen", [&] { return net.listen(s, 5); }},
        {"recv", [&] { return net.recv(s, buffer, 4, 0); }},
        {"recvfrom", [&] { return net.recvfrom(s, buffer, 4, 0, nullptr, nullptr); }},
        {"select", [&] { return net.select(0, &set, nullptr, nullptr, &poll); }},
        {"selectUntraced", [&] { return net.selectUntraced(0, &set, nullptr, nullptr, &poll); }},
        {"send", [&] { return net.send(s, buffer, 4, 0); }},
        {"sendto", [&] { return net.sendto(s, buffer, 4, 0, name, length); }},
        {"setsockopt", [&] { return net.setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, buffer, 4); }},
        {"shutdown", [&] { return net.shutdown(s, SD_BOTH); }},
        {"gethostname", [&] { return net.gethostname(buffer, sizeof buffer); }},
        {"WSACancelAsyncRequest", [&] { return net.WSACancelAsyncRequest(nullptr); }},
        {"WSAAsyncSelect", [&] { return net.WSAAsyncSelect(s, nullptr, 2025, FD_READ); }},
        {"WSAEventSelect", [&] { return net.WSAEventSelect(s, nullptr, FD_READ); }},
        {"WSAEnumNetworkEvents", [&] { return net.WSAEnumNetworkEvents(s, nullptr, nullptr); }},
        {"WSAIoctl",
         [&] {
             return net.WSAIoctl(s, FIONBIO, &argument, sizeof argument, nullptr, 0, &returned,
                                 nullptr, nullptr);
         }},
    };
    for (const auto& [function, call] : integerCalls) {
        net.setLastError(0);
        EXPECT_EQ(call(), SOCKET_ERROR) << function;
        EXPECT_EQ(net.getLastError(), wrErrorNotImplemented) << function;
    }

    const std::pair<const char*, std::function<const void*()>> pointerCalls[] = {
        {"gethostbyaddr", [&] { return net.gethostbyaddr(buffer, 4, AF_INET); }},
        {"gethostbyname", [&] { return net.gethostbyname("localhost"); }},
        {"getservbyport", [&] { return net.getservbyport(80, "tcp"); }},
        {"getservbyname", [&] { return net.getservbyname("http", "tcp"); }},
        {"getprotobynumber", [&] { return net.getprotobynumber(6); }},
        {"getprotobyname", [&] { return net.getprotobyname("tcp"); }},
        {"inet_ntoa", [&] { return net.inet_ntoa(address.sin_addr); }},
        {"WSAAsyncGetHostByName",
         [&] { return net.WSAAsyncGetHostByName(nullptr, 2025, "localhost", buffer, 16); }},
        {"WSAAsyncGetHostByAddr",
         [&] { return net.WSAAsyncGetHostByAddr(nullptr, 2025, buffer, 4, AF_INET, buffer, 16); }},
        {"WSAAsyncGetServByName",
         [&] { return net.WSAAsyncGetServByName(nullptr, 2025, "http", "tcp", buffer, 16); }},
        {"WSAAsyncGetServByPort",
         [&] { return net.WSAAsyncGetServByPort(nullptr, 2025, 80, "tcp", buffer, 16); }},
        {"WSAAsyncGetProtoByName",
         [&] { return net.WSAAsyncGetProtoByName(nullptr, 2025, "tcp", buffer, 16); }},
        {"WSAAsyncGetProtoByNumber",
         [&] { return net.WSAAsyncGetProtoByNumber(nullptr, 2025, 6, buffer, 16); }},
    };
    for (const auto& [function, call] : pointerCalls) {
        net.setLastError(0);
        EXPECT_EQ(call(), nullptr) << function;
        EXPECT_EQ(net.getLastError(), wrErrorNotImplemented) << function;
    }

    net.setLastError(0);
    EXPECT_EQ(net.accept(s, nullptr, nullptr), INVALID_SOCKET);
    EXPECT_EQ(net.getLastError(), wrErrorNotImplemented);
    net.setLastError(0);
    EXPECT_EQ(net.WSAAccept(s, nullptr, nullptr, nullptr, 0), INVALID_SOCKET);
    EXPECT_EQ(net.getLastError(), wrErrorNotImplemented);
    net.setLastError(0);
    EXPECT_EQ(net.inet_addr("127.0.0.1"), INADDR_NONE);
    EXPECT_EQ(net.getLastError(), wrErrorNotImplemented);
}

TEST_F(StubLibrary, ByteOrderIsComputedWhenTheLibraryLacksIt) {
    u_short port = net.htons(0x1234);
    const auto* portBytes = reinterpret_cast<const unsigned char*>(&port);
    EXPECT_EQ(portBytes[0], 0x12);
    EXPECT_EQ(portBytes[1], 0x34);
    uint32_t address = net.htonl(0x7F000001);
    const auto* addressBytes = reinterpret_cast<const unsigned char*>(&address);
    EXPECT_EQ(addressBytes[0], 0x7F);
    EXPECT_EQ(addressBytes[3], 0x01);
    EXPECT_EQ(net.ntohs(port), 0x1234);
    EXPECT_EQ(net.ntohl(address), 0x7F000001u);
}
