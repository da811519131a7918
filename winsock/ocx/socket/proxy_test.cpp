// The proxy lookup: the choice among ProxyServer entries, overrides, the registry's value
// types, and the environment surfaced as the same values.

#include "winsock/ocx/socket/proxy.h"

#include <gtest/gtest.h>

#include "platform/registry/test_folder.h"
#include "tools/testsupport/scoped_env.h"

namespace {

using namespace kvlink;

ProxySettings settings(std::optional<uint32_t> enable, std::optional<std::string> server,
                       std::optional<std::string> override = std::nullopt) {
    ProxySettings s;
    s.enable = enable;
    s.server = std::move(server);
    s.override = std::move(override);
    return s;
}

// "host:port" of the proxy chosen, "" for none.
std::string chosen(const ProxySettings& s, const std::string& host, int port) {
    ProxyEntry entry;
    if (!proxyFor(s, host, port, &entry)) return "";
    return entry.host + ":" + std::to_string(entry.port);
}

void setString(HKEY key, const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

class ProxyRegistry : public RegistryFolderTest {
  protected:
    void SetUp() override {
        RegistryFolderTest::SetUp();
        for (const char* name :
             {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "no_proxy", "NO_PROXY"})
            m_env.unset(name);
    }
    HKEY settingsKey() {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    ScopedEnv m_env;
};

}  // namespace

TEST(ProxyChoice, SchemeEntriesServeTheirPortsAndTheFirstThatAppliesWins) {
    const ProxySettings s = settings(1, "http=proxy.lan:8080;ftp=ftp.lan:2121");
    EXPECT_EQ(chosen(s, "checkip.example", 80), "proxy.lan:8080");
    EXPECT_EQ(chosen(s, "checkip.example", 21), "ftp.lan:2121");
    EXPECT_EQ(chosen(s, "checkip.example", 443), "") << "no https entry";
    EXPECT_EQ(chosen(s, "checkip.example", 8080), "") << "no scheme for 8080";

    EXPECT_EQ(chosen(settings(1, "HTTPS=a:1;any:3128"), "h", 8080), "any:3128");
    EXPECT_EQ(chosen(settings(1, "HTTPS=a:1;any:3128"), "h", 443), "a:1");
    EXPECT_EQ(chosen(settings(1, "gopher=g:70"), "h", 70), "g:70");
    // Entries without host or port, or with a port out of range, are skipped.
    EXPECT_EQ(
        chosen(settings(1, "http=:8080;http=nohost;http=h:0;http=h:65536;http=ok:65535"), "t", 80),
        "ok:65535");
    EXPECT_EQ(chosen(settings(1, "http=h:80x"), "t", 80), "");
}

TEST(ProxyChoice, DisabledOrOverriddenGoesDirect) {
    EXPECT_EQ(chosen(settings(std::nullopt, "p:1"), "h", 80), "");
    EXPECT_EQ(chosen(settings(0, "p:1"), "h", 80), "");
    EXPECT_EQ(chosen(settings(1, std::nullopt), "h", 80), "");
    const ProxySettings s = settings(1, "p:1", "*.local; 10.* ;intranet;h?st");
    EXPECT_EQ(chosen(s, "printer.LOCAL", 80), "");
    EXPECT_EQ(chosen(s, "10.1.2.3", 80), "");
    EXPECT_EQ(chosen(s, "Intranet", 80), "");
    EXPECT_EQ(chosen(s, "host", 80), "");
    EXPECT_EQ(chosen(s, "hoost", 80), "p:1");
    EXPECT_EQ(chosen(s, "intranet.example", 80), "p:1");
    EXPECT_EQ(chosen(s, "110.1.2.3", 80), "p:1");
}

TEST(ProxyChoice, WildcardsMatchAsPatternsDo) {
    EXPECT_TRUE(wildcardMatch("*", ""));
    EXPECT_TRUE(wildcardMatch("a*b*c", "aXXbYYc"));
    EXPECT_FALSE(wildcardMatch("a*b*c", "aXXbYY"));
    EXPECT_TRUE(wildcardMatch("*.example.org", "www.EXAMPLE.org"));
    EXPECT_FALSE(wildcardMatch("*.example.org", "example.org"));
    EXPECT_TRUE(wildcardMatch("??", "ab"));
    EXPECT_FALSE(wildcardMatch("??", "abc"));
}

TEST(ProxyEnvironment, VariablesBecomeTheSameValues) {
    ProxySettings s = proxySettingsFromEnvironment("http://user:pw@proxy.lan:3128/", "secure.lan",
                                                   "localhost, .corp.example,intra.example:8080,"
                                                   "10.0.0.0/8,*");
    ASSERT_TRUE(s.enable);
    EXPECT_EQ(*s.enable, 1u);
    EXPECT_EQ(s.server.value_or("?"), "http=proxy.lan:3128;https=secure.lan:1080");
    EXPECT_EQ(s.override.value_or("?"),
              "localhost;*.localhost;*.corp.example;intra.example;*.intra.example;*");

    ProxySettings none = proxySettingsFromEnvironment(nullptr, "", "localhost");
    EXPECT_FALSE(none.enable);
    EXPECT_FALSE(none.server);
    ProxySettings bad = proxySettingsFromEnvironment("http://proxy:99999", nullptr, nullptr);
    EXPECT_FALSE(bad.enable) << "a port that is not one names no proxy";
}

TEST_F(ProxyRegistry, TheRegistryValuesWinAndTheirTypesCount) {
    m_env.set("http_proxy", "http://127.0.0.1:3128");
    HKEY key = settingsKey();
    // A REG_SZ ProxyEnable is no switch.
    setString(key, "ProxyEnable", "1");
    setString(key, "ProxyServer", "http=reg.lan:8080");
    ProxyEntry entry;
    EXPECT_FALSE(lookupProxy("svc.example", 80, &entry)) << "present but mistyped: no proxy";

    const BYTE binaryOn[] = {1, 0, 0, 0};
    RegSetValueExA(key, "ProxyEnable", 0, REG_BINARY, binaryOn, sizeof binaryOn);
    ASSERT_TRUE(lookupProxy("svc.example", 80, &entry));
    EXPECT_EQ(entry.host, "reg.lan");
    EXPECT_EQ(entry.port, 8080);

    DWORD off = 0;
    RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), 4);
    EXPECT_FALSE(lookupProxy("svc.example", 80, &entry)) << "switched off in the registry";
    RegCloseKey(key);
}

TEST_F(ProxyRegistry, WithoutRegistryValuesTheEnvironmentApplies) {
    ProxyEntry entry;
    EXPECT_FALSE(lookupProxy("svc.example", 80, &entry));
    m_env.set("http_proxy", "http://127.0.0.1:3128");
    m_env.set("no_proxy", "internal.example");
    ASSERT_TRUE(lookupProxy("svc.example", 80, &entry));
    EXPECT_EQ(entry.host, "127.0.0.1");
    EXPECT_EQ(entry.port, 3128);
    EXPECT_FALSE(lookupProxy("api.internal.example", 80, &entry));
    EXPECT_FALSE(lookupProxy("svc.example", 443, &entry)) << "no https_proxy";
    // An empty key (no values) still lets the environment through.
    RegCloseKey(settingsKey());
    EXPECT_TRUE(lookupProxy("svc.example", 80, &entry));
}
