// Splits arbitrary text as a URL: an accepted URL always names a host, a usable port and a path
// that starts with "/", and the last host is never emptied.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "renamer/http/split_url.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string url(reinterpret_cast<const char*>(data), size);
    modHTTP::UrlParts parts;
    modHTTP::LastOrigin last{"last.example", 8080, false};
    if (!modHTTP::SplitURL(url, parts, last)) return 0;
    if (parts.host.empty() || parts.port < 1 || parts.port > 65535) std::abort();
    if (parts.path.empty() || parts.path[0] != '/' || parts.file.empty()) std::abort();
    if (last.host.empty()) std::abort();
    return 0;
}
