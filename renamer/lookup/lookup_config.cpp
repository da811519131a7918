#include "renamer/lookup/lookup_config.h"

#include <cstdlib>

#include "renamer/common/activity_log.h"
#include "renamer/common/reg.h"
#include "renamer/http/modhttp.h"

namespace vantel {

std::string ApiBase(const std::string& commandLine) {
    std::string base = commandLine;
    if (base.empty()) {
        const char* variable = std::getenv(kApiBaseVariable);
        if (variable) base = variable;
    }
    if (base.empty()) base = modReg::GetSettingString(kApiBaseSetting);
    if (base.empty()) base = kDefaultApiBase;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

namespace {

// The client's messages that say why a request failed ("HTTP: Unable to connect to ...",
// "HTTP: The certificate of ... is not valid", "HTTP: Too many redirects", ...), as opposed to
// its progress ("HTTP: Sending Request...").
bool isHttpFailure(const std::string& text) {
    for (const char* start : {"HTTP: Unable", "HTTP: The ", "HTTP: Too many", "HTTP: Unhandled"})
        if (text.starts_with(start)) return true;
    return false;
}

}  // namespace

bool RouteHttpTrace(ActivityLog& log) {
    const char* variable = std::getenv(kHttpTraceVariable);
    bool on = variable && *variable && std::string(variable) != "0";
    // A failure is always logged: without it a user whose network is down reads only that the
    // show was not found. The rest is detail, shown by verbose logging when the trace is on.
    modHTTP::SetTraceHook([&log, on](const std::string& text, int) {
        if (isHttpFailure(text))
            log.debug_log(text, 1);
        else if (on)
            log.debug_log(text, 2);
    });
    return on;
}

int32_t ConfigureHttpTimeout() {
    modHTTP::Limits limits = modHTTP::GetLimits();
    const char* variable = std::getenv(kHttpTimeoutVariable);
    if (variable && *variable) {
        char* end = nullptr;
        long seconds = std::strtol(variable, &end, 10);
        if (*end == '\0' && seconds >= 1 && seconds <= 60) {
            limits.timeout_seconds = static_cast<int32_t>(seconds);
            modHTTP::SetLimits(limits);
        }
    }
    return limits.timeout_seconds;
}

}  // namespace vantel
