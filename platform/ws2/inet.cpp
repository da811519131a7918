// Byte order and IPv4 address text: htonl, htons, ntohl, ntohs, inet_addr and inet_ntoa. None of
// them needs WSAStartup.

#include <bit>
#include <cstdio>

#include "platform/ws2/exports.h"

namespace ws2 {
namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

uint32_t swap32(uint32_t v) {
    return kLittleEndian ? __builtin_bswap32(v) : v;
}
u_short swap16(u_short v) {
    return kLittleEndian ? __builtin_bswap16(v) : v;
}

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int digitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    return d < base ? d : -1;
}

// Reads one part of an address: decimal, octal after a leading 0, hexadecimal after 0x.
// Returns false for a part without digits, with a digit outside its base, or above 32 bits.
bool readPart(const char*& p, uint64_t* value) {
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    const char* start = p;
    uint64_t v = 0;
    for (; *p && *p != '.' && !isSpace(*p); ++p) {
        int d = digitValue(*p, base);
        if (d < 0) return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFu) return false;
    }
    if (p == start) return false;
    *value = v;
    return true;
}

// The classic address parser: "a.b.c.d", or "a.b.c" (c takes 16 bits), "a.b" (b takes 24 bits)
// and "a" (32 bits). Text may end in white space. Returns false for anything else.
bool parseAddress(const char* text, uint32_t* hostOrder) {
    uint64_t parts[4];
    int count = 0;
    const char* p = text;
    for (;;) {
        if (count == 4 || !readPart(p, &parts[count])) return false;
        ++count;
        if (*p != '.') break;
        ++p;
    }
    if (*p && !isSpace(*p)) return false;
    uint64_t limitOfLast = 0xFFFFFFFFu >> (8 * (count - 1));
    if (parts[count - 1] > limitOfLast) return false;
    uint64_t value = parts[count - 1];
    for (int i = 0; i < count - 1; ++i) {
        if (parts[i] > 0xFF) return false;
        value |= parts[i] << (24 - 8 * i);
    }
    *hostOrder = static_cast<uint32_t>(value);
    return true;
}

}  // namespace
}  // namespace ws2

using namespace ws2;

uint32_t wsHtonl(uint32_t hostlong) {
    return swap32(hostlong);
}
uint32_t wsNtohl(uint32_t netlong) {
    return swap32(netlong);
}
u_short wsHtons(u_short hostshort) {
    return swap16(hostshort);
}
u_short wsNtohs(u_short netshort) {
    return swap16(netshort);
}

uint32_t wsInetAddr(const char* cp) {
    uint32_t hostOrder = 0;
    if (!cp || !parseAddress(cp, &hostOrder)) return INADDR_NONE;
    return swap32(hostOrder);
}

char* wsInetNtoa(in_addr in) {
    // The text lives in the calling thread's buffer until its next call, as on Windows.
    thread_local char text[sizeof "255.255.255.255"];
    const auto& b = in.S_un.S_un_b;
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b.s_b1, b.s_b2, b.s_b3, b.s_b4);
    return text;
}
