// VariantChangeType: the conversions between VARIANT types (rules in variant.h).
//
// Every numeric source is first read into a Number (an exact signed or unsigned integer, a
// double, or a currency amount); every numeric target is then written from a Number with its
// own range check. Strings parse into a Number and numbers format into strings, so each pair of
// types needs no code of its own.

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

namespace {

struct Number {
    enum Kind { Int, UInt, Real, Currency } kind = Int;
    int64_t i = 0;   // Int, Currency (scaled by 10000)
    uint64_t u = 0;  // UInt
    double d = 0;    // Real
    bool fromBool = false;
};

bool isNumericType(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_DATE:
        case VT_CY:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

Number readNumber(const VARIANT& v) {
    Number n;
    switch (v.vt) {
        case VT_EMPTY:
            break;
        case VT_I1:
            n.i = v.cVal;
            break;
        case VT_I2:
            n.i = v.iVal;
            break;
        case VT_I4:
        case VT_INT:
            n.i = v.lVal;
            break;
        case VT_I8:
            n.i = v.llVal;
            break;
        case VT_BOOL:
            n.i = v.boolVal ? -1 : 0;
            n.fromBool = true;
            break;
        case VT_UI1:
            n.kind = Number::UInt, n.u = v.bVal;
            break;
        case VT_UI2:
            n.kind = Number::UInt, n.u = v.uiVal;
            break;
        case VT_UI4:
        case VT_UINT:
            n.kind = Number::UInt, n.u = v.ulVal;
            break;
        case VT_UI8:
            n.kind = Number::UInt, n.u = v.ullVal;
            break;
        case VT_R4:
            n.kind = Number::Real, n.d = v.fltVal;
            break;
        case VT_R8:
        case VT_DATE:
            n.kind = Number::Real, n.d = v.dblVal;
            break;
        case VT_CY:
            n.kind = Number::Currency, n.i = v.cyVal.int64;
            break;
        default:
            break;
    }
    return n;
}

bool isZero(const Number& n) {
    switch (n.kind) {
        case Number::Int:
        case Number::Currency:
            return n.i == 0;
        case Number::UInt:
            return n.u == 0;
        case Number::Real:
            return n.d == 0;
    }
    return true;
}

// Currency to a whole number, rounding half to even.
int64_t roundCurrency(int64_t cy) {
    int64_t q = cy / 10000;
    int64_t r = cy % 10000;
    int64_t ar = r < 0 ? -r : r;
    if (ar > 5000 || (ar == 5000 && (q % 2 != 0))) q += (cy < 0 ? -1 : 1);
    return q;
}

double asDouble(const Number& n) {
    switch (n.kind) {
        case Number::Int:
            return static_cast<double>(n.i);
        case Number::UInt:
            return static_cast<double>(n.u);
        case Number::Real:
            return n.d;
        case Number::Currency:
            return static_cast<double>(n.i) / 10000.0;
    }
    return 0;
}

// A whole number in [lo, hi] from n; DISP_E_OVERFLOW outside.
HRESULT toSigned(const Number& n, int64_t lo, int64_t hi, int64_t* out) {
    int64_t v;
    switch (n.kind) {
        case Number::Int:
            v = n.i;
            break;
        case Number::UInt:
            if (n.u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
                return DISP_E_OVERFLOW;
            v = static_cast<int64_t>(n.u);
            break;
        case Number::Currency:
            v = roundCurrency(n.i);
            break;
        case Number::Real: {
            double r = std::nearbyint(n.d);  // the default rounding: half to even
            if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return DISP_E_OVERFLOW;
            v = static_cast<int64_t>(r);
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (v < lo || v > hi) return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

HRESULT toUnsigned(const Number& n, uint64_t hi, uint64_t* out) {
    if (n.fromBool) {
        // TRUE is -1: all bits of the target set.
        *out = n.i ? hi : 0;
        return S_OK;
    }
    uint64_t v;
    switch (n.kind) {
        case Number::Int:
            if (n.i < 0) return DISP_E_OVERFLOW;
            v = static_cast<uint64_t>(n.i);
            break;
        case Number::UInt:
            v = n.u;
            break;
        case Number::Currency: {
            int64_t w = roundCurrency(n.i);
            if (w < 0) return DISP_E_OVERFLOW;
            v = static_cast<uint64_t>(w);
            break;
        }
        case Number::Real: {
            double r = std::nearbyint(n.d);
            if (!(r >= 0.0 && r < 18446744073709551616.0)) return DISP_E_OVERFLOW;
            v = static_cast<uint64_t>(r);
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (v > hi) return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

HRESULT toCurrency(const Number& n, int64_t* out) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max() / 10000;
    switch (n.kind) {
        case Number::Currency:
            *out = n.i;
            return S_OK;
        case Number::Int:
            if (n.i > kMax || n.i < -kMax) return DISP_E_OVERFLOW;
            *out = n.i * 10000;
            return S_OK;
        case Number::UInt:
            if (n.u > static_cast<uint64_t>(kMax)) return DISP_E_OVERFLOW;
            *out = static_cast<int64_t>(n.u) * 10000;
            return S_OK;
        case Number::Real: {
            double r = std::nearbyint(n.d * 10000.0);
            if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return DISP_E_OVERFLOW;
            *out = static_cast<int64_t>(r);
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

// Writes n into out as type vt (a numeric type). out is a cleared VARIANT.
HRESULT writeNumber(const Number& n, VARTYPE vt, VARIANT* out) {
    int64_t s;
    uint64_t u;
    HRESULT hr = S_OK;
    switch (vt) {
        case VT_I1:
            if (SUCCEEDED(hr = toSigned(n, INT8_MIN, INT8_MAX, &s)))
                out->cVal = static_cast<CHAR>(s);
            break;
        case VT_I2:
            if (SUCCEEDED(hr = toSigned(n, INT16_MIN, INT16_MAX, &s)))
                out->iVal = static_cast<SHORT>(s);
            break;
        case VT_I4:
        case VT_INT:
            if (SUCCEEDED(hr = toSigned(n, INT32_MIN, INT32_MAX, &s)))
                out->lVal = static_cast<LONG>(s);
            break;
        case VT_I8:
            if (SUCCEEDED(hr = toSigned(n, INT64_MIN, INT64_MAX, &s))) out->llVal = s;
            break;
        case VT_UI1:
            if (SUCCEEDED(hr = toUnsigned(n, UINT8_MAX, &u))) out->bVal = static_cast<BYTE>(u);
            break;
        case VT_UI2:
            if (SUCCEEDED(hr = toUnsigned(n, UINT16_MAX, &u))) out->uiVal = static_cast<USHORT>(u);
            break;
        case VT_UI4:
        case VT_UINT:
            if (SUCCEEDED(hr = toUnsigned(n, UINT32_MAX, &u))) out->ulVal = static_cast<ULONG>(u);
            break;
        case VT_UI8:
            if (SUCCEEDED(hr = toUnsigned(n, UINT64_MAX, &u))) out->ullVal = u;
            break;
        case VT_R4: {
            double d = asDouble(n);
            if (d > FLT_MAX || d < -FLT_MAX) return DISP_E_OVERFLOW;
            out->fltVal = static_cast<FLOAT>(d);
            break;
        }
        case VT_R8:
            out->dblVal = asDouble(n);
            break;
        case VT_DATE: {
            // The range of dates: 1 January 100 to 31 December 9999.
            double d = asDouble(n);
            if (!(d >= -657434.0 && d < 2958466.0)) return DISP_E_OVERFLOW;
            out->date = d;
            break;
        }
        case VT_CY:
            hr = toCurrency(n, &out->cyVal.int64);
            break;
        case VT_BOOL:
            out->boolVal = isZero(n) ? VARIANT_FALSE : VARIANT_TRUE;
            break;
        default:
            return DISP_E_BADVARTYPE;
    }
    if (SUCCEEDED(hr)) out->vt = vt;
    return hr;
}

// ---- Text ------------------------------------------------------------------------------------

bool isBlank(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0;
}

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// "&H1F" / "&O17": an unsigned value of that base.
HRESULT parseRadix(std::u16string_view digits, unsigned base, Number* out) {
    if (digits.empty()) return DISP_E_TYPEMISMATCH;
    uint64_t v = 0;
    for (char16_t c : digits) {
        unsigned d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return DISP_E_TYPEMISMATCH;
        if (d >= base) return DISP_E_TYPEMISMATCH;
        if (v > (UINT64_MAX - d) / base) return DISP_E_OVERFLOW;
        v = v * base + d;
    }
    out->kind = Number::UInt;
    out->u = v;
    return S_OK;
}

// The decimal exponent of the first significant digit of a well-formed unsigned number text
// ("123.4" -> 3, "0.05" -> -1, "1E400" -> 401); used to tell overflow from underflow.
long decimalMagnitude(std::string_view ascii) {
    size_t e = ascii.find_first_of("eE");
    std::string_view mantissa = ascii.substr(0, e);
    long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = ascii.substr(e + 1);
        bool minus = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
        for (char c : digits)
            exponent = std::min(exponent * 10 + (c - '0'), 100000L);
        if (minus) exponent = -exponent;
    }
    size_t dot = mantissa.find('.');
    if (dot == std::string_view::npos) dot = mantissa.size();
    size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return std::numeric_limits<long>::min();
    long magnitude =
        first < dot ? static_cast<long>(dot - first) : -static_cast<long>(first - dot - 1);
    return magnitude + exponent;
}

HRESULT parseNumber(std::u16string_view text, Number* out) {
    std::u16string_view s = trim(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h') return parseRadix(s.substr(2), 16, out);
        if (s[1] == 'O' || s[1] == 'o') return parseRadix(s.substr(2), 8, out);
        return DISP_E_TYPEMISMATCH;
    }
    // [sign] digits [. digits] [E [sign] digits], checked by hand so that only this shape passes
    // (from_chars would accept "inf" and "nan").
    std::string ascii;
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    size_t intStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    size_t intDigits = i - intStart;
    size_t fracDigits = 0;
    bool real = false;
    if (i < s.size() && s[i] == '.') {
        real = true;
        size_t fracStart = ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        fracDigits = i - fracStart;
    }
    if (intDigits + fracDigits == 0) return DISP_E_TYPEMISMATCH;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        real = true;
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expStart = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        if (i == expStart) return DISP_E_TYPEMISMATCH;
    }
    if (i != s.size()) return DISP_E_TYPEMISMATCH;

    if (!real) {
        uint64_t v = 0;
        bool fits = true;
        for (size_t k = intStart; k < intStart + intDigits; ++k) {
            unsigned d = s[k] - '0';
            if (v > (UINT64_MAX - d) / 10) {
                fits = false;
                break;
            }
            v = v * 10 + d;
        }
        if (fits && !negative) {
            if (v <= static_cast<uint64_t>(INT64_MAX)) {
                out->kind = Number::Int, out->i = static_cast<int64_t>(v);
            } else {
                out->kind = Number::UInt, out->u = v;
            }
            return S_OK;
        }
        if (fits && v <= static_cast<uint64_t>(INT64_MAX) + 1) {
            out->kind = Number::Int;
            out->i = static_cast<int64_t>(0 - v);
            return S_OK;
        }
        // Too long for 64 bits: a (large) real number, which any integer target refuses.
    }
    for (size_t k = (s[0] == '+' || s[0] == '-') ? 1 : 0; k < s.size(); ++k)
        ascii += static_cast<char>(s[k]);
    double d = 0;
    auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), d);
    if (ec == std::errc::result_out_of_range) {
        // Too small is a zero; too large is out of any range.
        if (decimalMagnitude(ascii) > 0) return DISP_E_OVERFLOW;
        d = 0;
    } else if (ec != std::errc() || end != ascii.data() + ascii.size()) {
        return DISP_E_TYPEMISMATCH;
    }
    out->kind = Number::Real;
    out->d = negative ? -d : d;
    return S_OK;
}

std::string formatReal(double d, int precision) {
    if (d == 0) return "0";
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, precision);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

std::string formatNumber(const Number& n, VARTYPE sourceType) {
    switch (n.kind) {
        case Number::Int:
            return std::to_string(n.i);
        case Number::UInt:
            return std::to_string(n.u);
        case Number::Real:
            return formatReal(n.d, sourceType == VT_R4 ? 7 : 15);
        case Number::Currency: {
            uint64_t mag = n.i < 0 ? 0 - static_cast<uint64_t>(n.i) : static_cast<uint64_t>(n.i);
            std::string text = (n.i < 0 ? "-" : "") + std::to_string(mag / 10000);
            uint64_t frac = mag % 10000;
            if (frac) {
                std::string digits = std::to_string(frac + 10000).substr(1);
                while (digits.back() == '0')
                    digits.pop_back();
                text += "." + digits;
            }
            return text;
        }
    }
    return std::string();
}

HRESULT putText(const std::string& text, VARIANT* out) {
    BSTR s = bstrFromUtf8(text);
    if (!s) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = s;
    return S_OK;
}

// ---- Special conversions ------------------------------------------------------------------

HRESULT vectorFromBstr(BSTR s, VARIANT* out) {
    UINT bytes = SysStringByteLen(s);
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, bytes);
    if (!psa) return E_OUTOFMEMORY;
    if (bytes) std::memcpy(psa->pvData, s, bytes);
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = psa;
    return S_OK;
}

HRESULT bstrFromVector(SAFEARRAY* psa, VARIANT* out) {
    if (!psa || SafeArrayGetDim(psa) != 1) return DISP_E_TYPEMISMATCH;
    ULONG bytes = safeArrayElementCount(psa);
    BSTR s = SysAllocStringByteLen(static_cast<const char*>(psa->pvData), bytes);
    if (!s) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = s;
    return S_OK;
}

HRESULT valueProperty(IDispatch* object, VARIANT* value) {
    if (!object) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value,
                                nullptr, nullptr);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

// Converts a non-reference, valid `from` into a cleared `to`.
HRESULT coerce(VARIANT* to, const VARIANT* from, USHORT flags, VARTYPE vt) {
    VARTYPE fv = from->vt;
    if (fv == vt) return VariantCopy(to, from);
    if (vt == VT_EMPTY) return S_OK;
    if (vt == (VT_ARRAY | VT_UI1) && fv == VT_BSTR) return vectorFromBstr(from->bstrVal, to);
    if (vt == VT_BSTR && fv == (VT_ARRAY | VT_UI1)) return bstrFromVector(from->parray, to);
    if ((vt & (VT_ARRAY | VT_BYREF)) || (fv & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    if (vt == VT_NULL) {
        if (fv != VT_EMPTY) return DISP_E_TYPEMISMATCH;
        to->vt = VT_NULL;
        return S_OK;
    }
    if (fv == VT_NULL) return DISP_E_TYPEMISMATCH;

    if (vt == VT_UNKNOWN) {
        if (fv != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        to->vt = VT_UNKNOWN;
        to->punkVal = from->pdispVal;
        if (to->punkVal) to->punkVal->AddRef();
        return S_OK;
    }
    if (vt == VT_DISPATCH) {
        if (fv != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
        IDispatch* d = nullptr;
        if (from->punkVal &&
            FAILED(from->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))))
            return DISP_E_TYPEMISMATCH;
        to->vt = VT_DISPATCH;
        to->pdispVal = d;
        return S_OK;
    }
    if (fv == VT_DISPATCH) {
        if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
        Variant value;
        HRESULT hr = valueProperty(from->pdispVal, &value);
        if (FAILED(hr)) return hr;
        return VariantChangeType(to, &value, flags | VARIANT_NOVALUEPROP, vt);
    }
    if (fv == VT_UNKNOWN) return DISP_E_TYPEMISMATCH;

    if (vt == VT_ERROR) {
        if (fv != VT_I4 && fv != VT_UI4) return DISP_E_TYPEMISMATCH;
        to->vt = VT_ERROR;
        to->scode = from->lVal;
        return S_OK;
    }
    if (fv == VT_ERROR) {
        if (vt != VT_I4 && vt != VT_UI4) return DISP_E_TYPEMISMATCH;
        to->vt = vt;
        to->lVal = from->scode;
        return S_OK;
    }

    if (vt == VT_BSTR) {
        if (fv == VT_EMPTY) return putText(std::string(), to);
        if (fv == VT_DATE) return DISP_E_TYPEMISMATCH;
        if (fv == VT_BOOL && (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)))
            return putText(from->boolVal ? "True" : "False", to);
        if (!isNumericType(fv)) return DISP_E_BADVARTYPE;
        return putText(formatNumber(readNumber(*from), fv), to);
    }

    if (!isNumericType(vt)) return DISP_E_BADVARTYPE;
    Number n;
    if (fv == VT_BSTR) {
        if (vt == VT_DATE) return DISP_E_TYPEMISMATCH;
        std::u16string_view text = bstrView(from->bstrVal);
        if (vt == VT_BOOL) {
            std::u16string_view word = trim(text);
            if (equalsIgnoreAsciiCase(word, "true") || equalsIgnoreAsciiCase(word, "false")) {
                to->vt = VT_BOOL;
                to->boolVal = equalsIgnoreAsciiCase(word, "true") ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            }
        }
        HRESULT hr = parseNumber(text, &n);
        if (FAILED(hr)) return hr;
    } else if (fv == VT_EMPTY || isNumericType(fv)) {
        n = readNumber(*from);
    } else {
        return DISP_E_BADVARTYPE;
    }
    return writeNumber(n, vt, to);
}

bool validTarget(VARTYPE vt) {
    if (vt & VT_BYREF) return true;  // refused later as a mismatch
    if (vt == (VT_ARRAY | VT_UI1)) return true;
    if (vt & VT_ARRAY)
        return isNumericType(vt & VT_TYPEMASK) || (vt & VT_TYPEMASK) == VT_BSTR ||
               (vt & VT_TYPEMASK) == VT_VARIANT;
    return vt == VT_EMPTY || vt == VT_NULL || vt == VT_BSTR || vt == VT_ERROR || vt == VT_UNKNOWN ||
           vt == VT_DISPATCH || isNumericType(vt);
}

}  // namespace

HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID, USHORT flags, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    if (!validTarget(vt)) return DISP_E_BADVARTYPE;
    Variant from;
    HRESULT hr = VariantCopyInd(&from, src);
    if (FAILED(hr)) return hr;
    Variant to;
    hr = coerce(&to, &from, flags, vt);
    if (FAILED(hr)) return hr;
    hr = VariantClear(dest);
    if (FAILED(hr)) return hr;
    to.detachTo(dest);
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
    return VariantChangeTypeEx(dest, src, 0, flags, vt);
}
