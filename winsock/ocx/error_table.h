#pragma once
// The control's message table: the text of each error code, looked up by its HRESULT form.
//
//   errorText(0x8004274C)        // "The specified operation has timed out"
//   errorTextOrUndefined(1)      // "Undefined control error (0x00000001)"
//
// Only identifiers of the form 0x80040000 + code are in the table; any other value (a bare code,
// an Automation HRESULT of facility 10) has no text there.

#include <cstdint>
#include <string>

// The HRESULT form of a control error code: 0x80040000 | code.
constexpr uint32_t wirranErrorHresult(uint32_t code) {
    return 0x80040000u | (code & 0xFFFFu);
}

// errorText returns the table's text for an identifier, or nullptr when the table has none.
const char* errorText(uint32_t hresult);

// errorTextOrUndefined returns the table's text, or "Undefined control error (0x%08lX)" with the
// full 32-bit value (eight upper-case hex digits) when the table has none.
std::string errorTextOrUndefined(uint32_t hresult);

// The number of entries in the table (every code with a text).
size_t errorTableSize();
