// HRESULT texts, GUID text forms and the task allocator.

#include "platform/com/com.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/com/bstr.h"

namespace {

struct CodeText {
    HRESULT code;
    const char* text;
};

// One table of the codes whose meaning a log line should spell out.
constexpr CodeText kCodeTexts[] = {
    {S_OK, "Success"},
    {S_FALSE, "False"},
    {E_NOTIMPL, "Not implemented"},
    {E_NOINTERFACE, "No such interface supported"},
    {E_POINTER, "Invalid pointer"},
    {E_ABORT, "Operation aborted"},
    {E_FAIL, "Unspecified error"},
    {E_UNEXPECTED, "Catastrophic failure"},
    {E_ACCESSDENIED, "Access is denied"},
    {E_HANDLE, "Invalid handle"},
    {E_OUTOFMEMORY, "Out of memory"},
    {E_INVALIDARG, "Invalid argument"},
    {DISP_E_UNKNOWNINTERFACE, "Unknown interface"},
    {DISP_E_MEMBERNOTFOUND, "Member not found"},
    {DISP_E_PARAMNOTFOUND, "Parameter not found"},
    {DISP_E_TYPEMISMATCH, "Type mismatch"},
    {DISP_E_UNKNOWNNAME, "Unknown name"},
    {DISP_E_NONAMEDARGS, "No named arguments"},
    {DISP_E_BADVARTYPE, "Bad variable type"},
    {DISP_E_EXCEPTION, "Exception occurred"},
    {DISP_E_OVERFLOW, "Out of present range"},
    {DISP_E_BADINDEX, "Invalid index"},
    {DISP_E_ARRAYISLOCKED, "Memory is locked"},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters"},
    {DISP_E_PARAMNOTOPTIONAL, "Parameter not optional"},
    {CLASS_E_NOAGGREGATION, "Class does not support aggregation"},
    {CLASS_E_CLASSNOTAVAILABLE, "Class not available"},
    {REGDB_E_CLASSNOTREG, "Class not registered"},
    {CO_E_NOTINITIALIZED, "CoInitialize has not been called"},
    {CO_E_CLASSSTRING, "Invalid class string"},
    {CO_E_IIDSTRING, "Invalid interface string"},
    {CO_E_ERRORINDLL, "Error in the server module"},
    {RPC_E_CHANGED_MODE, "Cannot change thread mode after it is set"},
    {CONNECT_E_NOCONNECTION, "No connection"},
    {CONNECT_E_CANNOTCONNECT, "Cannot connect"},
    {STG_E_FILENOTFOUND, "File not found"},
    {STG_E_FILEALREADYEXISTS, "File already exists"},
    {STG_E_INVALIDNAME, "Invalid name"},
    {CTL_E_ILLEGALFUNCTIONCALL, "Invalid procedure call or argument"},
    {CTL_E_OVERFLOW, "Overflow"},
    {CTL_E_OUTOFMEMORY, "Out of memory"},
    {CTL_E_INVALIDPROPERTYVALUE, "Invalid property value"},
    {CTL_E_SETNOTSUPPORTED, "Property is read-only"},
    {CTL_E_SETNOTPERMITTED, "Set not permitted"},
    {CTL_E_GETNOTSUPPORTED, "Property is write-only"},
    {CTL_E_PROPERTYNOTFOUND, "Property not found"},
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses `digits` hex digits at text[pos] into *value.
bool parseHex(std::string_view text, size_t pos, int digits, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        int d = hexValue(text[pos + i]);
        if (d < 0) return false;
        v = v << 4 | static_cast<uint32_t>(d);
    }
    *value = v;
    return true;
}

}  // namespace

std::string hresultText(HRESULT hr) {
    for (const CodeText& entry : kCodeTexts)
        if (entry.code == hr) return entry.text;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "Error 0x%08X", static_cast<uint32_t>(hr));
    return buffer;
}

std::string guidToString(REFGUID g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buffer;
}

bool guidFromString(std::string_view text, GUID* out) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-')
        return false;
    GUID g{};
    uint32_t v;
    if (!parseHex(text, 1, 8, &v)) return false;
    g.Data1 = v;
    if (!parseHex(text, 10, 4, &v)) return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!parseHex(text, 15, 4, &v)) return false;
    g.Data3 = static_cast<uint16_t>(v);
    static constexpr size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!parseHex(text, kBytePos[i], 2, &v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    *out = g;
    return true;
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) {
    if (!buffer || cchMax < 39) return 0;
    std::string text = guidToString(guid);
    for (size_t i = 0; i < text.size(); ++i)
        buffer[i] = static_cast<OLECHAR>(text[i]);
    buffer[text.size()] = 0;
    return static_cast<int>(text.size() + 1);
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* out) {
    if (!out) return E_INVALIDARG;
    *out = static_cast<LPOLESTR>(CoTaskMemAlloc(39 * sizeof(OLECHAR)));
    if (!*out) return E_OUTOFMEMORY;
    StringFromGUID2(clsid, *out, 39);
    return S_OK;
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* out) {
    return StringFromCLSID(iid, out);
}

HRESULT IIDFromString(LPCOLESTR text, IID* out) {
    if (!text || !out) return E_INVALIDARG;
    std::string narrow = utf16ToUtf8(text);
    return guidFromString(narrow, out) ? S_OK : CO_E_IIDSTRING;
}

void* CoTaskMemAlloc(size_t size) {
    return std::malloc(size ? size : 1);
}

void* CoTaskMemRealloc(void* p, size_t size) {
    return std::realloc(p, size ? size : 1);
}

void CoTaskMemFree(void* p) {
    std::free(p);
}
