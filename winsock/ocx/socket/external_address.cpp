// The external-address lookup: cache, proxy choice, one HTTP/1.0 request, answer parsing.

#include "winsock/ocx/socket/external_address.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/registry/registry.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/proxy.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/socket_record.h"

namespace kvlink {
namespace {

constexpr const char* kServicePath = "/cgi-bin/xipv4.cgi";
constexpr const char* kMarker = "external address:";
constexpr int kShortestLifetime = 600;
constexpr int kLongestLifetime = 43200;
constexpr size_t kReadPiece = 500;
// No address page comes near this; a service that sends more is cut off rather than read
// without bound.
constexpr size_t kLongestAnswer = 64 * 1024;

struct Cache {
    std::mutex lock;
    bool loaded = false;
    uint32_t address = 0;  // network byte order; 0 = none
    uint32_t time = 0;     // seconds since 1970
};

Cache& cache() {
    static Cache instance;
    return instance;
}

uint32_t now() {
    return static_cast<uint32_t>(std::time(nullptr));
}

bool readDword(HKEY key, const char* name, uint32_t* value) {
    DWORD type = 0, size = sizeof *value;
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof *value;
}

// Loads the cache from the registry mirror; the caller holds the lock. A missing, mistyped or
// future "LastUpdated" counts as 0, and a time of 0 means no address.
void loadCache(Cache& c) {
    c.loaded = true;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kExternalAddressKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    uint32_t address = 0, time = 0;
    if (!readDword(key, "ExternalAddress", &address)) address = 0;
    if (!readDword(key, "LastUpdated", &time) || time > now()) time = 0;
    RegCloseKey(key);
    c.address = time == 0 ? 0 : address;
    c.time = time;
}

// Stores a new address in the cache and the registry. Registry failures are ignored: the
// in-memory cache still serves this process.
void storeCache(uint32_t address) {
    Cache& c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    c.loaded = true;
    c.address = address;
    c.time = now();
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kExternalAddressKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "ExternalAddress", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.address),
                   sizeof c.address);
    RegSetValueExA(key, "LastUpdated", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.time),
                   sizeof c.time);
    RegCloseKey(key);
}

bool cachedAddress(int lifetimeSeconds, uint32_t* address) {
    Cache& c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.address == 0 && !c.loaded) loadCache(c);
    if (c.address == 0 || c.time > now() ||
        now() - c.time >= static_cast<uint32_t>(lifetimeSeconds))
        return false;
    *address = c.address;
    return true;
}

// A socket of the lookup, closed when it goes.
class LookupSocket {
  public:
    LookupSocket() : m_socket(networkLibrary().socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    ~LookupSocket() {
        if (m_socket != INVALID_SOCKET) networkLibrary().closesocket(m_socket);
    }
    LookupSocket(const LookupSocket&) = delete;
    LookupSocket& operator=(const LookupSocket&) = delete;
    SOCKET get() const { return m_socket; }

  private:
    SOCKET m_socket;
};

int networkError() {
    SetSocketError(static_cast<uint32_t>(networkLibrary().getLastError()));
    return -1;
}

int failWithCode(uint32_t code) {
    SetSocketError(code);
    return -1;
}

// Waits up to seconds for the socket to become writable (write) or readable. 1 when it did,
// 0 on time-out, -1 on failure (error in the slot). A connect that fails shows, as on Windows,
// in the exception set; that counts as ready too, and SO_ERROR then says why.
int waitFor(SOCKET s, bool write, int seconds) {
    FD_SET set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    FD_SET failed;
    FD_ZERO(&failed);
    if (write) FD_SET(s, &failed);
    timeval limit{seconds, 0};
    int ready = networkLibrary().select(0, write ? nullptr : &set, write ? &set : nullptr,
                                        write ? &failed : nullptr, &limit);
    if (ready < 0) return networkError();
    return ready > 0 ? 1 : 0;
}

// Connects within the wait time: non-blocking connect, wait for writability, blocking again.
int connectWithin(SOCKET s, uint32_t address, int32_t port, int waitSeconds) {
    NetworkLibrary& net = networkLibrary();
    u_long on = 1;
    if (net.ioctlsocket(s, FIONBIO, &on) != 0) return networkError();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = net.htons(static_cast<u_short>(port));
    if (net.connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (net.getLastError() != WSAEWOULDBLOCK) return networkError();
        int ready = waitFor(s, true, waitSeconds);
        if (ready < 0) return -1;
        if (ready == 0) return failWithCode(wrErrorOperationTimeout);
        int error = 0;
        int size = sizeof error;
        net.getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
        if (error != 0) return failWithCode(static_cast<uint32_t>(error));
    }
    u_long off = 0;
    if (net.ioctlsocket(s, FIONBIO, &off) != 0) return networkError();
    return 0;
}

int sendAll(SOCKET s, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        int n =
            networkLibrary().send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n <= 0) return networkError();
        sent += static_cast<size_t>(n);
    }
    return 0;
}

