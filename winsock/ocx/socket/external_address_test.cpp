// The external-address lookup against loopback peers standing in for the service and a proxy,
// with a registry of the test's own: the request's bytes, the cache and its registry mirror,
// the lifetime rules, the proxy's absolute target, and the answers that carry no address.

#include "winsock/ocx/socket/external_address.h"

#include <gtest/gtest.h>

#include <ctime>

#include "platform/registry/test_folder.h"
#include "tools/testsupport/scoped_env.h"
#include "winsock/ocx/socket/proxy.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/socket_test_support.h"

namespace {

using namespace kvlink;
using socket_test::lastCode;

// A service that records each request and answers with body.
struct Service {
    explicit Service(std::string body)
        : server([this, body](PeerConnection& peer) {
              std::string head = peer.receive(1);
              while (head.find("\r\n\r\n") == std::string::npos) {
                  std::string more = peer.receive(1, 2000);
                  if (more.empty()) break;
                  head += more;
              }
              requests.push_back(head);
              peer.send("HTTP/1.0 200 OK\r\n\r\n" + body);
          }) {}
    std::vector<std::string> requests;
    LoopbackServer server;
};

void setDword(const char* name, uint32_t value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kExternalAddressKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
}

uint32_t readDword(const char* name) {
    HKEY key;
    uint32_t value = 0;
    DWORD size = 4;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kExternalAddressKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
}

class ExternalAddress : public RegistryFolderTest {
  protected:
    void SetUp() override {
        RegistryFolderTest::SetUp();
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"})
            m_env.unset(name);
        forgetExternalAddressCache();
    }
    void TearDown() override {
        forgetExternalAddressCache();
        RegistryFolderTest::TearDown();
    }
    std::string lookup(int port, int lifetime = 3600, uint32_t flags = 0,
                       const std::string& host = "127.0.0.1") {
        uint32_t address = 0;
        if (lookupExternalAddress(host, port, 5, lifetime, flags, &address) != 0) return "error";
        return formatDottedAddress(address);
    }
    ScopedEnv m_env;
};

}  // namespace

