#pragma once
// The socket layer's resolver: host names to addresses (a dotted address, else the host table,
// else the network library's gethostbyname), addresses to names (the host table, else
// gethostbyaddr), alias lists, services to ports and back, the local host's name and addresses,
// and the first hardware address. IPv4 only; addresses in network byte order. Every lookup
// needs the network library started.
//
//   uint32_t address;
//   if (!resolveHostAddress("localhost", &address)) return fail();  // 11001 in the error slot

#include <cstdint>
#include <string>
#include <vector>

namespace kvlink {

// The longest name the resolver gives back (a reverse lookup, the local host name).
constexpr size_t kLongestResolvedName = 128;

// parseDottedAddress parses IPv4 text in the full four-part form "a.b.c.d" with the network
// library's classic parser (inet_addr), so each part may also be octal or hexadecimal
// ("0x7f.0.0.1"). "255.255.255.255" parses. The shorthand forms of that parser ("1.2.3",
// "127.1") are not taken as addresses: "1.2.3" is far likelier a slip than 1.2.0.3. False for
// them, for other text that is not an address, and for the empty string; no error is set.
bool parseDottedAddress(const std::string& text, uint32_t* address);

// formatDottedAddress writes an address as "%d.%d.%d.%d", lowest-addressed byte first.
std::string formatDottedAddress(uint32_t address);

// formatPortString writes an address and port as "%u,%u,%u,%u,%u,%u": the four address bytes
// in network order, then the port's high and low byte (192.168.1.2 port 1025: "192,168,1,2,4,1").
std::string formatPortString(uint32_t address, uint16_t port);

// resolveHostAddress finds the address of name: a dotted address as it is, else the host
// table's entry, else the resolver's first address. False with wrErrorInvalidHostName (11001)
// in the error slot for an empty name or one that nothing resolves.
bool resolveHostAddress(const std::string& name, uint32_t* address);

// reverseLookup finds the name of an address: the official name of the host table's line with
// that address, else the resolver's name, cut to kLongestResolvedName characters. False with
// the error in the slot: wrErrorInvalidAddress (10039) for 0.0.0.0 and 255.255.255.255, else
// the network library's error.
bool reverseLookup(uint32_t address, std::string* name);

// hostAliases gives the official name followed by the aliases of a host, from the resolver
// alone (the host table is not consulted): by address when host is a dotted address, else by
// name. False with wrErrorInvalidHostName (11001) in the slot when the resolver knows no such
// host.
bool hostAliases(const std::string& host, std::vector<std::string>* names);

// serviceToPort turns a service name or a decimal port number into a port. False with the
// error in the slot: wrErrorInvalidParameter (10014) for an empty value,
// wrErrorInvalidServicePort (12006) for a number outside 1..65535, wrErrorInvalidServiceName
// (12007) for a name the service database lacks.
bool serviceToPort(const std::string& service, int32_t* port);

// portToService gives the service name of a port (any protocol). False with the error in the
// slot: wrErrorInvalidServicePort (12006) for a port outside 1..65535,
// wrErrorInvalidServiceName (12007) when the database has no name for it.
bool portToService(int32_t port, std::string* name);

// localHostName gives this machine's name; a name without a dot gets "." and the DNS domain
// appended when the registry names one (HKEY_LOCAL_MACHINE, the "Domain" value of the TCP/IP
// parameters, the Transient key first). Cut to kLongestResolvedName characters. False with
// wrErrorUnknownLocalhost (12004) in the slot when the network library cannot give the name.
bool localHostName(std::string* name);

// localAddresses gives the addresses of this machine, as the resolver lists them for the local
// host name. Where that list holds loopback addresses only (a host name that /etc/hosts maps to
// 127.0.1.1, as many Linux systems do), it gives the addresses of the interfaces that are up
// instead, which are what a user means by the adapters; when there are none, the loopback list
// stays. False with wrErrorUnknownLocalhost (12004) in the slot when the local host name cannot
// be had or resolved.
bool localAddresses(std::vector<uint32_t>* addresses);

// physicalAddress gives the hardware address of the first interface that has a non-zero one,
// loopback excluded, as "%02X:%02X:%02X:%02X:%02X:%02X"; "" when there is none. Never fails.
std::string physicalAddress();

}  // namespace kvlink
