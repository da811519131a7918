// Cleans arbitrary text and decodes the result as an episode title is decoded. Cleaning ends with
// safe text or an error; a failed decode gives the input back; a decoded text decodes to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "renamer/common/activity_log.h"
#include "renamer/common/text.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<std::string> cleaned = CleanText(text, &error);
    if (!cleaned) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (cleaned->find_first_of("\\/*?\"<>|[]:") != std::string::npos) std::abort();
    if (cleaned->find('\0') != std::string::npos) std::abort();
    ActivityLog log;
    std::string decoded = UTF8Decode(*cleaned, log);
    if (!log.lines().empty()) {
        if (decoded != *cleaned) std::abort();
        return 0;
    }
    if (UTF8Decode(decoded, log) != decoded || !log.lines().empty()) std::abort();
    return 0;
}
