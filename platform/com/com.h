#pragma once
// COM basics: the Windows scalar types, HRESULT and its standard codes, GUIDs with their text
// form, IUnknown and IClassFactory, and the task allocator.
//
// Interfaces are C++ abstract classes whose virtual methods are declared in the Windows vtable
// order, so an object built against these headers can be handed across a module boundary (the
// control's shared library, a host program) and called through its vtable exactly as on Windows.
// Every interface carries its identifier as `kIid` and names its parent interface as `ComBase`;
// ComPtr (comptr.h) and ComClass (comobject.h) rely on both.
//
//   ComPtr<IClassFactory> factory;
//   HRESULT hr = unknown->QueryInterface(IID_IClassFactory, factory.putVoid());
//   if (FAILED(hr)) return hr;
//
// Text crossing COM is UTF-16 (OLECHAR is char16_t); see bstr.h for BSTR.
//
// The layer, header by header:
//   com.h        this: types, HRESULT codes, GUIDs, IUnknown, IClassFactory
//   comptr.h     ComPtr, the owning interface pointer
//   comobject.h  ComClass (QueryInterface/AddRef/Release, aggregation), ClassFactory, ModuleLock
//   bstr.h       BSTR, Bstr, UTF-8 and ISO-8859-1 conversions
//   safearray.h  SAFEARRAY
//   variant.h    VARIANT, Variant, VariantChangeType, missing arguments, counts into out arguments
//   dispatch.h   IDispatch, the member table (dispTableInvoke), calls by name (dispCall)
//   errorinfo.h  per-thread error information, ISupportErrorInfo
//   connpt.h     connection points, IPropertyNotifySink, event sinks for hosts
//   persist.h    IStream/IStorage/IPropertyBag with memory implementations, IPersist*
//   olectl.h     OLE control interfaces (site, control, frame interfaces)
//   olesite.h    ambient properties, HIMETRIC, AmbientSite for hosts
//   activation.h CoInitialize, CoCreateInstance through the registry, ProgIDs, self-registration

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Scalar types with their Windows widths (LONG is 32 bits, as on Windows).
using HRESULT = int32_t;
using SCODE = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using BYTE = uint8_t;
using CHAR = char;
using INT = int;
using UINT = uint32_t;
using BOOL = int;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using FLOAT = float;
using DOUBLE = double;
using LCID = DWORD;
using WCHAR = char16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using ULONG_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct HWND__;
using HWND = HWND__*;

// HRESULT helpers.
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr HRESULT MAKE_HRESULT(unsigned severity, unsigned facility, unsigned code) {
    return static_cast<HRESULT>((severity << 31) | (facility << 16) | code);
}
constexpr unsigned HRESULT_FACILITY(HRESULT hr) {
    return (static_cast<uint32_t>(hr) >> 16) & 0x1FFF;
}
constexpr unsigned HRESULT_CODE(HRESULT hr) {
    return static_cast<uint32_t>(hr) & 0xFFFF;
}
constexpr HRESULT HRESULT_FROM_WIN32(uint32_t error) {
    return static_cast<HRESULT>(error) <= 0 ? static_cast<HRESULT>(error)
                                            : static_cast<HRESULT>((error & 0xFFFF) | 0x80070000u);
}

constexpr unsigned FACILITY_ITF = 4;
constexpr unsigned FACILITY_WIN32 = 7;
constexpr unsigned FACILITY_CONTROL = 10;

#define VANTEL_HR(x) static_cast<HRESULT>(x##u)