TEST(ExternalAnswer, TheMarkerAndTheAddressBehindIt) {
    struct Case {
        const char* answer;
        const char* address;  // nullptr: 10039
    };
    const Case cases[] = {
        {"External Address: 203.0.113.9", "203.0.113.9"},
        {"<b>EXTERNAL ADDRESS:</b>", nullptr},
        {"x external address:\r\n\t 198.51.100.1</body>", "198.51.100.1"},
        {"External Address:1.2.3.4.5", nullptr},
        {"External Address: 1.2.3", nullptr},
        {"External Address: ", nullptr},
        {"Address: 1.2.3.4", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        uint32_t address = 0;
        SetSocketError(0);
        bool parsed = parseExternalAnswer(c.answer, &address);
        EXPECT_EQ(parsed, c.address != nullptr) << c.answer;
        if (c.address)
            EXPECT_EQ(formatDottedAddress(address), c.address);
        else
            EXPECT_EQ(lastCode(), 10039u) << c.answer;
    }
}

TEST(ExternalServices, TheConfiguredListInOrder) {
    std::vector<ServiceHost> hosts =
        parseServiceList(" one.example ;two.example:8080;;bad:0;bad:x;:81;three:65535");
    ASSERT_EQ(hosts.size(), 3u);
    EXPECT_EQ(hosts[0].host, "one.example");
    EXPECT_EQ(hosts[0].port, 80);
    EXPECT_EQ(hosts[1].host, "two.example");
    EXPECT_EQ(hosts[1].port, 8080);
    EXPECT_EQ(hosts[2].port, 65535);
    EXPECT_TRUE(parseServiceList("").empty());
}

TEST_F(ExternalAddress, TheRequestAndTheCacheWithItsRegistryMirror) {
    Service service("<html>External Address: 203.0.113.7\r\n</html>");
    ASSERT_EQ(lookup(service.server.port()), "203.0.113.7");
    ASSERT_TRUE(service.server.waitHandled(1));
    EXPECT_EQ(service.requests.at(0),
              "GET /cgi-bin/xipv4.cgi HTTP/1.0\r\nHost: 127.0.0.1\r\n"
              "User-Agent: Kestrine/6.00.6000\r\nPragma: no-cache\r\n"
              "Cache-Control: no-cache\r\nAccept: text/*\r\n\r\n");
    uint32_t expected;
    ASSERT_TRUE(parseDottedAddress("203.0.113.7", &expected));
    EXPECT_EQ(readDword("ExternalAddress"), expected);
    uint32_t stamped = readDword("LastUpdated");
    EXPECT_LE(stamped, static_cast<uint32_t>(std::time(nullptr)));
    EXPECT_GT(stamped, static_cast<uint32_t>(std::time(nullptr)) - 60);

    // Within the lifetime: no request. A lifetime below 600 s is taken as 600 s.
    EXPECT_EQ(lookup(service.server.port(), 1), "203.0.113.7");
    EXPECT_EQ(service.server.accepted(), 1);
    // A new process loads the registry and needs no request either.
    forgetExternalAddressCache();
    EXPECT_EQ(lookup(service.server.port()), "203.0.113.7");
    EXPECT_EQ(service.server.accepted(), 1);
    // Ignoring the cache asks again.
    EXPECT_EQ(lookup(service.server.port(), 3600, kExternalIgnoreCache), "203.0.113.7");
    EXPECT_EQ(service.server.accepted(), 2);
}

TEST_F(ExternalAddress, LifetimeRulesOfTheRegistryCache) {
    Service service("External Address: 198.51.100.4");
    uint32_t cached;
    ASSERT_TRUE(parseDottedAddress("192.0.2.1", &cached));
    const uint32_t now = static_cast<uint32_t>(std::time(nullptr));

    // A "LastUpdated" in the future is ignored: a fresh lookup is made.
    setDword("ExternalAddress", cached);
    setDword("LastUpdated", now + 3600);
    EXPECT_EQ(lookup(service.server.port()), "198.51.100.4");
    EXPECT_EQ(service.server.accepted(), 1);

    // Older than the longest lifetime (12 hours), even when asked for longer.
    forgetExternalAddressCache();
    setDword("ExternalAddress", cached);
    setDword("LastUpdated", now - 50000);
    EXPECT_EQ(lookup(service.server.port(), 100000), "198.51.100.4");
    EXPECT_EQ(service.server.accepted(), 2);

    // Young enough: served from the registry.
    forgetExternalAddressCache();
    setDword("ExternalAddress", cached);
    setDword("LastUpdated", now - 700);
    EXPECT_EQ(lookup(service.server.port(), 1000), "192.0.2.1");
    EXPECT_EQ(service.server.accepted(), 2);
    // The same entry is stale for a lifetime of 600 s.
    EXPECT_EQ(lookup(service.server.port(), 600), "198.51.100.4");
    EXPECT_EQ(service.server.accepted(), 3);
}

TEST_F(ExternalAddress, ThroughTheProxyWithTheAbsoluteTargetUnlessOverridden) {
    Service proxy("External Address: 198.51.100.77");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD on = 1;
    RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), 4);
    std::string server =
        "http=127.0.0.1:" + std::to_string(proxy.server.port()) + ";ftp=127.0.0.1:1";
    RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   static_cast<DWORD>(server.size() + 1));
    // The service's name need not resolve here: the proxy resolves it.
    EXPECT_EQ(lookup(80, 3600, 0, "xipv4.example.invalid"), "198.51.100.77");
    ASSERT_TRUE(proxy.server.waitHandled(1));
    EXPECT_EQ(proxy.requests.at(0).rfind("GET http://xipv4.example.invalid:80/cgi-bin/xipv4.cgi "
                                         "HTTP/1.0\r\nHost: xipv4.example.invalid\r\n",
                                         0),
              0u)
        << proxy.requests.at(0);

    // Without the proxy the name resolves nowhere.
    SetSocketError(0);
    EXPECT_EQ(lookup(80, 3600, kExternalIgnoreCache | kExternalNoProxy, "xipv4.example.invalid"),
              "error");
    EXPECT_EQ(lastCode(), 11001u);

    // A matching ProxyOverride goes direct.
    Service direct("External Address: 198.51.100.78");
    const char* override = "127.0.0.*";
    RegSetValueExA(key, "ProxyOverride", 0, REG_SZ, reinterpret_cast<const BYTE*>(override), 10);
    RegCloseKey(key);
    EXPECT_EQ(lookup(direct.server.port(), 3600, kExternalIgnoreCache), "198.51.100.78");
    EXPECT_EQ(direct.server.accepted(), 1);
    EXPECT_EQ(proxy.server.accepted(), 1);
}

TEST_F(ExternalAddress, FailuresLeaveTheirCodes) {
    Service silent("no marker here");
    EXPECT_EQ(lookup(silent.server.port()), "error");
    EXPECT_EQ(lastCode(), 10039u);
    EXPECT_EQ(lookup(refusedPort()), "error");
    EXPECT_EQ(lastCode(), 10061u);
    // Nothing configured: only a cache could answer.
    SetSocketError(0);
    EXPECT_EQ(externalAddress(), "");
    EXPECT_EQ(lastCode(), 11001u);
}

TEST_F(ExternalAddress, TheConfiguredServicesAreTriedInOrder) {
    Service service("External Address: 203.0.113.55");
    std::string list = "127.0.0.1:" + std::to_string(refusedPort()) +
                       ";127.0.0.1:" + std::to_string(service.server.port());
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kExternalAddressKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "ExternalAddressServices", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(list.c_str()),
                   static_cast<DWORD>(list.size() + 1));
    RegCloseKey(key);
    EXPECT_EQ(externalAddress(), "203.0.113.55");
    EXPECT_EQ(service.server.accepted(), 1);
}
