// Database lookups over the C library's reentrant resolver calls.

#include "platform/ws2/lookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/ws2/errors.h"
#include "platform/ws2/sys.h"
#include "platform/ws2/winsock_errors.h"

namespace ws2::lookup {
namespace {

// The reentrant calls want a scratch buffer; it grows while they answer ERANGE, up to a bound
// that no sane database entry reaches.
constexpr size_t kFirstScratch = 1024;
constexpr size_t kLastScratch = 1 << 20;

std::vector<std::string> listOf(char** items) {
    std::vector<std::string> result;
    for (char** p = items; p && *p; ++p)
        result.emplace_back(*p);
    return result;
}

void fillHost(const hostent& h, HostRecord* out) {
    out->name = h.h_name ? h.h_name : "";
    out->aliases = listOf(h.h_aliases);
    out->addresses.clear();
    if (h.h_addrtype != AF_INET || h.h_length != 4) return;
    for (char** p = h.h_addr_list; p && *p; ++p) {
        uint32_t address;
        std::memcpy(&address, *p, 4);
        out->addresses.push_back(address);
    }
}

// Calls call(scratch, size) with a scratch buffer that grows while the call answers ERANGE, and
// returns its last answer. The call reads what it found out of the buffer before returning.
template <typename Call>
int withScratch(Call call) {
    std::vector<char> scratch(kFirstScratch);
    for (;;) {
        int r = call(scratch.data(), scratch.size());
        if (r != ERANGE || scratch.size() >= kLastScratch) return r;
        scratch.resize(scratch.size() * 2);
    }
}

// Runs a gethostby*_r style call and translates its failure.
template <typename Call>
int hostLookup(Call call, HostRecord* out) {
    int hostError = 0;
    bool found = false;
    int r = withScratch([&](char* scratch, size_t size) {
        hostent entry{};
        hostent* result = nullptr;
        int answer = call(&entry, scratch, size, &result, &hostError);
        if (answer == 0 && result) {
            fillHost(*result, out);
            found = true;
        }
        return answer;
    });
    if (found) return out->addresses.empty() ? WSANO_DATA : 0;
    return wsaErrorFromResolver(hostError == 0 ? HOST_NOT_FOUND : hostError, r);
}

template <typename Call>
int serviceLookup(Call call, ServiceRecord* out) {
    bool found = false;
    withScratch([&](char* scratch, size_t size) {
        servent entry{};
        servent* result = nullptr;
        int answer = call(&entry, scratch, size, &result);
        if (answer == 0 && result) {
            out->name = result->s_name ? result->s_name : "";
            out->aliases = listOf(result->s_aliases);
            out->protocol = result->s_proto ? result->s_proto : "";
            out->port = static_cast<uint16_t>(result->s_port);
            found = true;
        }
        return answer;
    });
    return found ? 0 : WSANO_DATA;
}

template <typename Call>
int protocolLookup(Call call, ProtocolRecord* out) {
    bool found = false;
    withScratch([&](char* scratch, size_t size) {
        protoent entry{};
        protoent* result = nullptr;
        int answer = call(&entry, scratch, size, &result);
        if (answer == 0 && result) {
            out->name = result->p_name ? result->p_name : "";
            out->aliases = listOf(result->p_aliases);
            out->number = result->p_proto;
            found = true;
        }
        return answer;
    });
    return found ? 0 : WSANO_DATA;
}

const char* protocolOrNull(const std::string& protocol) {
    return protocol.empty() ? nullptr : protocol.c_str();
}

}  // namespace

int hostByName(const std::string& name, HostRecord* out) {
    std::string wanted = name;
    if (wanted.empty()) {
        char local[256];
        if (sys::hostName(local, sizeof local) != 0) return wsaErrorFromErrno(errno);
        wanted = local;
    }
    return hostLookup(
        [&](hostent* e, char* b, size_t n, hostent** r, int* h) {
            return gethostbyname2_r(wanted.c_str(), AF_INET, e, b, n, r, h);
        },
        out);
}

int hostByAddress(uint32_t address, HostRecord* out) {
    return hostLookup(
        [&](hostent* e, char* b, size_t n, hostent** r, int* h) {
            return gethostbyaddr_r(&address, sizeof address, AF_INET, e, b, n, r, h);
        },
        out);
}

int serviceByName(const std::string& name, const std::string& protocol, ServiceRecord* out) {
    return serviceLookup(
        [&](servent* e, char* b, size_t n, servent** r) {
            return getservbyname_r(name.c_str(), protocolOrNull(protocol), e, b, n, r);
        },
        out);
}

int serviceByPort(uint16_t port, const std::string& protocol, ServiceRecord* out) {
    return serviceLookup(
        [&](servent* e, char* b, size_t n, servent** r) {
            return getservbyport_r(port, protocolOrNull(protocol), e, b, n, r);
        },
        out);
}

int protocolByName(const std::string& name, ProtocolRecord* out) {
    return protocolLookup([&](protoent* e, char* b, size_t n,
                              protoent** r) { return getprotobyname_r(name.c_str(), e, b, n, r); },
                          out);
}

int protocolByNumber(int number, ProtocolRecord* out) {
    return protocolLookup([&](protoent* e, char* b, size_t n,
                              protoent** r) { return getprotobynumber_r(number, e, b, n, r); },
                          out);
}

}  // namespace ws2::lookup
