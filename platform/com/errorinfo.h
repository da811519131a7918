#pragma once
// Error information: the per-thread error object that describes the last failure (source,
// description, interface), set by the failing object and read by its caller.
//
//   // In an object's method that fails:
//   return setErrorInfoText(IID_IWidget, u"Acme.Widget", u"The widget is broken", E_FAIL);
//   // In the caller (or the dispatcher filling EXCEPINFO):
//   ComPtr<IErrorInfo> info;
//   if (GetErrorInfo(0, info.put()) == S_OK) { Bstr text; info->GetDescription(text.put()); }
//
// The slot is per thread: an error set on one thread is never seen on another. Reading it with
// GetErrorInfo empties the slot, as on Windows.

#include <string_view>

#include "platform/com/bstr.h"
#include "platform/com/comptr.h"

inline constexpr IID IID_IErrorInfo{
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ICreateErrorInfo{
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ISupportErrorInfo{
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

struct IErrorInfo : IUnknown {
    static constexpr const IID& kIid = IID_IErrorInfo;
    using ComBase = IUnknown;
    virtual HRESULT GetGUID(GUID* guid) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;
    virtual HRESULT GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* helpContext) = 0;
};

struct ICreateErrorInfo : IUnknown {
    static constexpr const IID& kIid = IID_ICreateErrorInfo;
    using ComBase = IUnknown;
    virtual HRESULT SetGUID(REFGUID guid) = 0;
    virtual HRESULT SetSource(LPOLESTR source) = 0;
    virtual HRESULT SetDescription(LPOLESTR description) = 0;
    virtual HRESULT SetHelpFile(LPOLESTR helpFile) = 0;
    virtual HRESULT SetHelpContext(DWORD helpContext) = 0;
};

// Answered by objects that set error information: S_OK for the interfaces whose failures carry
// it, S_FALSE for the others.
struct ISupportErrorInfo : IUnknown {
    static constexpr const IID& kIid = IID_ISupportErrorInfo;
    using ComBase = IUnknown;
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

// CreateErrorInfo makes an empty error object (it answers ICreateErrorInfo and IErrorInfo).
// E_INVALIDARG for null, E_OUTOFMEMORY.
HRESULT CreateErrorInfo(ICreateErrorInfo** out);
// SetErrorInfo makes info (nullptr clears) the calling thread's error object, taking a reference.
// E_INVALIDARG when reserved is not 0.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
// GetErrorInfo hands the calling thread's error object to the caller and empties the slot:
// S_OK with the object, S_FALSE with nullptr when there is none. E_INVALIDARG for a null out
// pointer or reserved not 0.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** out);

// setErrorInfoText builds an error object (interface, source, description) and makes it the
// thread's error; returns hr unchanged so a failing method can end with it. A failure to build
// the object is ignored (the thread's slot is then cleared).
HRESULT setErrorInfoText(REFIID iid, std::u16string_view source, std::u16string_view description,
                         HRESULT hr);
