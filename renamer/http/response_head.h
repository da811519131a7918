#pragma once
// The header block of an HTTP response as the HTTP client reads it: the status line, and the
// few header lines it acts on. Used by modHTTP.GetData; public so that tests and the fuzz
// target reach it.
//
//   ResponseHead head = ParseResponseHead("HTTP/1.1 302 Found\r\nLocation: /next\r\n\r\n");
//   // head.status 302, head.location "/next"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantel {

namespace modHTTP {

struct ResponseHead {
    // The number behind the first space of the first line (its leading digits, capped at
    // 999999); 0 when the line has no space or no digits there.
    int32_t status = 0;
    // The value of the first "Location" line (name in any letter case), trimmed of spaces.
    std::optional<std::string> location;
    // The announced body length; -1 when no "Content-Length" line gives a number.
    int64_t content_length = -1;
    // The seconds of a "Retry-After" line in its delta-seconds form; nullopt otherwise.
    std::optional<int64_t> retry_after;
};

// ParseResponseHead reads a header block (lines ended by LF, a CR before it dropped, each line
// trimmed of spaces). Never fails: what it cannot read keeps the defaults above.
ResponseHead ParseResponseHead(std::string_view block);

}  // namespace modHTTP

}  // namespace vantel
