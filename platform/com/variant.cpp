// VARIANT lifetime: init, clear, copy, copy through references, and the Variant wrapper.

#include "platform/com/variant.h"

#include <cstring>
#include <string>

#include "platform/com/dispatch.h"

namespace {

// True for the types a VARIANT may carry here (with VT_BYREF / VT_ARRAY already stripped for
// the base type check).
bool knownType(VARTYPE vt) {
    VARTYPE base = vt & VT_TYPEMASK;
    if (vt & ~(VT_TYPEMASK | VT_BYREF | VT_ARRAY)) return false;
    if (base == VT_VARIANT) return (vt & (VT_BYREF | VT_ARRAY)) != 0;
    if (base == VT_EMPTY || base == VT_NULL) return (vt & (VT_BYREF | VT_ARRAY)) == 0;
    return variantScalarSize(base) != 0 || base == VT_BSTR || base == VT_UNKNOWN ||
           base == VT_DISPATCH;
}

void zeroValue(VARIANT* v) {
    std::memset(reinterpret_cast<char*>(v) + offsetof(VARIANT, llVal), 0,
                sizeof(VARIANT) - offsetof(VARIANT, llVal));
}

BSTR copyBstr(BSTR s, HRESULT* hr) {
    *hr = S_OK;
    if (!s) return nullptr;
    BSTR copy = SysAllocStringByteLen(reinterpret_cast<const char*>(s), SysStringByteLen(s));
    if (!copy) *hr = E_OUTOFMEMORY;
    return copy;
}

// Copies the value of a non-reference src into a cleared dest.
HRESULT copyValue(VARIANT* dest, const VARIANT* src) {
    HRESULT hr = S_OK;
    VARIANT out = *src;
    if (src->vt & (VT_BYREF)) {
        // References are copied as references.
    } else if (src->vt & VT_ARRAY) {
        out.parray = nullptr;
        if (src->parray) hr = SafeArrayCopy(src->parray, &out.parray);
    } else if (src->vt == VT_BSTR) {
        out.bstrVal = copyBstr(src->bstrVal, &hr);
    } else if (src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) {
        if (src->punkVal) src->punkVal->AddRef();
    }
    if (FAILED(hr)) return hr;
    *dest = out;
    return S_OK;
}

}  // namespace

UINT variantScalarSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            return 8;
        default:
            return 0;
    }
}

void VariantInit(VARIANT* v) {
    if (!v) return;
    v->vt = VT_EMPTY;
    v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
    zeroValue(v);
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!knownType(v->vt)) return DISP_E_BADVARTYPE;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            if (v->parray) {
                HRESULT hr = SafeArrayDestroy(v->parray);
                if (FAILED(hr)) return hr;
            }
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if (v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) {
            if (v->punkVal) v->punkVal->Release();
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    if (!knownType(src->vt)) return DISP_E_BADVARTYPE;
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) return hr;
    return copyValue(dest, src);
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (!(src->vt & VT_BYREF)) return VariantCopy(dest, src);
    if (!knownType(src->vt)) return DISP_E_BADVARTYPE;
    if (!src->byref) return E_INVALIDARG;

    // Build the dereferenced value first: dest may be src.
    VARTYPE base = src->vt & ~VT_BYREF;
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = S_OK;
    if (base == VT_VARIANT) {
        const VARIANT* target = src->pvarVal;
        // A reference to a reference to a VARIANT is not a value.
        if (target->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
        hr = VariantCopyInd(&value, target);
    } else if (base & VT_ARRAY) {
        value.vt = base;
        if (*src->pparray) hr = SafeArrayCopy(*src->pparray, &value.parray);
    } else if (base == VT_BSTR) {
        value.vt = VT_BSTR;
        value.bstrVal = copyBstr(*src->pbstrVal, &hr);
    } else if (base == VT_UNKNOWN || base == VT_DISPATCH) {
        value.vt = base;
        value.punkVal = *src->ppunkVal;
        if (value.punkVal) value.punkVal->AddRef();
    } else {
        value.vt = base;
        std::memcpy(&value.llVal, src->byref, variantScalarSize(base));
    }
    if (FAILED(hr)) {
        VariantClear(&value);
        return hr;
    }
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&value);
        return hr;
    }
    *dest = value;
    return S_OK;
}

