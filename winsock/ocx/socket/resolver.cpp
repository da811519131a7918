// The resolver: lookups through the network library and the process's host table.

#include "winsock/ocx/socket/resolver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/netif/netif.h"
#include "platform/registry/registry.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/host_table.h"
#include "winsock/ocx/socket/socket_record.h"

namespace kvlink {
namespace {

constexpr const char* kBroadcastText = "255.255.255.255";

// Where the machine's DNS domain is read, the Transient key first.
constexpr const char* kDomainKeys[] = {
    "System\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Transient",
    "System\\CurrentControlSet\\Services\\Tcpip\\Parameters",
};
constexpr DWORD kLongestDomainRead = 511;

bool failedWithCode(uint32_t code) {
    SetSocketError(code);
    return false;
}

bool validPort(int64_t port) {
    return port >= 1 && port <= 65535;
}

bool hostAddressList(const hostent* host, std::vector<uint32_t>* addresses) {
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list)
        return false;
    for (char** p = host->h_addr_list; *p; ++p) {
        uint32_t address;
        std::memcpy(&address, *p, 4);
        addresses->push_back(address);
    }
    return !addresses->empty();
}

bool isLoopback(uint32_t address) {
    return reinterpret_cast<const unsigned char*>(&address)[0] == 127;
}

// The first non-empty REG_SZ "Domain" of the keys above, "" when none has one.
std::string registryDomain() {
    for (const char* path : kDomainKeys) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        char value[kLongestDomainRead + 1] = {};
        DWORD type = 0;
        DWORD size = kLongestDomainRead;
        LSTATUS status =
            RegQueryValueExA(key, "Domain", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;
        std::string domain(value, strnlen(value, size));
        if (!domain.empty()) return domain.substr(0, kLongestResolvedName - 1);
    }
    return {};
}

}  // namespace

bool parseDottedAddress(const std::string& text, uint32_t* address) {
    if (std::count(text.begin(), text.end(), '.') != 3) return false;
    // inet_addr answers INADDR_NONE both for the broadcast address and for text it cannot parse.
    if (text == kBroadcastText) {
        *address = INADDR_BROADCAST;
        return true;
    }
    uint32_t parsed = networkLibrary().inet_addr(text.c_str());
    if (parsed == INADDR_NONE) return false;
    *address = parsed;
    return true;
}

std::string formatDottedAddress(uint32_t address) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

std::string formatPortString(uint32_t address, uint16_t port) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    char text[32];
    std::snprintf(text, sizeof text, "%u,%u,%u,%u,%u,%u", b[0], b[1], b[2], b[3], port >> 8,
                  port & 0xFFu);
    return text;
}

bool resolveHostAddress(const std::string& name, uint32_t* address) {
    if (!name.empty()) {
        if (parseDottedAddress(name, address)) return true;
        if (hostTableAddress(name, address)) return true;
        std::vector<uint32_t> addresses;
        if (hostAddressList(networkLibrary().gethostbyname(name.c_str()), &addresses)) {
            *address = addresses.front();
            return true;
        }
    }
    SetSocketError(wrErrorInvalidHostName);
    return false;
}

bool reverseLookup(uint32_t address, std::string* name) {
    if (address == INADDR_ANY || address == INADDR_BROADCAST)
        return failedWithCode(wrErrorInvalidAddress);
    std::string found;
    if (!hostTableName(address, &found)) {
        NetworkLibrary& net = networkLibrary();
        hostent* host = net.gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
        if (!host || !host->h_name) {
            SetSocketError(static_cast<uint32_t>(net.getLastError()));
            return false;
        }
        found = host->h_name;
    }
    *name = found.substr(0, kLongestResolvedName);
    return true;
}

bool hostAliases(const std::string& host, std::vector<std::string>* names) {
    NetworkLibrary& net = networkLibrary();
    uint32_t address;
    hostent* entry = parseDottedAddress(host, &address)
                         ? net.gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET)
                         : net.gethostbyname(host.c_str());
    if (!entry || !entry->h_name) return failedWithCode(wrErrorInvalidHostName);
    names->assign(1, entry->h_name);
    for (char** p = entry->h_aliases; p && *p; ++p)
        names->emplace_back(*p);
    return true;
}

bool serviceToPort(const std::string& service, int32_t* port) {
    if (service.empty()) return failedWithCode(wrErrorInvalidParameter);
    if (service.find_first_not_of("0123456789") == std::string::npos) {
        // Enough digits to overflow any port are as invalid as a large number.
        int64_t number = service.size() > 6 ? 0 : std::stoll(service);
        if (!validPort(number)) return failedWithCode(wrErrorInvalidServicePort);
        *port = static_cast<int32_t>(number);
        return true;
    }
    NetworkLibrary& net = networkLibrary();
    servent* entry = net.getservbyname(service.c_str(), nullptr);
    if (!entry) return failedWithCode(wrErrorInvalidServiceName);
    *port = net.ntohs(static_cast<u_short>(entry->s_port));
    return true;
}

bool portToService(int32_t port, std::string* name) {
    if (!validPort(port)) return failedWithCode(wrErrorInvalidServicePort);
    NetworkLibrary& net = networkLibrary();
    servent* entry = net.getservbyport(net.htons(static_cast<u_short>(port)), nullptr);
    if (!entry || !entry->s_name) return failedWithCode(wrErrorInvalidServiceName);
    *name = entry->s_name;
    return true;
}

bool localHostName(std::string* name) {
    char host[256] = {};
    if (networkLibrary().gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        return failedWithCode(wrErrorUnknownLocalhost);
    std::string result = host;
    if (result.find('.') == std::string::npos) {
        if (std::string domain = registryDomain(); !domain.empty()) result += "." + domain;
    }
    *name = result.substr(0, kLongestResolvedName);
    return true;
}

bool localAddresses(std::vector<uint32_t>* addresses) {
    std::string name;
    if (!localHostName(&name)) return false;
    std::vector<uint32_t> resolved;
    hostent* host = networkLibrary().gethostbyname(name.c_str());
    // The domain appended from the registry may be one the resolver does not know; the bare
    // host name is what it was given by the system.
    if (!hostAddressList(host, &resolved)) {
        char bare[256] = {};
        networkLibrary().gethostname(bare, sizeof bare - 1);
        if (!hostAddressList(networkLibrary().gethostbyname(bare), &resolved))
            return failedWithCode(wrErrorUnknownLocalhost);
    }
    if (std::all_of(resolved.begin(), resolved.end(), isLoopback)) {
        std::vector<uint32_t> interfaces = netif::interfaceAddresses();
        if (!interfaces.empty()) resolved = std::move(interfaces);
    }
    *addresses = std::move(resolved);
    return true;
}

std::string physicalAddress() {
    uint8_t mac[6];
    if (!netif::firstHardwareAddress(mac)) return {};
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace kvlink
