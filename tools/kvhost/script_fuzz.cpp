#include <cstddef>
#include <cstdint>
#include <string_view>
#include "tools/kvhost/script.h"
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScriptCommand command;
    std::string error;
    parseScriptLine(std::string_view(reinterpret_cast<const char*>(data), size), &command, &error);
    return 0;
}
