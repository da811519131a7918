// Loads arbitrary bytes as "man.dat", writes the list back and loads that: the second load must
// give the same records and the same outcome, and one record per CR LF-ended line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "renamer/engine/exceptions.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ExceptionList first, second;
    const bool loaded = first.parse(text);
    if (first.count() != static_cast<int32_t>(splitRecords(text).size())) std::abort();
    if (second.parse(first.text()) != loaded || second.count() != first.count()) std::abort();
    for (int32_t i = 1; i <= first.count(); ++i) {
        if (!(first.at(i) == second.at(i))) std::abort();
    }
    return 0;
}
