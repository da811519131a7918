// The interfaces through getifaddrs: AF_INET entries for the addresses, AF_PACKET entries (the
// link layer) for the hardware addresses.

#include "platform/netif/netif.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace netif {
namespace {

// The interface list, freed when it goes.
class InterfaceList {
  public:
    InterfaceList() {
        if (getifaddrs(&m_first) != 0) m_first = nullptr;
    }
    ~InterfaceList() {
        if (m_first) freeifaddrs(m_first);
    }
    InterfaceList(const InterfaceList&) = delete;
    InterfaceList& operator=(const InterfaceList&) = delete;
    const ifaddrs* first() const { return m_first; }

  private:
    ifaddrs* m_first = nullptr;
};

bool usable(const ifaddrs& entry) {
    return entry.ifa_addr && (entry.ifa_flags & IFF_UP) && !(entry.ifa_flags & IFF_LOOPBACK);
}

}  // namespace

std::vector<uint32_t> interfaceAddresses() {
    std::vector<uint32_t> addresses;
    InterfaceList list;
    for (const ifaddrs* p = list.first(); p; p = p->ifa_next) {
        if (!usable(*p) || p->ifa_addr->sa_family != AF_INET) continue;
        uint32_t address = reinterpret_cast<const sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr;
        // An interface with several names for one address lists it once.
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    return addresses;
}

bool firstHardwareAddress(uint8_t address[6]) {
    InterfaceList list;
    for (const ifaddrs* p = list.first(); p; p = p->ifa_next) {
        if (!p->ifa_addr || (p->ifa_flags & IFF_LOOPBACK) || p->ifa_addr->sa_family != AF_PACKET)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(p->ifa_addr);
        if (link->sll_halen != 6) continue;
        static const uint8_t kZero[6] = {};
        if (std::memcmp(link->sll_addr, kZero, 6) == 0) continue;
        std::memcpy(address, link->sll_addr, 6);
        return true;
    }
    return false;
}

}  // namespace netif
