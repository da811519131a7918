// Fuzzes VariantChangeType from text: any string converts to any type or fails cleanly, and an
// integer that converted comes back unchanged through its own text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/com/variant.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static constexpr VARTYPE kTargets[] = {VT_I1,   VT_UI1,  VT_I2,   VT_UI2,   VT_I4,
                                           VT_UI4,  VT_I8,   VT_UI8,  VT_R4,    VT_R8,
                                           VT_CY,   VT_BOOL, VT_DATE, VT_ERROR, VT_ARRAY | VT_UI1,
                                           VT_EMPTY};
    if (size == 0) return 0;
    VARTYPE vt = kTargets[data[0] % (sizeof kTargets / sizeof kTargets[0])];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    Variant source = (data[0] & 0x80) ? Variant::fromLatin1(text) : Variant::fromUtf8(text);
    Variant converted;
    if (FAILED(VariantChangeType(&converted, &source, 0, vt))) return 0;
    if (vt == VT_I4 || vt == VT_I8 || vt == VT_UI8 || vt == VT_I2) {
        Variant again;
        if (FAILED(VariantChangeType(&again, &converted, 0, VT_BSTR))) std::abort();
        if (FAILED(again.changeType(vt)) || again.llVal != converted.llVal) std::abort();
    }
    return 0;
}
