#pragma once
// Host, service and protocol database lookups of the library (IPv4 only), through the C
// library's reentrant resolver calls, into records that the Winsock view packs into hostent,
// servent and protoent.

#include <cstdint>
#include <string>
#include <vector>

namespace ws2::lookup {

struct HostRecord {
    std::string name;
    std::vector<std::string> aliases;
    std::vector<uint32_t> addresses;  // network byte order
};

struct ServiceRecord {
    std::string name;
    std::vector<std::string> aliases;
    std::string protocol;
    uint16_t port = 0;  // network byte order
};

struct ProtocolRecord {
    std::string name;
    std::vector<std::string> aliases;
    int number = 0;
};

// Each lookup returns 0, or the Windows error number: WSAHOST_NOT_FOUND, WSATRY_AGAIN,
// WSANO_RECOVERY or WSANO_DATA from the resolver; WSANO_DATA for a service or protocol that the
// database lacks.

// hostByName resolves a name or a dotted address; an empty name means this machine.
int hostByName(const std::string& name, HostRecord* out);
int hostByAddress(uint32_t address, HostRecord* out);
// protocol may be empty: any protocol.
int serviceByName(const std::string& name, const std::string& protocol, ServiceRecord* out);
int serviceByPort(uint16_t port, const std::string& protocol, ServiceRecord* out);
int protocolByName(const std::string& name, ProtocolRecord* out);
int protocolByNumber(int number, ProtocolRecord* out);

}  // namespace ws2::lookup
