#pragma once
// BSTR: the Automation string. A BSTR points at UTF-16 code units that follow a 4-byte length
// prefix (the length in bytes) and are followed by a NUL code unit. The length, not the NUL,
// ends the string, so a BSTR may hold embedded NULs and even an odd number of bytes. A null
// BSTR is the empty string everywhere it is read.
//
//   Bstr name = Bstr::fromUtf8("Kestrine.Wirran");
//   someObject->put_Name(name.get());            // borrowed
//   Bstr text;
//   someObject->get_Text(text.put());            // adopted
//   std::string shown = text.utf8();
//
// Conversions: UTF-8 <-> UTF-16 for text, and ISO-8859-1 (one byte per code unit, both ways)
// for the byte strings that cross the socket layer, so any byte sequence survives the round trip
// bytes -> BSTR -> bytes.

#include <string>
#include <string_view>
#include <utility>

#include "platform/com/com.h"

using BSTR = OLECHAR*;

// SysAllocString copies a NUL-terminated string; nullptr for a null argument or out of memory.
BSTR SysAllocString(const OLECHAR* text);
// SysAllocStringLen allocates `length` code units, copies them from text when text is not null
// (else they are zeroed) and appends a NUL. nullptr when out of memory or too long.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// SysAllocStringByteLen allocates `length` bytes, copies them from bytes when not null (else
// zeroed) and appends a NUL code unit. nullptr when out of memory or too long.
BSTR SysAllocStringByteLen(const char* bytes, UINT length);
// SysReAllocString/SysReAllocStringLen replace *target with a copy (freeing the old one); FALSE
// when target is null or out of memory (the old string then stays).
INT SysReAllocString(BSTR* target, const OLECHAR* text);
INT SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT length);
// SysFreeString frees a BSTR; nullptr is allowed.
void SysFreeString(BSTR text);
// The length in code units (bytes / 2, rounded down) and in bytes; 0 for nullptr.
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

// The code units of a BSTR (empty for nullptr).
std::u16string_view bstrView(BSTR text);

// UTF-8 <-> UTF-16. Malformed UTF-8 and unpaired surrogates become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// New BSTRs from UTF-8 or from bytes (one code unit per byte, ISO-8859-1). nullptr only when out
// of memory; an empty input gives an empty (non-null) BSTR.
BSTR bstrFromUtf8(std::string_view utf8);
BSTR bstrFromLatin1(std::string_view bytes);
// The UTF-8 form of a BSTR.
std::string bstrToUtf8(BSTR text);
// The bytes of a BSTR, one per code unit: code units above 0xFF cannot be represented and become
// '?'; *lossy (when given) tells whether that happened.
std::string bstrToLatin1(BSTR text, bool* lossy = nullptr);

// Case-insensitive comparison of UTF-16 text with an ASCII name: letters A-Z fold, everything
// else must match exactly. Used for member and property names.
bool equalsIgnoreAsciiCase(std::u16string_view text, std::string_view ascii);

// Bstr owns one BSTR and frees it when it goes.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text);
    Bstr(const Bstr& other);
    Bstr(Bstr&& other) noexcept : m_s(std::exchange(other.m_s, nullptr)) {}
    ~Bstr() { SysFreeString(m_s); }
    Bstr& operator=(const Bstr& other);
    Bstr& operator=(Bstr&& other) noexcept;

    static Bstr fromUtf8(std::string_view utf8) { return adopt(bstrFromUtf8(utf8)); }
    static Bstr fromLatin1(std::string_view bytes) { return adopt(bstrFromLatin1(bytes)); }
    // Takes ownership of a BSTR the caller allocated.
    static Bstr adopt(BSTR s) {
        Bstr b;
        b.m_s = s;
        return b;
    }

    BSTR get() const { return m_s; }
    // Frees the held string and returns the slot for a callee to fill.
    BSTR* put() {
        reset();
        return &m_s;
    }
    BSTR detach() { return std::exchange(m_s, nullptr); }
    void reset() { SysFreeString(std::exchange(m_s, nullptr)); }
    // A fresh copy for an out parameter; nullptr when empty-and-null or out of memory.
    BSTR copy() const;

    UINT length() const { return SysStringLen(m_s); }
    bool empty() const { return length() == 0; }
    std::u16string_view view() const { return bstrView(m_s); }
    std::string utf8() const { return bstrToUtf8(m_s); }
    std::string latin1(bool* lossy = nullptr) const { return bstrToLatin1(m_s, lossy); }

    friend bool operator==(const Bstr& a, const Bstr& b) { return a.view() == b.view(); }

  private:
    BSTR m_s = nullptr;
};
