#pragma once
// The address of the episode database's web API: the one place where it is chosen.
//
//   std::string base = ApiBase(options.api);  // "--api URL" of the headless front end, or ""

#include <string>

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
