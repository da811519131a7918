// Host-name lookup for connect, through the network library.

#include "winsock/ocx/socket/resolver.h"

#include <cstdio>
#include <cstring>

#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/socket/socket_record.h"

namespace kvlink {
namespace {

constexpr const char* kBroadcastText = "255.255.255.255";

// The host table (a hosts file named by the control's HostFile) is searched between the dotted
// address and the resolver. No table can be loaded yet, so nothing is found here; the loader
// fills this step in.
bool lookupHostTable(const std::string&, uint32_t*) {
    return false;
}

}  // namespace

bool parseDottedAddress(const std::string& text, uint32_t* address) {
    if (text.empty()) return false;
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

bool resolveHostAddress(const std::string& name, uint32_t* address) {
    if (!name.empty()) {
        if (parseDottedAddress(name, address)) return true;
        if (lookupHostTable(name, address)) return true;
        hostent* host = networkLibrary().gethostbyname(name.c_str());
        if (host && host->h_addrtype == AF_INET && host->h_length == 4 && host->h_addr_list &&
            host->h_addr_list[0]) {
            std::memcpy(address, host->h_addr_list[0], 4);
            return true;
        }
    }
    SetSocketError(wrErrorInvalidHostName);
    return false;
}

std::string formatDottedAddress(uint32_t address) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

}  // namespace kvlink
