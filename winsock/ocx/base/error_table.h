#pragma once
// The control's message table: the text of each error code, looked up by its HRESULT form.
// Header-only, built from the one list of codes (error_codes.h), so every layer of the control
// and a host's test double give the same texts.
//
//   errorText(0x8004274C)        // "The specified operation has timed out"
//   errorTextOrUndefined(1)      // "Undefined control error (0x00000001)"
//
// Only identifiers of the form 0x80040000 + code are in the table; any other value (a bare code,
// an Automation HRESULT of facility 10) has no text there.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>

#include "winsock/ocx/base/error_codes.h"

// The HRESULT form of a control error code: 0x80040000 | code.
constexpr uint32_t wirranErrorHresult(uint32_t code) {
    return 0x80040000u | (code & 0xFFFFu);
}

namespace error_table_detail {

struct ErrorEntry {
    uint32_t code;
    const char* text;
};

#define WIRRAN_ERROR_ENTRY(code, name, text) {code, text},
#define WIRRAN_ERROR_TEXT_ENTRY(code, text) {code, text},
// Sorted by code, as error_codes.h lists them, so a lookup is a binary search.
inline constexpr ErrorEntry kErrors[] = {
    WIRRAN_ERRORS(WIRRAN_ERROR_ENTRY, WIRRAN_ERROR_TEXT_ENTRY)};
#undef WIRRAN_ERROR_ENTRY
#undef WIRRAN_ERROR_TEXT_ENTRY

constexpr bool sortedByCode() {
    for (size_t i = 1; i < std::size(kErrors); ++i)
        if (kErrors[i - 1].code >= kErrors[i].code) return false;
    return true;
}
static_assert(sortedByCode(), "error_codes.h must list each code once, in ascending order");

}  // namespace error_table_detail

// errorText returns the table's text for an identifier, or nullptr when the table has none.
inline const char* errorText(uint32_t hresult) {
    using error_table_detail::kErrors;
    if ((hresult & 0xFFFF0000u) != 0x80040000u) return nullptr;
    uint32_t code = hresult & 0xFFFFu;
    auto it = std::lower_bound(std::begin(kErrors), std::end(kErrors), code,
                               [](const auto& e, uint32_t c) { return e.code < c; });
    return it != std::end(kErrors) && it->code == code ? it->text : nullptr;
}

// errorTextOrUndefined returns the table's text, or "Undefined control error (0x%08lX)" with the
// full 32-bit value (eight upper-case hex digits) when the table has none.
inline std::string errorTextOrUndefined(uint32_t hresult) {
    if (const char* text = errorText(hresult)) return text;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Undefined control error (0x%08X)",
                  static_cast<unsigned>(hresult));
    return buffer;
}

// The number of entries in the table (every code with a text).
constexpr size_t errorTableSize() {
    return std::size(error_table_detail::kErrors);
}
