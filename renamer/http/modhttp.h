#pragma once
// modHTTP: the renamer's HTTP/1.0 client. One GET over the socket control the main window hosts
// ("Wirran1"), driven by member name in blocking mode with a four-second time-out; redirects are
// followed, and the body comes back as the received bytes (one char per byte, exactly as they
// arrived: decoding UTF-8 is the caller's business).
//
//   std::string url = apiBase + "/search/shows?q=" + modHTTP::URLEncode(name);
//   std::string body = modHTTP::GetData(url, host, "");
//   if (body.empty()) ...  // the request failed; the trace says why
//
// Progress and failures go to the trace routine HttpTrace, which shows nothing unless a trace
// hook is set (SetTraceHook): the caller learns of a failure from the empty result only.
//
// Guards the client keeps: at most Limits::max_redirects redirects per request; a header block
// and a body of bounded size; a secure connection whose certificate the control does not call
// valid is refused; a 429 answer (the service's rate limit) is retried a bounded number of
// times after the pause the server asks for, keeping the user interface alive meanwhile.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "renamer/http/control_host.h"

namespace vantel {

namespace modHTTP {

// The name under which the host keeps the control.
inline constexpr const char* kControlName = "Wirran1";

struct Limits {
    int32_t max_redirects = 20;                // redirects followed by one GetData call
    size_t max_header_bytes = 64 * 1024;       // a longer header block fails the request
    size_t max_body_bytes = 32 * 1024 * 1024;  // a longer body fails the request
    int32_t max_busy_retries = 3;              // 429 answers retried before giving up
    int32_t busy_wait_ms = 2000;               // pause per retry (times the retry's number)
                                               // when the server names none
    int32_t max_busy_wait_ms = 60000;          // a longer Retry-After is cut to this
    int32_t timeout_seconds = 4;               // the control's Timeout for every wait
};

// SetLimits / GetLimits: the guards of every following request (process-wide; set them on the
// thread that makes requests, before it makes them).
void SetLimits(const Limits& limits);
const Limits& GetLimits();

// GetData fetches url (absolute "http://" or "https://" URL, a URL without a scheme, or a path
// that goes to the host of the last URL that named one) and returns the response body. cookie,
// when not empty, is sent as a Cookie header. After a redirect url holds the URL followed last.
// Returns "" when the URL is invalid, security cannot be set up or the certificate is not
// valid, connecting or sending fails, reading fails or times out, the status is not accepted
// (200-299 and 401 are), redirects or 429 retries run out, or a size limit is passed.
// When the control itself is missing or refuses a member call, the result is "" as well and
// *error (when given) describes that failure; otherwise *error is left empty.
std::string GetData(std::string& url, ControlHost& host, const std::string& cookie,
                    std::string* error = nullptr);

// URLEncode encodes a query value byte by byte: a space becomes "+", ASCII letters and digits
// stay, every other byte becomes "%" and two upper-case hexadecimal digits. Never fails.
std::string URLEncode(const std::string& text);

// The trace routine: every progress and failure message of GetData, with its level (1 for
// steps and failures, 2 for the per-chunk progress). Without a hook it discards its input.
using TraceHook = std::function<void(const std::string& message, int level)>;
void SetTraceHook(TraceHook hook);
void HttpTrace(const std::string& message, int level);

// ResetLastHost forgets the host that path-only URLs go to (tests; a new session).
void ResetLastHost();

}  // namespace modHTTP

}  // namespace vantel
