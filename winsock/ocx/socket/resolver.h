#pragma once
// The socket layer's name lookup for connect: a dotted address, else the host table, else the
// network library's resolver (gethostbyname). IPv4 only; addresses in network byte order.
//
//   uint32_t address;
//   if (!resolveHostAddress("localhost", &address)) return fail();  // 11001 in the error slot

#include <cstdint>
#include <string>

namespace kvlink {

// parseDottedAddress parses IPv4 text with the network library's classic parser (inet_addr:
// "127.0.0.1", also "127.1" and "0x7f.1"). "255.255.255.255" parses; other text that is not an
// address, and the empty string, give false.
bool parseDottedAddress(const std::string& text, uint32_t* address);

// resolveHostAddress finds the address of name: a dotted address as it is, else the host
// table's entry, else the resolver's first address. False with wrErrorInvalidHostName (11001)
// in the error slot for an empty name or one that nothing resolves.
bool resolveHostAddress(const std::string& name, uint32_t* address);

// formatDottedAddress writes an address as "%d.%d.%d.%d", lowest-addressed byte first.
std::string formatDottedAddress(uint32_t address);

}  // namespace kvlink