// General codes.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = VANTEL_HR(0x80004001);
constexpr HRESULT E_NOINTERFACE = VANTEL_HR(0x80004002);
constexpr HRESULT E_POINTER = VANTEL_HR(0x80004003);
constexpr HRESULT E_ABORT = VANTEL_HR(0x80004004);
constexpr HRESULT E_FAIL = VANTEL_HR(0x80004005);
constexpr HRESULT E_PENDING = VANTEL_HR(0x8000000A);
constexpr HRESULT E_UNEXPECTED = VANTEL_HR(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = VANTEL_HR(0x80070005);
constexpr HRESULT E_HANDLE = VANTEL_HR(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = VANTEL_HR(0x8007000E);
constexpr HRESULT E_INVALIDARG = VANTEL_HR(0x80070057);

// Automation (dispatch and VARIANT) codes.
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = VANTEL_HR(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = VANTEL_HR(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = VANTEL_HR(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = VANTEL_HR(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = VANTEL_HR(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = VANTEL_HR(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = VANTEL_HR(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = VANTEL_HR(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = VANTEL_HR(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = VANTEL_HR(0x8002000B);
constexpr HRESULT DISP_E_UNKNOWNLCID = VANTEL_HR(0x8002000C);
constexpr HRESULT DISP_E_ARRAYISLOCKED = VANTEL_HR(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = VANTEL_HR(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = VANTEL_HR(0x8002000F);
constexpr HRESULT DISP_E_BADCALLEE = VANTEL_HR(0x80020010);
constexpr HRESULT DISP_E_NOTACOLLECTION = VANTEL_HR(0x80020011);
constexpr HRESULT DISP_E_DIVBYZERO = VANTEL_HR(0x80020012);

// Class activation and registration codes.
constexpr HRESULT CLASS_E_NOAGGREGATION = VANTEL_HR(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = VANTEL_HR(0x80040111);
constexpr HRESULT REGDB_E_READREGDB = VANTEL_HR(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = VANTEL_HR(0x80040151);
constexpr HRESULT REGDB_E_KEYMISSING = VANTEL_HR(0x80040152);
constexpr HRESULT REGDB_E_CLASSNOTREG = VANTEL_HR(0x80040154);
constexpr HRESULT SELFREG_E_TYPELIB = VANTEL_HR(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = VANTEL_HR(0x80040201);
constexpr HRESULT CO_E_NOTINITIALIZED = VANTEL_HR(0x800401F0);
constexpr HRESULT CO_E_CLASSSTRING = VANTEL_HR(0x800401F3);
constexpr HRESULT CO_E_IIDSTRING = VANTEL_HR(0x800401F4);
constexpr HRESULT CO_E_DLLNOTFOUND = VANTEL_HR(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = VANTEL_HR(0x800401F9);
constexpr HRESULT RPC_E_CHANGED_MODE = VANTEL_HR(0x80010106);

// Connection point codes.
constexpr HRESULT CONNECT_E_NOCONNECTION = VANTEL_HR(0x80040200);
constexpr HRESULT CONNECT_E_ADVISELIMIT = VANTEL_HR(0x80040201);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = VANTEL_HR(0x80040202);

// OLE object codes.
constexpr HRESULT OLE_S_USEREG = 0x00040000;
constexpr HRESULT OLEOBJ_S_INVALIDVERB = 0x00040180;
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = VANTEL_HR(0x80040003);
constexpr HRESULT OLE_E_NOCONNECTION = VANTEL_HR(0x80040004);
constexpr HRESULT OLE_E_NOTRUNNING = VANTEL_HR(0x80040005);
constexpr HRESULT OLE_E_BLANK = VANTEL_HR(0x80040007);
constexpr HRESULT OLEOBJ_E_NOVERBS = VANTEL_HR(0x80040180);
constexpr HRESULT DV_E_FORMATETC = VANTEL_HR(0x80040064);

// Structured storage codes.
constexpr HRESULT STG_E_INVALIDFUNCTION = VANTEL_HR(0x80030001);
constexpr HRESULT STG_E_FILENOTFOUND = VANTEL_HR(0x80030002);
constexpr HRESULT STG_E_ACCESSDENIED = VANTEL_HR(0x80030005);
constexpr HRESULT STG_E_INSUFFICIENTMEMORY = VANTEL_HR(0x80030008);
constexpr HRESULT STG_E_INVALIDPOINTER = VANTEL_HR(0x80030009);
constexpr HRESULT STG_E_READFAULT = VANTEL_HR(0x8003001E);
constexpr HRESULT STG_E_FILEALREADYEXISTS = VANTEL_HR(0x80030050);
constexpr HRESULT STG_E_INVALIDPARAMETER = VANTEL_HR(0x80030057);
constexpr HRESULT STG_E_MEDIUMFULL = VANTEL_HR(0x80030070);
constexpr HRESULT STG_E_INVALIDNAME = VANTEL_HR(0x800300FC);
constexpr HRESULT STG_E_INVALIDFLAG = VANTEL_HR(0x800300FF);

// Standard control errors (facility 10: the Automation error number in the low word).
constexpr HRESULT CTL_E_ILLEGALFUNCTIONCALL = VANTEL_HR(0x800A0005);        // 5
constexpr HRESULT CTL_E_OVERFLOW = VANTEL_HR(0x800A0006);                   // 6
constexpr HRESULT CTL_E_OUTOFMEMORY = VANTEL_HR(0x800A0007);                // 7
constexpr HRESULT CTL_E_INVALIDPROPERTYVALUE = VANTEL_HR(0x800A017C);       // 380
constexpr HRESULT CTL_E_INVALIDPROPERTYARRAYINDEX = VANTEL_HR(0x800A017D);  // 381
constexpr HRESULT CTL_E_SETNOTSUPPORTEDATRUNTIME = VANTEL_HR(0x800A017E);   // 382
constexpr HRESULT CTL_E_SETNOTSUPPORTED = VANTEL_HR(0x800A017F);            // 383
constexpr HRESULT CTL_E_SETNOTPERMITTED = VANTEL_HR(0x800A0183);            // 387
constexpr HRESULT CTL_E_GETNOTSUPPORTEDATRUNTIME = VANTEL_HR(0x800A0189);   // 393
constexpr HRESULT CTL_E_GETNOTSUPPORTED = VANTEL_HR(0x800A018A);            // 394
constexpr HRESULT CTL_E_PROPERTYNOTFOUND = VANTEL_HR(0x800A01A6);           // 422

#undef VANTEL_HR

// hresultText returns a short English text for the codes above ("Type mismatch"), or
// "Error 0x80004005"-style text for any other code. Never fails.
std::string hresultText(HRESULT hr);

// GUIDs. The struct has the Windows layout; comparisons are by value.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
constexpr bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}
constexpr bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a == b;
}
constexpr bool IsEqualIID(REFIID a, REFIID b) {
    return a == b;
}
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return a == b;
}

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr CLSID CLSID_NULL = GUID_NULL;

// guidToString formats "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hex digits.
std::string guidToString(REFGUID guid);
// guidFromString parses that form (38 characters with braces, hex digits of either case).
// Returns false, leaving *out alone, for anything else.
bool guidFromString(std::string_view text, GUID* out);

// StringFromGUID2 writes the braced form and its NUL into buffer; returns the characters written
// including the NUL (39), or 0 when cchMax is below 39 or buffer is null.
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax);
// StringFromCLSID/StringFromIID return the braced form in memory from CoTaskMemAlloc (free it
// with CoTaskMemFree). E_INVALIDARG for a null out pointer, E_OUTOFMEMORY.
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* out);
HRESULT StringFromIID(REFIID iid, LPOLESTR* out);
// IIDFromString parses the braced form: CO_E_IIDSTRING when malformed, E_INVALIDARG for null.
HRESULT IIDFromString(LPCOLESTR text, IID* out);
// CLSIDFromString parses the braced form; text that does not start with "{" is taken as a ProgID
// and resolved through the registry (CLSIDFromProgID, activation.h). CO_E_CLASSSTRING when
// malformed or unknown, E_INVALIDARG for null arguments.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out);

// Interface identifiers of this header (the Windows values).
inline constexpr IID IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The root of every interface. Objects are never deleted through it: Release ends their life.
struct IUnknown {
    static constexpr const IID& kIid = IID_IUnknown;
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    static constexpr const IID& kIid = IID_IClassFactory;
    using ComBase = IUnknown;
    // Creates an uninitialised object of the class. CLASS_E_NOAGGREGATION when outer is given
    // and the class cannot be aggregated.
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};

// The task allocator: memory handed between modules (strings returned by StringFromCLSID,
// ProgIDFromCLSID, STATSTG names). CoTaskMemAlloc returns nullptr when out of memory;
// CoTaskMemFree accepts nullptr.
void* CoTaskMemAlloc(size_t size);
void* CoTaskMemRealloc(void* p, size_t size);
void CoTaskMemFree(void* p);
