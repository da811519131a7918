// Parses arbitrary bytes as a response header block: never crashes, and what it reports stays
// inside its bounds (a status of six digits at most, a length that is -1 or a count).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "renamer/http/response_head.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view block(reinterpret_cast<const char*>(data), size);
    modHTTP::ResponseHead head = modHTTP::ParseResponseHead(block);
    if (head.status < 0 || head.status > 999999) std::abort();
    if (head.content_length < -1) std::abort();
    if (head.retry_after && *head.retry_after < 0) std::abort();
    if (head.location && head.location->size() > size) std::abort();
    return 0;
}
