#include "tools/kvhost/format.h"

#include <cstdio>
#include <cstring>

namespace {

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string formatArray(SAFEARRAY* array, VARTYPE elementType) {
    std::string out = "{";
    ULONG count = safeArrayElementCount(array);
    const auto* data = static_cast<const BYTE*>(array->pvData);
    for (ULONG i = 0; i < count; ++i) {
        if (i) out += ", ";
        const BYTE* element = data + static_cast<size_t>(i) * array->cbElements;
        Variant item;
        if (elementType == VT_VARIANT) {
            out += formatValue(*reinterpret_cast<const VARIANT*>(element));
            continue;
        }
        if (elementType == VT_BSTR) {
            out += bstrToUtf8(*reinterpret_cast<const BSTR*>(element));
            continue;
        }
        UINT size = variantScalarSize(elementType);
        if (size == 0) {
            out += "?";
            continue;
        }
        item.vt = elementType;
        std::memcpy(&item.llVal, element, size);
        out += formatValue(item);
    }
    return out + "}";
}

}  // namespace

std::string formatValue(const VARIANT& value) {
    const VARIANT* v = variantDeref(&value);
    if (v->vt & VT_ARRAY) {
        SAFEARRAY* array = (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
        if (!array) return "{}";
        return formatArray(array, v->vt & VT_TYPEMASK);
    }
    switch (v->vt) {
        case VT_EMPTY:
            return "";
        case VT_NULL:
            return "Null";
        case VT_BOOL:
            return v->boolVal ? "True" : "False";
        case VT_BOOL | VT_BYREF:
            return v->pboolVal && *v->pboolVal ? "True" : "False";
        case VT_BSTR:
            return bstrToUtf8(v->bstrVal);
        case VT_ERROR:
            return "Error " + hex32(static_cast<uint32_t>(v->scode));
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return "<object>";
        default:
            break;
    }
    // Every number (and a reference to one) as decimal text.
    Variant text;
    if (SUCCEEDED(VariantChangeType(&text, v, 0, VT_BSTR))) return text.utf8();
    return "<type " + std::to_string(v->vt) + ">";
}
