#pragma once
// Argument conversion for the control's members: optional VARIANT arguments coerced with the
// platform's VARIANT conversion, and results written into [out, retval] VARIANTs.
//
//   LONG port;
//   if (HRESULT hr = optionalLong(RemotePort, m_remotePort, &port); FAILED(hr)) return hr;
//
// An argument that is VT_EMPTY or VT_ERROR (the way hosts pass an omitted one), also behind a
// by-reference VARIANT, counts as absent and gives the fallback. A conversion failure is
// returned as it is (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW): members return it at once, without
// touching LastError and without OnError.

#include "platform/com/variant.h"

// optionalLong converts a present argument to VT_I4; absent gives fallback.
HRESULT optionalLong(const VARIANT& arg, LONG fallback, LONG* out);

// optionalString converts a present argument to VT_BSTR; absent gives a copy of fallback.
HRESULT optionalString(const VARIANT& arg, BSTR fallback, Bstr* out);

// setLongResult and setBoolResult clear a result VARIANT and store VT_I4 / VT_BOOL.
void setLongResult(VARIANT* result, LONG value);
void setBoolResult(VARIANT* result, bool value);

// toVariantBool is VARIANT_TRUE for true, VARIANT_FALSE for false.
constexpr VARIANT_BOOL toVariantBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}