const VARIANT* variantDeref(const VARIANT* v) {
    return (v && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) ? v->pvarVal : v;
}

VARIANT* variantDeref(VARIANT* v) {
    return (v && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) ? v->pvarVal : v;
}

bool isMissingArg(const VARIANT* v) {
    if (!v) return true;
    const VARIANT* d = variantDeref(v);
    return d->vt == VT_EMPTY || d->vt == VT_ERROR;
}

HRESULT writeCountToVariant(VARIANT* target, ULONG count) {
    if (!target) return E_INVALIDARG;
    if (target->vt == (VT_BYREF | VT_VARIANT)) {
        VARIANT* inner = target->pvarVal;
        if (!inner || inner->vt == (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
        return writeCountToVariant(inner, count);
    }
    if (!(target->vt & VT_BYREF)) {
        if (target->vt == VT_ERROR) return E_INVALIDARG;
        HRESULT hr = VariantClear(target);
        if (FAILED(hr)) return hr;
        target->vt = VT_I4;
        target->lVal = static_cast<LONG>(count);
        return S_OK;
    }
    if (!target->byref) return E_INVALIDARG;
    switch (target->vt & ~VT_BYREF) {
        case VT_I2:
            if (count > 65535) return CTL_E_OVERFLOW;
            *target->piVal = static_cast<SHORT>(static_cast<USHORT>(count));
            return S_OK;
        case VT_I4:
            *target->plVal = static_cast<LONG>(count);
            return S_OK;
        case VT_R4:
            *target->pfltVal = static_cast<FLOAT>(count);
            return S_OK;
        case VT_R8:
            *target->pdblVal = static_cast<DOUBLE>(count);
            return S_OK;
        case VT_BSTR: {
            BSTR text = bstrFromUtf8(std::to_string(count));
            if (!text) return E_OUTOFMEMORY;
            SysFreeString(*target->pbstrVal);
            *target->pbstrVal = text;
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

// ---- Variant ---------------------------------------------------------------------------------

Variant::Variant(std::u16string_view text) : Variant() {
    BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (s) {
        vt = VT_BSTR;
        bstrVal = s;
    }
}

Variant::Variant(Variant&& other) noexcept : Variant() {
    *static_cast<VARIANT*>(this) = other;
    VariantInit(&other);
}

Variant& Variant::operator=(const Variant& other) {
    VariantCopy(this, &other);
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        clear();
        *static_cast<VARIANT*>(this) = other;
        VariantInit(&other);
    }
    return *this;
}

Variant Variant::fromUtf8(std::string_view utf8) {
    return adoptBstr(bstrFromUtf8(utf8));
}

Variant Variant::fromLatin1(std::string_view bytes) {
    return adoptBstr(bstrFromLatin1(bytes));
}

Variant Variant::adoptBstr(BSTR s) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = s;
    return v;
}

Variant Variant::missing() {
    return error(DISP_E_PARAMNOTFOUND);
}

Variant Variant::error(SCODE code) {
    Variant v;
    v.vt = VT_ERROR;
    v.scode = code;
    return v;
}

Variant Variant::byRef(VARIANT* target) {
    return byRef(VT_VARIANT, target);
}

Variant Variant::byRef(VARTYPE type, void* target) {
    Variant v;
    v.vt = static_cast<VARTYPE>(type | VT_BYREF);
    v.byref = target;
    return v;
}

Variant Variant::adopt(VARIANT* source) {
    Variant v;
    if (source) {
        *static_cast<VARIANT*>(&v) = *source;
        VariantInit(source);
    }
    return v;
}

Variant Variant::fromUnknown(IUnknown* p) {
    Variant v;
    v.vt = VT_UNKNOWN;
    v.punkVal = p;
    if (p) p->AddRef();
    return v;
}

Variant Variant::fromDispatch(IDispatch* p) {
    Variant v;
    v.vt = VT_DISPATCH;
    v.pdispVal = p;
    if (p) p->AddRef();
    return v;
}

void Variant::detachTo(VARIANT* out) {
    *out = *this;
    VariantInit(this);
}
