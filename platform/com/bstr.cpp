// BSTR allocation and the UTF-8 / ISO-8859-1 conversions.
//
// A BSTR block is [uint32 byte length][bytes][two zero bytes]; the BSTR points just after the
// length. The block comes from malloc, so SysFreeString frees (bstr - 4).

#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr uint32_t kMaxBytes = 0x7FFFFFF0u;  // keeps the block size far from overflow

uint32_t* header(BSTR s) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(s) - kPrefix);
}

BSTR allocBytes(const void* data, uint32_t bytes) {
    if (bytes > kMaxBytes) return nullptr;
    // Room for the prefix, the bytes, and a NUL code unit (plus one byte so an odd byte length
    // still ends in a whole zero code unit).
    char* block = static_cast<char*>(std::malloc(kPrefix + bytes + 3));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, kPrefix);
    if (data)
        std::memcpy(block + kPrefix, data, bytes);
    else
        std::memset(block + kPrefix, 0, bytes);
    std::memset(block + kPrefix + bytes, 0, 3);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

size_t textLength(const OLECHAR* text) {
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at utf8[i]; advances i past it (one byte for a malformed sequence).
char32_t decodeUtf8(std::string_view utf8, size_t& i) {
    auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    int extra;
    char32_t c;
    char32_t minimum;
    if ((b & 0xE0) == 0xC0) {
        extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= utf8.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        auto cont = static_cast<unsigned char>(utf8[i + k]);
        if ((cont & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = c << 6 | (cont & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return c;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    size_t n = textLength(text);
    if (n > kMaxBytes / 2) return nullptr;
    return allocBytes(text, static_cast<uint32_t>(n * 2));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > kMaxBytes / 2) return nullptr;
    return allocBytes(text, length * 2);
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) {
    return allocBytes(bytes, length);
}

INT SysReAllocString(BSTR* target, const OLECHAR* text) {
    if (!target) return FALSE;
    BSTR fresh = text ? SysAllocString(text) : SysAllocStringLen(nullptr, 0);
    if (!fresh) return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

INT SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT length) {
    if (!target) return FALSE;
    BSTR fresh = SysAllocStringLen(text, length);
    if (!fresh) return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

void SysFreeString(BSTR text) {
    if (text) std::free(header(text));
}

UINT SysStringByteLen(BSTR text) {
    return text ? *header(text) : 0;
}

UINT SysStringLen(BSTR text) {
    return SysStringByteLen(text) / 2;
}

std::u16string_view bstrView(BSTR text) {
    return text ? std::u16string_view(text, SysStringLen(text)) : std::u16string_view();
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = decodeUtf8(utf8, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

BSTR bstrFromUtf8(std::string_view utf8) {
    std::u16string wide = utf8ToUtf16(utf8);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

BSTR bstrFromLatin1(std::string_view bytes) {
    if (bytes.size() > kMaxBytes / 2) return nullptr;
    BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(bytes.size()));
    if (!s) return nullptr;
    for (size_t i = 0; i < bytes.size(); ++i)
        s[i] = static_cast<unsigned char>(bytes[i]);
    return s;
}

std::string bstrToUtf8(BSTR text) {
    return utf16ToUtf8(bstrView(text));
}

std::string bstrToLatin1(BSTR text, bool* lossy) {
    std::u16string_view view = bstrView(text);
    std::string out(view.size(), '\0');
    bool lost = false;
    for (size_t i = 0; i < view.size(); ++i) {
        if (view[i] > 0xFF) {
            out[i] = '?';
            lost = true;
        } else {
            out[i] = static_cast<char>(view[i]);
        }
    }
    if (lossy) *lossy = lost;
    return out;
}

bool equalsIgnoreAsciiCase(std::u16string_view text, std::string_view ascii) {
    if (text.size() != ascii.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t a = text[i];
        char16_t b = static_cast<unsigned char>(ascii[i]);
        if (a >= 'A' && a <= 'Z') a = a - 'A' + 'a';
        if (b >= 'A' && b <= 'Z') b = b - 'A' + 'a';
        if (a != b) return false;
    }
    return true;
}

Bstr::Bstr(std::u16string_view text)
    : m_s(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

Bstr::Bstr(const Bstr& other) : m_s(other.copy()) {}

Bstr& Bstr::operator=(const Bstr& other) {
    if (this != &other) {
        BSTR fresh = other.copy();
        reset();
        m_s = fresh;
    }
    return *this;
}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        reset();
        m_s = std::exchange(other.m_s, nullptr);
    }
    return *this;
}

BSTR Bstr::copy() const {
    return m_s ? SysAllocStringByteLen(reinterpret_cast<const char*>(m_s), SysStringByteLen(m_s))
               : nullptr;
}
