#include "winsock/ocx/arguments.h"

HRESULT optionalLong(const VARIANT& arg, LONG fallback, LONG* out) {
    if (isMissingArg(&arg)) {
        *out = fallback;
        return S_OK;
    }
    // A 32-bit number, what hosts pass nearly always, needs no conversion (the one call per
    // Read or Write that would otherwise cost as much as the rest of the argument work).
    if (arg.vt == VT_I4) {
        *out = arg.lVal;
        return S_OK;
    }
    Variant converted;
    HRESULT hr = VariantChangeType(&converted, &arg, 0, VT_I4);
    if (FAILED(hr)) return hr;
    *out = converted.lVal;
    return S_OK;
}

HRESULT optionalString(const VARIANT& arg, BSTR fallback, Bstr* out) {
    if (isMissingArg(&arg)) {
        *out = Bstr(bstrView(fallback));
        return S_OK;
    }
    Variant converted;
    HRESULT hr = VariantChangeType(&converted, &arg, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    *out = Bstr::adopt(converted.bstrVal);
    converted.vt = VT_EMPTY;  // the string now belongs to *out
    return S_OK;
}

void setLongResult(VARIANT* result, LONG value) {
    VariantClear(result);
    result->vt = VT_I4;
    result->lVal = value;
}

void setBoolResult(VARIANT* result, bool value) {
    VariantClear(result);
    result->vt = VT_BOOL;
    result->boolVal = toVariantBool(value);
}
