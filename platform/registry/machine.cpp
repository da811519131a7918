#include "platform/registry/machine.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace registry {

namespace {

constexpr const char* kResolverConfiguration = "/etc/resolv.conf";

std::string firstWord(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::string word;
    in >> word;
    return word;
}

std::string withoutTrailingDot(std::string name) {
    if (!name.empty() && name.back() == '.') name.pop_back();
    return name;
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// The resolver's own order: $LOCALDOMAIN, the configuration file, the host name's domain part.
std::string machineDomain(const std::string& host) {
    if (const char* local = std::getenv("LOCALDOMAIN")) {
        if (std::string domain = withoutTrailingDot(firstWord(local)); !domain.empty()) {
            return domain;
        }
    }
    std::ifstream file(kResolverConfiguration, std::ios::binary);
    const std::string conf{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (std::string domain = resolverDomain(conf); !domain.empty()) return domain;
    const size_t dot = host.find('.');
    return dot == std::string::npos ? std::string() : withoutTrailingDot(host.substr(dot + 1));
}

}  // namespace

std::string resolverDomain(std::string_view resolvConf) {
    // The domain line names the machine's own domain; a search list only says where short names
    // are looked for, so its first entry stands in only when there is no domain line.
    std::string domain, search;
    std::istringstream lines{std::string(resolvConf)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string keyword, name;
        words >> keyword >> name;
        if (name.empty()) continue;
        if (keyword == "domain") domain = withoutTrailingDot(name);
        if (keyword == "search") search = withoutTrailingDot(name);
    }
    return domain.empty() ? search : domain;
}

Key machineTree() {
    const std::string host = hostName();
    Key root;
    Key* key = &root;
    for (const char* name : {"SYSTEM", "CurrentControlSet", "Services", "Tcpip", "Parameters"}) {
        bool created;
        key = &createSubkey(*key, name, created);
    }
    setValue(*key, "Hostname", REG_SZ, host.substr(0, host.find('.')));
    setValue(*key, "Domain", REG_SZ, machineDomain(host));
    return root;
}

}  // namespace registry
