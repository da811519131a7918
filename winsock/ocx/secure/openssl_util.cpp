#include "winsock/ocx/secure/openssl_util.h"

#include <openssl/err.h>

namespace kvsecure {

SecureStatus takeOpenSslError(int code, const std::string& activity) {
    std::string reasons;
    unsigned long error;
    while ((error = ERR_get_error()) != 0) {
        const char* reason = ERR_reason_error_string(error);
        std::string text = reason ? reason : "error " + std::to_string(ERR_GET_REASON(error));
        // The queue often repeats a reason on its way up the call stack.
        if (reasons.find(text) == std::string::npos) {
            reasons += (reasons.empty() ? "" : "; ") + text;
        }
    }
    return {code, activity + ": " + (reasons.empty() ? "no detail" : reasons)};
}

void clearOpenSslErrors() {
    ERR_clear_error();
}

}  // namespace kvsecure
