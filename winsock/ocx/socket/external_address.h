#pragma once
// The external address: the public IPv4 address under which this machine is seen, learned from
// an address-reporting web service over plain HTTP (through the user's proxy when one applies)
// and cached for the process and in the current user's registry.
//
//   std::string text = externalAddress();   // "" when no service answered; error in the slot
//
// The services are configuration: the REG_SZ value "ExternalAddressServices" under the cache's
// key, entries separated by ";", each "host" or "host:port" (port 80 when absent), tried in
// order. tools/external_address holds a service that answers the request.

#include <cstdint>
#include <string>
#include <vector>

namespace kvlink {

// The key (under HKEY_CURRENT_USER) of the registry mirror and the service list.
inline constexpr const char* kExternalAddressKey =
    "Software\\Oxbrook\\Kestrine\\CurrentVersion\\Settings";

// Lookup flags.
constexpr uint32_t kExternalNoProxy = 1;
constexpr uint32_t kExternalIgnoreCache = 2;

struct ServiceHost {
    std::string host;
    int32_t port = 80;
};

// parseServiceList splits the configured value into its hosts, skipping empty entries and those
// whose port is not a number from 1 to 65535.
std::vector<ServiceHost> parseServiceList(const std::string& value);

// configuredServices reads and parses "ExternalAddressServices"; empty when it is not set.
std::vector<ServiceHost> configuredServices();

// parseExternalAnswer finds "External Address:" in an answer (letter case ignored), skips the
// blanks, tabs, CRs and LFs behind it and parses the dotted address that follows, up to the
// first character that is neither a digit nor ".". False with wrErrorInvalidAddress (10039) in
// the error slot when the marker is missing or no address follows.
bool parseExternalAnswer(const std::string& answer, uint32_t* address);

// lookupExternalAddress asks one service for the address. Unless kExternalIgnoreCache, the
// lifetime is clamped to 600..43200 seconds and a cached address younger than that is the
// answer without any request (the cache is loaded from the registry the first time the process
// needs it). Unless kExternalNoProxy, the request goes through the proxy that applies to the
// service, with the absolute request target. waitSeconds bounds the connect and each read.
// Returns 0 with *address set, and the new address cached and written to the registry; or -1
// with the error in the slot: the resolver's, the connect's (wrErrorOperationTimeout 10060 when
// it does not complete in time), a send or receive failure, 10060 when a read waits in vain,
// wrErrorInvalidAddress (10039) for an answer without an address. An answer longer than 64 KiB
// is cut there.
int lookupExternalAddress(const std::string& host, int32_t port, int waitSeconds,
                          int lifetimeSeconds, uint32_t flags, uint32_t* address);

// externalAddress runs the lookup (wait 5 s, lifetime 3600 s, flags 0) with each configured
// service in turn until one answers, and formats the address. "" when none answered, with the
// last lookup's error in the slot; with no service configured, only the cache can answer, and
// without it the error is wrErrorInvalidHostName (11001).
std::string externalAddress();

// forgetExternalAddressCache empties the process's cache, so that the next lookup loads it from
// the registry again, as a new process would. For tests.
void forgetExternalAddressCache();

}  // namespace kvlink
