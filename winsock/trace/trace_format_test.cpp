#include "winsock/trace/trace_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace {

sockaddr_in ipv4(unsigned char a, unsigned char b, unsigned char c, unsigned char d,
                 uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    auto* bytes = reinterpret_cast<unsigned char*>(&address.sin_port);
    bytes[0] = static_cast<unsigned char>(port >> 8);  // network order
    bytes[1] = static_cast<unsigned char>(port & 0xFF);
    address.sin_addr.S_un.S_un_b = {a, b, c, d};
    return address;
}

}  // namespace

TEST(TraceFormat, Addresses) {
    sockaddr_in loopback = ipv4(127, 0, 0, 1, 40000);
    const auto* any = reinterpret_cast<const sockaddr*>(&loopback);
    EXPECT_EQ(kvtrace::formatAddress(any, sizeof loopback), "127.0.0.1:40000");
    EXPECT_EQ(kvtrace::formatAddress(any, sizeof loopback - 1), "?");
    EXPECT_EQ(kvtrace::formatAddress(any, 1), "?");
    EXPECT_EQ(kvtrace::formatAddress(nullptr, 16), "null");
    sockaddr_in other = ipv4(255, 255, 255, 255, 65535);
    EXPECT_EQ(kvtrace::formatAddress(reinterpret_cast<const sockaddr*>(&other), sizeof other),
              "255.255.255.255:65535");
    other.sin_family = AF_INET6;
    EXPECT_EQ(kvtrace::formatAddress(reinterpret_cast<const sockaddr*>(&other), sizeof other),
              "family 23");
}

TEST(TraceFormat, SetsTimeoutsTextAndEvents) {
    FD_SET set;
    FD_ZERO(&set);
    EXPECT_EQ(kvtrace::formatSet(&set), "{}");
    FD_SET(3, &set);
    FD_SET(17, &set);
    EXPECT_EQ(kvtrace::formatSet(&set), "{3,17}");
    EXPECT_EQ(kvtrace::formatSet(nullptr), "null");
    set.fd_count = 1000;  // a corrupt count must not read past the array
    std::string capped = kvtrace::formatSet(&set);
    EXPECT_EQ(std::count(capped.begin(), capped.end(), ','), FD_SETSIZE - 1);

    timeval limit{1, 500000};
    EXPECT_EQ(kvtrace::formatTimeout(&limit), "1.500000");
    EXPECT_EQ(kvtrace::formatTimeout(nullptr), "null");

    EXPECT_EQ(kvtrace::formatText("example.org"), "\"example.org\"");
    EXPECT_EQ(kvtrace::formatText("a\nb\"c"), "\"a\\x0ab\\x22c\"");
    EXPECT_EQ(kvtrace::formatText(nullptr), "null");

    EXPECT_EQ(kvtrace::formatEvents(FD_READ | FD_CLOSE), "FD_READ|FD_CLOSE");
    EXPECT_EQ(kvtrace::formatEvents(0), "0");
    EXPECT_EQ(kvtrace::formatEvents(FD_WRITE | 0x100), "FD_WRITE|0x100");
    EXPECT_EQ(kvtrace::formatSocket(INVALID_SOCKET), "INVALID_SOCKET");
}

TEST(TraceFormat, ErrorNames) {
    EXPECT_STREQ(kvtrace::errorName(10061), "WSAECONNREFUSED");
    EXPECT_STREQ(kvtrace::errorName(10035), "WSAEWOULDBLOCK");
    EXPECT_STREQ(kvtrace::errorName(11001), "WSAHOST_NOT_FOUND");
    EXPECT_STREQ(kvtrace::errorName(0), "");
    EXPECT_STREQ(kvtrace::errorName(12003), "");
}

TEST(TraceFormat, HexDumpHasSixteenBytesALine) {
    const char data[] =
        "Hello, trace!\x01\x02\xff"
        "ABCD";  // 20 bytes
    std::string dump = kvtrace::hexDump(data, 20);
    EXPECT_EQ(dump,
              "    0000  48 65 6c 6c 6f 2c 20 74 72 61 63 65 21 01 02 ff  Hello, trace!...\n"
              "    0010  41 42 43 44                                      ABCD\n");
    EXPECT_EQ(kvtrace::hexDump(data, 0), "");
    EXPECT_EQ(kvtrace::hexDump(data, 16).find('\n'), kvtrace::hexDump(data, 16).size() - 1);
}

TEST(TraceFormat, LinePrefixHasLocalTimeMillisecondsAndThread) {
    timespec when{};
    when.tv_sec = 1700000000;
    when.tv_nsec = 7000000;  // 7 ms
    std::string prefix = kvtrace::linePrefix(when, 4711);
    EXPECT_TRUE(
        std::regex_match(prefix, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.007 \[4711\] )")))
        << prefix;
}
