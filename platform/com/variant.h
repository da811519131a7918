#pragma once
// VARIANT: the Automation value, a type tag (VARTYPE) and a 16-byte union, with the Windows
// layout (24 bytes). VariantClear frees what a VARIANT owns (a BSTR, an interface reference, a
// SAFEARRAY); VariantCopy copies deeply; VariantChangeType converts between types.
//
//   Variant length(int32_t{2048});              // VT_I4
//   Variant text = Variant::fromUtf8("4000");  // VT_BSTR
//   if (SUCCEEDED(text.changeType(VT_I4))) use(text.lVal);
//
// Conversions (VariantChangeType), in this runtime's invariant locale:
// - Integers, floats, VT_CY, VT_DATE and VT_BOOL convert to each other; a value outside the
//   target's range gives DISP_E_OVERFLOW; floats round half to even. VT_BOOL is 0 or -1
//   (VARIANT_TRUE), so TRUE becomes -1 (all bits set for unsigned targets); non-zero becomes TRUE.
// - Strings parse as decimal numbers: optional blanks, sign, digits, a "." fraction and an
//   "E" exponent; "&H" and "&O" prefixes give hexadecimal and octal values (as unsigned values,
//   range-checked like any other). Anything else, the empty string included, is
//   DISP_E_TYPEMISMATCH. "True" and "False" (any case) also convert to VT_BOOL.
// - Numbers format as decimal text ("." as separator, up to 15 significant digits for VT_R8 and
//   7 for VT_R4). VT_BOOL formats as "-1"/"0", or "True"/"False" with VARIANT_ALPHABOOL.
// - VT_EMPTY is 0, "" or FALSE; VT_NULL converts to nothing but VT_NULL and VT_EMPTY.
// - VT_ERROR converts to and from VT_I4 and VT_UI4 only.
// - VT_DISPATCH is asked for its value property (DISPID_VALUE) unless VARIANT_NOVALUEPROP is
//   given; VT_UNKNOWN -> VT_DISPATCH uses QueryInterface.
// - VT_BSTR <-> VT_ARRAY|VT_UI1 copies the string's bytes.
// - A by-reference source is followed first; a by-reference or array target (other than the
//   above) is DISP_E_TYPEMISMATCH, an unknown type DISP_E_BADVARTYPE. VT_DATE has no text form
//   here: VT_DATE <-> VT_BSTR is DISP_E_TYPEMISMATCH.

#include <string_view>

#include "platform/com/bstr.h"
#include "platform/com/safearray.h"

struct IDispatch;

using VARIANT_BOOL = int16_t;
using DATE = double;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Currency: a 64-bit integer scaled by 10000.
struct CY {
    LONGLONG int64;
};

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// VariantChangeType flags.
constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
constexpr USHORT VARIANT_ALPHABOOL = 0x02;
constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
constexpr USHORT VARIANT_LOCALBOOL = 0x10;

struct VariantRecord {
    void* pvRecord;
    void* pRecInfo;
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        CHAR* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        VariantRecord brecord;
    };
};
using VARIANTARG = VARIANT;

// VariantInit makes a VT_EMPTY variant without reading the old content.
void VariantInit(VARIANT* v);
// VariantClear frees what v owns and leaves VT_EMPTY. DISP_E_BADVARTYPE for a type it does not
// know (v is then left alone), DISP_E_ARRAYISLOCKED for a locked array, E_INVALIDARG for null.
// By-reference variants own nothing and are just reset.
HRESULT VariantClear(VARIANT* v);
// VariantCopy clears dest, then copies src deeply (by-reference variants are copied as
// references). E_INVALIDARG for null, DISP_E_BADVARTYPE, E_OUTOFMEMORY.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// VariantCopyInd is VariantCopy that first follows a by-reference src to the value it refers to.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);
// VariantChangeType converts src into dest as the header comment describes; dest may be src.
// On failure dest is left unchanged. DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, DISP_E_BADVARTYPE,
// E_INVALIDARG for null, E_OUTOFMEMORY.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);
// The locale is ignored: every conversion uses the invariant rules above.
HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt);

// The value a by-reference VARIANT of type VT_BYREF|VT_VARIANT points at, followed once; v itself
// otherwise. Never null for a non-null v.
const VARIANT* variantDeref(const VARIANT* v);
VARIANT* variantDeref(VARIANT* v);

