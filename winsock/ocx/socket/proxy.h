#pragma once
// The user's web proxy, for the external-address request: the "Internet Settings" values of the
// current user's registry, or, when the registry has none of them, the proxy variables of the
// environment (http_proxy, https_proxy, no_proxy) surfaced as those same values.
//
//   ProxyEntry proxy;
//   if (lookupProxy("checkip.example", 80, &proxy)) connectTo(proxy.host, proxy.port);

#include <cstdint>
#include <optional>
#include <string>

namespace kvlink {

// The registry key that holds the settings, under HKEY_CURRENT_USER.
inline constexpr const char* kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The three values the lookup reads. A value that is missing, or not of the type the lookup
// needs (ProxyEnable a REG_DWORD or REG_BINARY, the others REG_SZ), is absent.
struct ProxySettings {
    std::optional<uint32_t> enable;       // ProxyEnable
    std::optional<std::string> override;  // ProxyOverride: host patterns separated by ";"
    std::optional<std::string> server;    // ProxyServer: "[scheme=]host:port" entries by ";"
};

struct ProxyEntry {
    int32_t port = 0;
    std::string host;  // at most 128 characters
};

// readProxySettings reads the values from the registry. When the key holds none of the three,
// it gives those the environment implies instead: with http_proxy or https_proxy (or their
// upper-case forms) set, ProxyEnable 1, ProxyServer "http=host:port;https=host:port" for those
// set, and ProxyOverride from no_proxy (see proxySettingsFromEnvironment). Never fails: a
// registry that cannot be read counts as empty.
ProxySettings readProxySettings();

// proxySettingsFromEnvironment turns proxy variables into the values: each proxy variable is a
// URL ("http://user@proxy:3128/") or a bare "host[:port]"; its port defaults to 1080, as curl
// has it. no_proxy entries become override patterns: "*" stays, ".example.org" becomes
// "*.example.org", "example.org" matches itself and its subdomains, a ":port" is dropped, and
// an address range ("10.0.0.0/8"), which a pattern cannot say, is left out. Empty variables
// count as unset. The arguments are the variables' values, nullptr when unset.
ProxySettings proxySettingsFromEnvironment(const char* httpProxy, const char* httpsProxy,
                                           const char* noProxy);

// proxyFor decides whether a proxy applies to a target host and port (1..65535) under the
// settings, and which: ProxyEnable must be present and non-zero; a target host that matches a
// ProxyOverride pattern ("*" and "?" wildcards, letter case ignored) goes direct; else the first
// ProxyServer entry that applies wins: one without a scheme applies to every target, one with a
// scheme when the scheme table pairs it with the target port (21 ftp, 70 gopher, 80 http,
// 443 https). Entries without a host or port, or with a port outside 1..65535, are skipped.
bool proxyFor(const ProxySettings& settings, const std::string& host, int32_t port,
              ProxyEntry* proxy);

// lookupProxy is proxyFor over readProxySettings().
bool lookupProxy(const std::string& host, int32_t port, ProxyEntry* proxy);

// wildcardMatch matches text against a pattern with "*" (any run) and "?" (one character),
// ignoring letter case.
bool wildcardMatch(const std::string& pattern, const std::string& text);

}  // namespace kvlink
