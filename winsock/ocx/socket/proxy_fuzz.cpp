// Reads arbitrary bytes as the proxy values and the external-address service list: ProxyServer
// and ProxyOverride (split at the first NUL) and the service list must never crash the lookup,
// and whatever proxy or service comes out has a port in range and a host of bounded length.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "winsock/ocx/socket/external_address.h"
#include "winsock/ocx/socket/proxy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    kvlink::ProxySettings settings;
    settings.enable = 1;
    settings.server = input.substr(0, split);
    if (split != std::string::npos) settings.override = input.substr(split + 1);
    for (int port : {21, 80, 443, 8080}) {
        kvlink::ProxyEntry entry;
        if (kvlink::proxyFor(settings, "service.example", port, &entry) &&
            (entry.port < 1 || entry.port > 65535 || entry.host.empty() || entry.host.size() > 128))
            std::abort();
    }
    for (const kvlink::ServiceHost& host : kvlink::parseServiceList(input)) {
        if (host.host.empty() || host.port < 1 || host.port > 65535) std::abort();
    }
    return 0;
}
