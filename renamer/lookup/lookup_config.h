#pragma once
// The lookup's configuration outside Settings: the address of the episode database's web API
// (the one place where it is chosen) and where the HTTP client's trace goes.
//
//   std::string base = ApiBase(options.api);  // "--api URL" of the headless front end, or ""
//   RouteHttpTrace(log);                      // at start-up
//   ConfigureHttpTimeout();                   // likewise

#include <cstdint>
#include <string>

namespace vantel {

class ActivityLog;

// The service's own address, used when nothing else is configured.
inline constexpr const char* kDefaultApiBase = "https://api.tvmaze.com";
// The registry value (REG_SZ) of the program's key that replaces it.
inline constexpr const char* kApiBaseSetting = "apibase";
// The environment variable that replaces both (tests point the program at a stand-in with it).
inline constexpr const char* kApiBaseVariable = "VANTEL_API_BASE";

// ApiBase returns, in this order of precedence, commandLine, the environment variable, the
// registry value, or the default; the first that is not empty wins. Trailing "/" characters
// are removed, so paths can be appended. Never fails.
std::string ApiBase(const std::string& commandLine = "");

// The environment variable that switches the HTTP client's trace on (any value but "" and "0").
inline constexpr const char* kHttpTraceVariable = "VANTEL_HTTP_TRACE";

// RouteHttpTrace sends the HTTP client's failure messages to log at level 1 always, and its
// other trace messages at level 2 (verbose logging) when the trace variable is set. log must
// outlive every request made after the call. Returns whether the whole trace is routed.
bool RouteHttpTrace(ActivityLog& log);

// The environment variable that sets the HTTP client's time-out in whole seconds (1 to 60) in
// place of its four seconds: tests of servers that never answer use 1.
inline constexpr const char* kHttpTimeoutVariable = "VANTEL_HTTP_TIMEOUT";

// ConfigureHttpTimeout sets the HTTP client's time-out (modHTTP::Limits::timeout_seconds) from
// the variable when it holds a whole number from 1 to 60, and leaves it alone otherwise (an
// unreadable value is ignored, as an unset one). Returns the time-out now in force.
int32_t ConfigureHttpTimeout();

}  // namespace vantel
