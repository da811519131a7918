#pragma once
// The machine's network interfaces, as the control's adapter properties need them: the IPv4
// addresses of the interfaces that are up, and the first hardware (Ethernet-style) address.
//
//   std::vector<uint32_t> addresses = interfaceAddresses();   // network byte order
//   uint8_t mac[6];
//   if (firstHardwareAddress(mac)) ...

#include <cstdint>
#include <vector>

namespace netif {

// interfaceAddresses lists the IPv4 addresses of the interfaces that are up, loopback excluded,
// in the order the system lists the interfaces. Empty when there is none or the system cannot
// list them.
std::vector<uint32_t> interfaceAddresses();

// firstHardwareAddress writes the 6-byte hardware address of the first interface (in the
// system's order) that has one that is not all zero, loopback excluded. False when there is no
// such interface or the system cannot list them.
bool firstHardwareAddress(uint8_t address[6]);

}  // namespace netif
