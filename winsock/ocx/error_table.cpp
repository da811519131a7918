#include "winsock/ocx/error_table.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "winsock/ocx/error_codes.h"

namespace {

struct ErrorEntry {
    uint32_t code;
    const char* text;
};

#define WIRRAN_ERROR_ENTRY(code, name, text) {code, text},
#define WIRRAN_ERROR_TEXT_ENTRY(code, text) {code, text},
// Sorted by code, as error_codes.h lists them, so a lookup is a binary search.
constexpr ErrorEntry kErrors[] = {WIRRAN_ERRORS(WIRRAN_ERROR_ENTRY, WIRRAN_ERROR_TEXT_ENTRY)};
#undef WIRRAN_ERROR_ENTRY
#undef WIRRAN_ERROR_TEXT_ENTRY

constexpr bool sortedByCode() {
    for (size_t i = 1; i < std::size(kErrors); ++i)
        if (kErrors[i - 1].code >= kErrors[i].code) return false;
    return true;
}
static_assert(sortedByCode(), "error_codes.h must list each code once, in ascending order");

}  // namespace

const char* errorText(uint32_t hresult) {
    if ((hresult & 0xFFFF0000u) != 0x80040000u) return nullptr;
    uint32_t code = hresult & 0xFFFFu;
    auto it = std::lower_bound(std::begin(kErrors), std::end(kErrors), code,
                               [](const ErrorEntry& e, uint32_t c) { return e.code < c; });
    return it != std::end(kErrors) && it->code == code ? it->text : nullptr;
}

std::string errorTextOrUndefined(uint32_t hresult) {
    if (const char* text = errorText(hresult)) return text;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Undefined control error (0x%08X)",
                  static_cast<unsigned>(hresult));
    return buffer;
}

size_t errorTableSize() {
    return std::size(kErrors);
}
