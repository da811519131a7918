// The database calls against this machine's own files (/etc/hosts, /etc/services,
// /etc/protocols); none needs a network.

#include <unistd.h>

#include <fstream>
#include <thread>

#include "platform/ws2/test_support.h"

namespace {

using Resolver = Ws2Test;

bool fileExists(const char* path) {
    return std::ifstream(path).good();
}

std::string firstAddress(const hostent* h) {
    in_addr a;
    std::memcpy(&a, h->h_addr, 4);
    return ws2().inet_ntoa(a);
}

bool namesInclude(const hostent* h, const std::string& name) {
    if (h->h_name == name) return true;
    for (char** alias = h->h_aliases; *alias; ++alias) {
        if (*alias == name) return true;
    }
    return false;
}

TEST_F(Resolver, LocalhostResolvesToLoopback) {
    hostent* h = api.gethostbyname("localhost");
    ASSERT_NE(h, nullptr) << api.WSAGetLastError();
    EXPECT_EQ(h->h_addrtype, AF_INET);
    EXPECT_EQ(h->h_length, 4);
    EXPECT_EQ(firstAddress(h), "127.0.0.1");
    EXPECT_TRUE(namesInclude(h, "localhost"));
}

TEST_F(Resolver, DottedNameIsItsOwnAddress) {
    hostent* h = api.gethostbyname("10.20.30.40");
    ASSERT_NE(h, nullptr) << api.WSAGetLastError();
    EXPECT_EQ(firstAddress(h), "10.20.30.40");
    EXPECT_STREQ(h->h_name, "10.20.30.40");
    EXPECT_EQ(h->h_addr_list[1], nullptr);
}

TEST_F(Resolver, LoopbackAddressResolvesToLocalhost) {
    uint32_t loopback = api.htonl(INADDR_LOOPBACK);
    hostent* h = api.gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET);
    ASSERT_NE(h, nullptr) << api.WSAGetLastError();
    EXPECT_TRUE(namesInclude(h, "localhost")) << h->h_name;
    EXPECT_EQ(api.gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET6), nullptr);
    EXPECT_EQ(api.WSAGetLastError(), 10047);
    EXPECT_EQ(api.gethostbyaddr(reinterpret_cast<const char*>(&loopback), 2, AF_INET), nullptr);
    EXPECT_EQ(api.WSAGetLastError(), 10014);
}

TEST_F(Resolver, ResultsBelongToTheirThread) {
    hostent* mine = api.gethostbyname("127.0.0.1");
    ASSERT_NE(mine, nullptr);
    std::thread([&] {
        hostent* theirs = ws2().gethostbyname("10.9.8.7");
        ASSERT_NE(theirs, nullptr);
        EXPECT_NE(theirs, mine);
    }).join();
    EXPECT_EQ(firstAddress(mine), "127.0.0.1");
    EXPECT_STREQ(mine->h_name, "127.0.0.1");
}

TEST_F(Resolver, HostNameIsTheMachines) {
    char expected[256] = {};
    ASSERT_EQ(::gethostname(expected, sizeof expected), 0);
    char name[256] = {};
    ASSERT_EQ(api.gethostname(name, sizeof name), 0) << api.WSAGetLastError();
    EXPECT_STREQ(name, expected);
    char tiny[1];
    EXPECT_EQ(api.gethostname(tiny, sizeof tiny), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10014) << "too small for the name";
}

TEST_F(Resolver, ServicesByNameAndPort) {
    if (!fileExists("/etc/services")) GTEST_SKIP() << "this machine has no /etc/services";
    servent* http = api.getservbyname("http", "tcp");
    ASSERT_NE(http, nullptr) << api.WSAGetLastError();
    EXPECT_EQ(http->s_port, static_cast<short>(api.htons(80)));
    EXPECT_STREQ(http->s_proto, "tcp");
    EXPECT_STREQ(http->s_name, "http");
    servent* anyProtocol = api.getservbyname("http", nullptr);
    ASSERT_NE(anyProtocol, nullptr);
    EXPECT_EQ(anyProtocol->s_port, static_cast<short>(api.htons(80)));

    servent* byPort = api.getservbyport(api.htons(80), "tcp");
    ASSERT_NE(byPort, nullptr) << api.WSAGetLastError();
    EXPECT_STREQ(byPort->s_name, "http");

    EXPECT_EQ(api.getservbyname("no-such-service-here", "tcp"), nullptr);
    EXPECT_EQ(api.WSAGetLastError(), 11004);
}

TEST_F(Resolver, ProtocolsByNameAndNumber) {
    if (!fileExists("/etc/protocols")) GTEST_SKIP() << "this machine has no /etc/protocols";
    protoent* tcp = api.getprotobyname("tcp");
    ASSERT_NE(tcp, nullptr) << api.WSAGetLastError();
    EXPECT_EQ(tcp->p_proto, 6);
    protoent* udp = api.getprotobynumber(17);
    ASSERT_NE(udp, nullptr) << api.WSAGetLastError();
    EXPECT_STREQ(udp->p_name, "udp");
    EXPECT_EQ(api.getprotobynumber(-5), nullptr);
    EXPECT_EQ(api.WSAGetLastError(), 11004);
}

}  // namespace