// Reads until the server closes the connection, waiting up to waitSeconds before each piece.
int readAnswer(SOCKET s, int waitSeconds, std::string* answer) {
    char piece[kReadPiece];
    while (answer->size() < kLongestAnswer) {
        int ready = waitFor(s, false, waitSeconds);
        if (ready < 0) return -1;
        if (ready == 0) return failWithCode(wrErrorOperationTimeout);
        int n = networkLibrary().recv(s, piece, sizeof piece, 0);
        if (n < 0) return networkError();
        if (n == 0) break;
        answer->append(piece, static_cast<size_t>(n));
    }
    return 0;
}

}  // namespace

std::vector<ServiceHost> parseServiceList(const std::string& value) {
    std::vector<ServiceHost> hosts;
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = std::min(value.find(';', start), value.size());
        std::string entry = value.substr(start, end - start);
        start = end + 1;
        entry.erase(0, entry.find_first_not_of(" \t"));
        entry.erase(entry.find_last_not_of(" \t") + 1);
        if (entry.empty()) continue;
        ServiceHost service;
        size_t colon = entry.find(':');
        if (colon != std::string::npos) {
            std::string digits = entry.substr(colon + 1);
            if (digits.empty() || digits.size() > 5 ||
                digits.find_first_not_of("0123456789") != std::string::npos)
                continue;
            service.port = std::stoi(digits);
            if (service.port < 1 || service.port > 65535) continue;
            entry.erase(colon);
        }
        if (entry.empty()) continue;
        service.host = entry;
        hosts.push_back(service);
    }
    return hosts;
}

std::vector<ServiceHost> configuredServices() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kExternalAddressKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, size = 0;
    std::string value;
    if (RegQueryValueExA(key, "ExternalAddressServices", nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        value.resize(size);
        if (RegQueryValueExA(key, "ExternalAddressServices", nullptr, &type,
                             reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
            value.clear();
    }
    RegCloseKey(key);
    return parseServiceList(value.substr(0, value.find('\0')));
}

bool parseExternalAnswer(const std::string& answer, uint32_t* address) {
    std::string folded(answer.size(), '\0');
    std::transform(answer.begin(), answer.end(), folded.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    size_t at = folded.find(kMarker);
    if (at == std::string::npos) {
        SetSocketError(wrErrorInvalidAddress);
        return false;
    }
    size_t start =
        answer.find_first_not_of(" \t\r\n", at + std::char_traits<char>::length(kMarker));
    std::string text;
    if (start != std::string::npos) {
        size_t end = answer.find_first_not_of("0123456789.", start);
        text = answer.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    if (!parseDottedAddress(text, address)) {
        SetSocketError(wrErrorInvalidAddress);
        return false;
    }
    return true;
}

int lookupExternalAddress(const std::string& host, int32_t port, int waitSeconds,
                          int lifetimeSeconds, uint32_t flags, uint32_t* address) {
    if (!(flags & kExternalIgnoreCache)) {
        int lifetime = std::clamp(lifetimeSeconds, kShortestLifetime, kLongestLifetime);
        if (cachedAddress(lifetime, address)) return 0;
    }
    std::string target = kServicePath;
    std::string connectHost = host;
    int32_t connectPort = port;
    ProxyEntry proxy;
    if (!(flags & kExternalNoProxy) && !host.empty() && lookupProxy(host, port, &proxy)) {
        char absolute[512];
        std::snprintf(absolute, sizeof absolute, "http://%s:%d%s", host.c_str(), port,
                      kServicePath);
        target = absolute;
        connectHost = proxy.host;
        connectPort = proxy.port;
    }
    uint32_t connectAddress;
    if (!resolveHostAddress(connectHost, &connectAddress)) return -1;
    LookupSocket s;
    if (s.get() == INVALID_SOCKET) return networkError();
    if (connectWithin(s.get(), connectAddress, connectPort, waitSeconds) != 0) return -1;

    char request[1024];
    std::snprintf(request, sizeof request,
                  "GET %s HTTP/1.0\r\nHost: %s\r\nUser-Agent: Kestrine/%d.%02d.%04d\r\n"
                  "Pragma: no-cache\r\nCache-Control: no-cache\r\nAccept: text/*\r\n\r\n",
                  target.c_str(), host.c_str(), 6, 0, 6000);
    if (sendAll(s.get(), request) != 0) return -1;
    std::string answer;
    if (readAnswer(s.get(), waitSeconds, &answer) != 0) return -1;
    uint32_t found;
    if (!parseExternalAnswer(answer, &found)) return -1;
    storeCache(found);
    *address = found;
    return 0;
}

std::string externalAddress() {
    std::vector<ServiceHost> services = configuredServices();
    // Without a service only the cache can answer; the empty host then fails as a lookup of
    // nothing does.
    if (services.empty()) services.push_back({"", 80});
    uint32_t address = 0;
    for (const ServiceHost& service : services) {
        if (lookupExternalAddress(service.host, service.port, 5, 3600, 0, &address) == 0)
            return formatDottedAddress(address);
    }
    return {};
}

void forgetExternalAddressCache() {
    Cache& c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    c.loaded = false;
    c.address = 0;
    c.time = 0;
}

}  // namespace kvlink
