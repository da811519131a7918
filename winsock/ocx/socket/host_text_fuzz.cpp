// Compacts arbitrary bytes as a hosts file: the result is NUL-terminated lines that hold no
// blank runs, no leading "#", no character below "!" but the single blank, and compacting the
// lines again (as a file with LF line ends) gives the same table.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "winsock/ocx/socket/host_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string table = kvlink::compactHostText({reinterpret_cast<const char*>(data), size});
    if (table.empty() || table.back() != '\0') std::abort();
    std::string asFile = table.substr(0, table.size() - 1);
    for (char& c : asFile) {
        if (c == '\0')
            c = '\n';
        else if (static_cast<unsigned char>(c) < '!' && c != ' ')
            std::abort();
        else if (c == '#')
            std::abort();
    }
    if (asFile.find("  ") != std::string::npos || asFile.find(" \n") != std::string::npos)
        std::abort();
    if (kvlink::compactHostText(asFile) != table) std::abort();
    return 0;
}
