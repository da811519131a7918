// The interface queries against what the kernel shows in /sys/class/net.

#include "platform/netif/netif.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

// The hardware addresses the kernel shows for interfaces other than loopback, as "xx:xx:...".
std::set<std::string> kernelHardwareAddresses() {
    std::set<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net", error)) {
        std::ifstream type(entry.path() / "type");
        int arpType = 0;
        type >> arpType;
        if (arpType == 772) continue;  // ARPHRD_LOOPBACK
        std::ifstream in(entry.path() / "address");
        std::string address;
        if (in >> address) found.insert(address);
    }
    return found;
}

}  // namespace

TEST(Netif, TheHardwareAddressIsANonZeroOneTheKernelShows) {
    uint8_t mac[6];
    std::set<std::string> kernel = kernelHardwareAddresses();
    bool anyNonZero = false;
    for (const std::string& a : kernel)
        anyNonZero |= a.size() == 17 && a != "00:00:00:00:00:00";
    ASSERT_EQ(netif::firstHardwareAddress(mac), anyNonZero);
    if (!anyNonZero) GTEST_SKIP() << "this machine has no interface with a hardware address";
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    EXPECT_NE(std::string(text), "00:00:00:00:00:00");
    EXPECT_EQ(kernel.count(text), 1u) << text;
}

TEST(Netif, InterfaceAddressesLeaveLoopbackOutAndRepeatNone) {
    std::vector<uint32_t> addresses = netif::interfaceAddresses();
    std::set<uint32_t> unique(addresses.begin(), addresses.end());
    EXPECT_EQ(unique.size(), addresses.size());
    for (uint32_t a : addresses) {
        const auto* b = reinterpret_cast<const unsigned char*>(&a);
        EXPECT_NE(b[0], 127) << "loopback listed";
        EXPECT_NE(a, 0u);
    }
}