// variantScalarSize is the size in bytes of a value of a fixed-size scalar type (1 for VT_I1 and
// VT_UI1; 2 for VT_I2, VT_UI2, VT_BOOL; 4 for VT_I4, VT_UI4, VT_INT, VT_UINT, VT_R4, VT_ERROR; 8
// for VT_I8, VT_UI8, VT_R8, VT_CY, VT_DATE), 0 for every other type.
UINT variantScalarSize(VARTYPE vt);

// isMissingArg tells whether an optional argument counts as absent: VT_EMPTY or VT_ERROR (the
// way hosts pass an omitted argument), after following VT_BYREF|VT_VARIANT once. nullptr is
// absent too.
bool isMissingArg(const VARIANT* v);

// writeCountToVariant stores a byte count into a caller's output argument. A by-reference target
// receives it in its own type: VT_I2 (65535 at most, stored as its 16-bit pattern; more gives
// CTL_E_OVERFLOW), VT_I4, VT_R4, VT_R8, or VT_BSTR as decimal text; VT_BYREF|VT_VARIANT is
// followed; any other referenced type, a by-reference array included, gives DISP_E_TYPEMISMATCH.
// A VT_ERROR target (an omitted argument) gives E_INVALIDARG. Anything else is cleared and
// becomes VT_I4. E_INVALIDARG for null.
HRESULT writeCountToVariant(VARIANT* target, ULONG count);

// Variant owns one VARIANT (it IS a VARIANT, so &v passes where a VARIANT* is wanted).
class Variant : public VARIANT {
  public:
    Variant() { VariantInit(this); }
    explicit Variant(int32_t value) : Variant() { setI4(value); }
    explicit Variant(bool value) : Variant() {
        vt = VT_BOOL;
        boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    explicit Variant(double value) : Variant() {
        vt = VT_R8;
        dblVal = value;
    }
    // A VT_BSTR copy of UTF-16 text.
    explicit Variant(std::u16string_view text);
    explicit Variant(const char16_t* text) : Variant(std::u16string_view(text ? text : u"")) {}
    // Narrow text has no single meaning here (UTF-8? bytes?): say which with fromUtf8 or
    // fromLatin1. Without this a literal would quietly become VT_BOOL TRUE.
    explicit Variant(const char*) = delete;
    // Borrows nothing: the VARIANT is deep-copied (VariantCopy). A failed copy leaves VT_EMPTY.
    explicit Variant(const VARIANT& other) : Variant() { VariantCopy(this, &other); }
    Variant(const Variant& other) : Variant() { VariantCopy(this, &other); }
    Variant(Variant&& other) noexcept;
    ~Variant() { VariantClear(this); }
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;

    static Variant fromUtf8(std::string_view utf8);
    static Variant fromLatin1(std::string_view bytes);
    // Takes ownership of a BSTR.
    static Variant adoptBstr(BSTR s);
    // VT_ERROR with DISP_E_PARAMNOTFOUND: an omitted optional argument.
    static Variant missing();
    static Variant error(SCODE code);
    // A VT_BYREF|VT_VARIANT reference to target (which must outlive the Variant).
    static Variant byRef(VARIANT* target);
    // A VT_BYREF|vt reference to a typed slot (VT_BSTR -> BSTR*, VT_I4 -> LONG*, ...).
    static Variant byRef(VARTYPE vt, void* target);
    // Adopts everything v owns; v is left VT_EMPTY.
    static Variant adopt(VARIANT* v);
    // Takes a new reference to an interface (VT_UNKNOWN or VT_DISPATCH by the static type).
    static Variant fromUnknown(IUnknown* p);
    static Variant fromDispatch(IDispatch* p);

    void clear() { VariantClear(this); }
    void setI4(int32_t value) {
        clear();
        vt = VT_I4;
        lVal = value;
    }
    // Converts in place (VariantChangeType); the old value stays on failure.
    HRESULT changeType(VARTYPE type, USHORT flags = 0) {
        return VariantChangeType(this, this, flags, type);
    }
    // Moves the content out into a plain VARIANT (for an out parameter); this becomes VT_EMPTY.
    void detachTo(VARIANT* out);

    // Text of a VT_BSTR (empty for other types).
    std::string utf8() const { return vt == VT_BSTR ? bstrToUtf8(bstrVal) : std::string(); }
};
