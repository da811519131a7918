// Loads arbitrary bytes as "filters.dat", writes the list back and loads that: the second load
// must give the same filters and the same outcome; then every filter is tried on an item.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "renamer/engine/filters.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    FilterList first, second;
    const bool loaded = first.parse(text);
    if (second.parse(first.text()) != loaded || second.count() != first.count()) std::abort();
    for (int32_t i = 1; i <= first.count(); ++i) {
        if (!(first.at(i) == second.at(i))) std::abort();
    }
    ActivityLog log;
    QueueItem item;
    item.path = "/in/x.avi";
    item.file_name = "x.avi";
    item.show_title = "Lost";
    if (dofilter(item, first, log) &&
        (item.target_folder.back() != '/' || item.new_name.find('\0') != std::string::npos))
        std::abort();
    return 0;
}
