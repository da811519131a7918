// The resolver over the real network library: dotted addresses, names and services from the
// system's databases, the local host, adapters and the hardware address.

#include "winsock/ocx/socket/resolver.h"

#include <gtest/gtest.h>

#include <regex>

#include "tools/testsupport/scoped_env.h"
#include "winsock/ocx/socket/socket_test_support.h"

namespace {

using namespace kvlink;
using socket_test::lastCode;

}  // namespace

TEST(Resolver, DottedAddressesNeedAllFourParts) {
    struct Case {
        const char* text;
        bool parses;
        const char* shown;
    };
    const Case cases[] = {
        {"10.0.0.1", true, "10.0.0.1"},
        {"255.255.255.255", true, "255.255.255.255"},
        {"0.0.0.0", true, "0.0.0.0"},
        {"0x7f.0.0.010", true, "127.0.0.8"},
        {"1.2.3", false, ""},
        {"127.1", false, ""},
        {"1.2.3.256", false, ""},
        {"1.2.3.4.5", false, ""},
        {"", false, ""},
        {"a.b.c.d", false, ""},
    };
    for (const Case& c : cases) {
        uint32_t address = 0;
        EXPECT_EQ(parseDottedAddress(c.text, &address), c.parses) << c.text;
        if (c.parses) {
            EXPECT_EQ(formatDottedAddress(address), c.shown);
        }
    }
}

TEST(Resolver, PortStringsSpellAddressAndPortBytes) {
    uint32_t address;
    ASSERT_TRUE(parseDottedAddress("192.168.1.2", &address));
    EXPECT_EQ(formatPortString(address, 1025), "192,168,1,2,4,1");
    ASSERT_TRUE(parseDottedAddress("0.0.0.0", &address));
    EXPECT_EQ(formatPortString(address, 65535), "0,0,0,0,255,255");
}

TEST(Resolver, NamesResolveAndNothingGives11001) {
    uint32_t address = 0;
    ASSERT_TRUE(resolveHostAddress("localhost", &address));
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&address)[0], 127);
    SetSocketError(0);
    EXPECT_FALSE(resolveHostAddress("no-such-host.invalid", &address));
    EXPECT_EQ(lastCode(), 11001u);
    EXPECT_FALSE(resolveHostAddress("", &address));
    EXPECT_EQ(lastCode(), 11001u);

    std::vector<std::string> names;
    ASSERT_TRUE(hostAliases("localhost", &names));
    ASSERT_FALSE(names.empty());
    EXPECT_FALSE(hostAliases("no-such-host.invalid", &names));
    EXPECT_EQ(lastCode(), 11001u);
}

TEST(Resolver, ReverseLookupRefusesTheNonAddresses) {
    std::string name;
    for (const char* text : {"0.0.0.0", "255.255.255.255"}) {
        uint32_t address;
        ASSERT_TRUE(parseDottedAddress(text, &address));
        SetSocketError(0);
        EXPECT_FALSE(reverseLookup(address, &name)) << text;
        EXPECT_EQ(lastCode(), 10039u);
    }
    uint32_t loopback;
    ASSERT_TRUE(parseDottedAddress("127.0.0.1", &loopback));
    ASSERT_TRUE(reverseLookup(loopback, &name));
    EXPECT_FALSE(name.empty());
}

TEST(Resolver, ServicesAndPortsBothWays) {
    int32_t port = 0;
    ASSERT_TRUE(serviceToPort("http", &port));
    EXPECT_EQ(port, 80);
    ASSERT_TRUE(serviceToPort("8080", &port));
    EXPECT_EQ(port, 8080);
    struct Case {
        const char* service;
        uint32_t code;
    };
    for (const Case& c :
         {Case{"", 10014}, Case{"0", 12006}, Case{"65536", 12006},
          Case{"99999999999999999999", 12006}, Case{"no-such-service", 12007}, Case{"-1", 12007}}) {
        SetSocketError(0);
        EXPECT_FALSE(serviceToPort(c.service, &port)) << c.service;
        EXPECT_EQ(lastCode(), c.code) << c.service;
    }
    std::string name;
    ASSERT_TRUE(portToService(443, &name));
    EXPECT_EQ(name, "https");
    EXPECT_FALSE(portToService(0, &name));
    EXPECT_EQ(lastCode(), 12006u);
    EXPECT_FALSE(portToService(65536, &name));
    EXPECT_EQ(lastCode(), 12006u);
}

TEST(Resolver, TheLocalNameCarriesTheMachinesDomain) {
    char bare[256] = {};
    ASSERT_EQ(networkLibrary().gethostname(bare, sizeof bare - 1), 0);
    ScopedEnv env;
    env.set("LOCALDOMAIN", "example.test");
    std::string name;
    ASSERT_TRUE(localHostName(&name));
    if (std::string(bare).find('.') == std::string::npos)
        EXPECT_EQ(name, std::string(bare) + ".example.test");
    else
        EXPECT_EQ(name, bare) << "a name with a dot is kept as it is";

    std::vector<uint32_t> addresses;
    ASSERT_TRUE(localAddresses(&addresses));
    EXPECT_FALSE(addresses.empty());
}

TEST(Resolver, ThePhysicalAddressIsSixHexPairsOrNothing) {
    std::string mac = physicalAddress();
    if (mac.empty()) GTEST_SKIP() << "no interface with a hardware address";
    EXPECT_TRUE(std::regex_match(mac, std::regex("([0-9A-F]{2}:){5}[0-9A-F]{2}"))) << mac;
    EXPECT_NE(mac, "00:00:00:00:00:00");
}
