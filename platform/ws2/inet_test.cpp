// Byte order and IPv4 address text.

#include <thread>

#include "platform/ws2/test_support.h"

namespace {

// The four bytes of an address in network order, as text.
std::string bytesOf(uint32_t networkOrder) {
    in_addr a;
    a.s_addr = networkOrder;
    return ws2().inet_ntoa(a);
}

TEST(InetAddr, ParsesTheClassicForms) {
    struct Case {
        const char* text;
        const char* address;  // nullptr: INADDR_NONE
    };
    const Case cases[] = {
        {"1.2.3.4", "1.2.3.4"},
        {"127.0.0.1", "127.0.0.1"},
        {"0.0.0.0", "0.0.0.0"},
        {"1.2.3", "1.2.0.3"},
        {"1.2.65535", "1.2.255.255"},
        {"1.2", "1.0.0.2"},
        {"3232235777", "192.168.1.1"},
        {"0x7f.1", "127.0.0.1"},
        {"010.0.0.1", "8.0.0.1"},
        {"0xC0.0xA8.0.1", "192.168.0.1"},
        {"1.2.3.4 ", "1.2.3.4"},
        {"1.2.3.4\tmore", "1.2.3.4"},
        {"", nullptr},
        {" 1.2.3.4", nullptr},
        {"1.2.3.256", nullptr},
        {"256.1.1.1", nullptr},
        {"1.2.65536", nullptr},
        {"1.2.3.4.5", nullptr},
        {"1..2", nullptr},
        {"1.2.3.", nullptr},
        {"1.2.3.4x", nullptr},
        {"09.1.1.1", nullptr},
        {"0x", nullptr},
        {"4294967296", nullptr},
        {"a.b.c.d", nullptr},
        {"localhost", nullptr},
    };
    for (const Case& c : cases) {
        uint32_t parsed = ws2().inet_addr(c.text);
        if (c.address) {
            EXPECT_EQ(bytesOf(parsed), c.address) << '"' << c.text << '"';
        } else {
            EXPECT_EQ(parsed, INADDR_NONE) << '"' << c.text << '"';
        }
    }
    // The broadcast address cannot be told from a failure, as on Windows.
    EXPECT_EQ(ws2().inet_addr("255.255.255.255"), INADDR_NONE);
    EXPECT_EQ(ws2().inet_addr(nullptr), INADDR_NONE);
}

TEST(InetNtoa, UsesOneBufferPerThread) {
    in_addr first;
    first.s_addr = ws2().inet_addr("10.1.2.3");
    char* mine = ws2().inet_ntoa(first);
    EXPECT_STREQ(mine, "10.1.2.3");
    char* theirs = nullptr;
    std::thread([&] {
        in_addr other;
        other.s_addr = ws2().inet_addr("192.168.200.201");
        theirs = ws2().inet_ntoa(other);
        EXPECT_STREQ(theirs, "192.168.200.201");
    }).join();
    EXPECT_NE(mine, theirs);
    EXPECT_STREQ(mine, "10.1.2.3") << "another thread's call leaves this thread's text alone";
    in_addr again;
    again.s_addr = ws2().inet_addr("255.255.255.254");
    EXPECT_EQ(ws2().inet_ntoa(again), mine) << "the next call of the same thread reuses it";
    EXPECT_STREQ(mine, "255.255.255.254");
}

}  // namespace
