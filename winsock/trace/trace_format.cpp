// Formatting of trace line parts.

#include "winsock/trace/trace_format.h"

#include <cstdio>

namespace kvtrace {
namespace {

// clang-format off
#define KVTRACE_ERROR_NAMES(X)                                                                  \
    X(WSAEINTR) X(WSAEBADF) X(WSAEACCES) X(WSAEFAULT) X(WSAEINVAL) X(WSAEMFILE)                 \
    X(WSAEWOULDBLOCK) X(WSAEINPROGRESS) X(WSAEALREADY) X(WSAENOTSOCK) X(WSAEDESTADDRREQ)        \
    X(WSAEMSGSIZE) X(WSAEPROTOTYPE) X(WSAENOPROTOOPT) X(WSAEPROTONOSUPPORT)                     \
    X(WSAESOCKTNOSUPPORT) X(WSAEOPNOTSUPP) X(WSAEPFNOSUPPORT) X(WSAEAFNOSUPPORT)                \
    X(WSAEADDRINUSE) X(WSAEADDRNOTAVAIL) X(WSAENETDOWN) X(WSAENETUNREACH) X(WSAENETRESET)       \
    X(WSAECONNABORTED) X(WSAECONNRESET) X(WSAENOBUFS) X(WSAEISCONN) X(WSAENOTCONN)              \
    X(WSAESHUTDOWN) X(WSAETOOMANYREFS) X(WSAETIMEDOUT) X(WSAECONNREFUSED) X(WSAELOOP)           \
    X(WSAENAMETOOLONG) X(WSAEHOSTDOWN) X(WSAEHOSTUNREACH) X(WSAENOTEMPTY) X(WSAEPROCLIM)        \
    X(WSAEUSERS) X(WSAEDQUOT) X(WSAESTALE) X(WSAEREMOTE) X(WSASYSNOTREADY)                      \
    X(WSAVERNOTSUPPORTED) X(WSANOTINITIALISED) X(WSAEDISCON) X(WSASYSCALLFAILURE)               \
    X(WSAHOST_NOT_FOUND) X(WSATRY_AGAIN) X(WSANO_RECOVERY) X(WSANO_DATA)
// clang-format on

std::string printed(const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

uint16_t fromNetworkOrder(uint16_t value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace

std::string linePrefix(const timespec& when, long threadId) {
    tm local{};
    time_t seconds = when.tv_sec;
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld [%ld] ",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, when.tv_nsec / 1000000, threadId);
    return text;
}

std::string formatSocket(SOCKET s) {
    if (s == INVALID_SOCKET) return "INVALID_SOCKET";
    return std::to_string(s);
}

std::string formatInAddr(const in_addr& address) {
    const auto& b = address.S_un.S_un_b;
    return printed("%u.%u.%u.%u", b.s_b1, b.s_b2, b.s_b3, b.s_b4);
}

std::string formatAddress(const sockaddr* address, int len) {
    if (!address) return "null";
    if (len < static_cast<int>(sizeof(u_short))) return "?";
    if (address->sa_family != AF_INET) return printed("family %u", address->sa_family);
    if (len < static_cast<int>(sizeof(sockaddr_in))) return "?";
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    return formatInAddr(in->sin_addr) + ":" + std::to_string(fromNetworkOrder(in->sin_port));
}

std::string formatSet(const FD_SET* set) {
    if (!set) return "null";
    std::string text = "{";
    u_int count = set->fd_count < FD_SETSIZE ? set->fd_count : FD_SETSIZE;
    for (u_int i = 0; i < count; ++i) {
        if (i > 0) text += ",";
        text += formatSocket(set->fd_array[i]);
    }
    return text + "}";
}

std::string formatTimeout(const timeval* limit) {
    if (!limit) return "null";
    return printed("%ld.%06ld", static_cast<long>(limit->tv_sec),
                   static_cast<long>(limit->tv_usec));
}

std::string formatText(const char* text) {
    if (!text) return "null";
    std::string quoted = "\"";
    for (const char* p = text; *p; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            quoted += printed("\\x%02x", c);
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

std::string formatEvents(long events) {
    static const struct {
        long bit;
        const char* name;
    } kEvents[] = {{FD_READ, "FD_READ"},     {FD_WRITE, "FD_WRITE"},     {FD_OOB, "FD_OOB"},
                   {FD_ACCEPT, "FD_ACCEPT"}, {FD_CONNECT, "FD_CONNECT"}, {FD_CLOSE, "FD_CLOSE"}};
    std::string text;
    long rest = events;
    for (const auto& event : kEvents) {
        if (!(events & event.bit)) continue;
        if (!text.empty()) text += "|";
        text += event.name;
        rest &= ~event.bit;
    }
    if (rest != 0) {
        if (!text.empty()) text += "|";
        text += printed("0x%lx", static_cast<unsigned long>(rest));
    }
    return text.empty() ? "0" : text;
}

const char* errorName(int error) {
    switch (error) {
#define KVTRACE_ERROR_CASE(name) \
    case name:                   \
        return #name;
        KVTRACE_ERROR_NAMES(KVTRACE_ERROR_CASE)
#undef KVTRACE_ERROR_CASE
        default:
            return "";
    }
}

std::string hexDump(const char* data, size_t size) {
    std::string text;
    for (size_t offset = 0; offset < size; offset += 16) {
        size_t count = size - offset < 16 ? size - offset : 16;
        text += printed("    %04zx  ", offset);
        std::string ascii;
        for (size_t i = 0; i < 16; ++i) {
            if (i < count) {
                auto c = static_cast<unsigned char>(data[offset + i]);
                text += printed("%02x ", c);
                ascii += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
            } else {
                text += "   ";
            }
        }
        text += " " + ascii + "\n";
    }
    return text;
}

}  // namespace kvtrace
