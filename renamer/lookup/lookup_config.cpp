#include "renamer/lookup/lookup_config.h"

#include <cstdlib>
#include <optional>

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

// The whole number from low to high that the variable name holds, or nullopt when it is unset
// or holds anything else.
std::optional<long> wholeNumberVariable(const char* name, long low, long high) {
    const char* variable = std::getenv(name);
    if (!variable || !*variable) return std::nullopt;
    char* end = nullptr;
    long value = std::strtol(variable, &end, 10);
    if (*end != '\0' || value < low || value > high) return std::nullopt;
    return value;
}

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
    if (std::optional<long> seconds = wholeNumberVariable(kHttpTimeoutVariable, 1, 60)) {
        limits.timeout_seconds = static_cast<int32_t>(*seconds);
        modHTTP::SetLimits(limits);
    }
    return limits.timeout_seconds;
}

int32_t ConfigureHttpDeadline() {
    modHTTP::Limits limits = modHTTP::GetLimits();
    if (std::optional<long> seconds = wholeNumberVariable(kHttpDeadlineVariable, 1, 3600)) {
        limits.request_deadline_ms = static_cast<int32_t>(*seconds * 1000);
        modHTTP::SetLimits(limits);
    }
    return limits.request_deadline_ms;
}

}  // namespace vantel
