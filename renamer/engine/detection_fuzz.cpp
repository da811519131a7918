// Runs detection over an arbitrary path, once for the folder and once for the file name, and
// checks that a success leaves numbers that fit the table's digit widths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "renamer/engine/detection.h"
#include "renamer/engine/paths.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ActivityLog log;
    log.setThreshold(2);
    QueueItem item;
    item.path.assign(reinterpret_cast<const char*>(data), size);
    item.file_name = getfname(item.path);
    for (bool p : {true, false}) {
        int32_t id = 0;
        if (!getbits(item, p, log, &id)) continue;
        bool numbersFit =
            item.season >= 0 && item.season <= 99 && item.episode >= 0 && item.episode <= 99;
        if (id < 1 || id > 18 || !numbersFit) std::abort();
    }
    return 0;
}
