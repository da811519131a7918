#include "renamer/lookup/lookup_config.h"

#include <cstdlib>

#include "renamer/common/activity_log.h"
#include "renamer/common/reg.h"
#include "renamer/http/modhttp.h"

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

bool RouteHttpTrace(ActivityLog& log) {
    const char* variable = std::getenv(kHttpTraceVariable);
    bool on = variable && *variable && std::string(variable) != "0";
    if (on) {
        // Everything the client traces is detail: verbose logging shows it.
        modHTTP::SetTraceHook([&log](const std::string& text, int) { log.debug_log(text, 2); });
    } else {
        modHTTP::SetTraceHook(nullptr);
    }
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
