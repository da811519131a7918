// Reads arbitrary bytes as a store file; whatever parses must write back to text that parses
// to the same tree, and writing that tree again must give the same text.

#include <cstdint>
#include <cstdlib>

#include "platform/registry/store_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    registry::Key first;
    if (!registry::parseStore({reinterpret_cast<const char*>(data), size}, first)) return 0;
    const std::string text = registry::serializeStore(first);
    registry::Key second;
    if (!registry::parseStore(text, second) || !(second == first)) std::abort();
    if (registry::serializeStore(second) != text) std::abort();
    return 0;
}
