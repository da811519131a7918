#pragma once
// The text of trace lines: the time and thread in front, call arguments (sockets, addresses,
// socket sets, time limits, names), error names and hex dumps. Pure functions, no file.

#include <cstddef>
#include <ctime>
#include <string>

#include "platform/ws2/winsock2.h"

namespace kvtrace {

// linePrefix returns "YYYY-MM-DD HH:MM:SS.mmm [tid] " for the local time of when.
std::string linePrefix(const timespec& when, long threadId);

// formatSocket returns the handle in decimal, or "INVALID_SOCKET".
std::string formatSocket(SOCKET s);

// formatAddress returns an IPv4 address in dotted form with its port ("127.0.0.1:80"), "null"
// for no address, "?" when len is too short for one, and "family N" for another family.
std::string formatAddress(const sockaddr* address, int len);

// formatInAddr returns the dotted form of an address in network order ("10.0.0.1").
std::string formatInAddr(const in_addr& address);

// formatSet returns the sockets of a set, "{3,5}", or "null".
std::string formatSet(const FD_SET* set);

// formatTimeout returns the limit in seconds with six decimals ("1.500000"), or "null".
std::string formatTimeout(const timeval* limit);

// formatText returns text in double quotes, with control characters as \xNN, or "null".
std::string formatText(const char* text);

// formatEvents returns FD_* event bits joined by "|" ("FD_READ|FD_CLOSE"), "0" for none.
std::string formatEvents(long events);

// errorName returns the name of a Windows Sockets error number ("WSAECONNREFUSED"), or "" for a
// number without one.
const char* errorName(int error);

// hexDump returns size bytes of data as lines of 16: four blanks, the offset in hex, two blanks,
// the bytes in hex and the printable ones as ASCII ("." for the rest), each line ended by "\n".
std::string hexDump(const char* data, size_t size);

}  // namespace kvtrace
