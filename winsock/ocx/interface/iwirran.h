#pragma once
// The control's programmatic contract: the identifiers of the class, its dual interface IWirran,
// its event interface and type library; IWirran itself with its members in vtable order (from
// the member list, wirran_members.h); the events with their dispatch identifiers. The
// enumerations and string constants hosts use are the base list (base/constants.h).
//
//   ComPtr<IWirran> wirran;
//   CoCreateInstance(CLSID_Wirran, nullptr, CLSCTX_INPROC_SERVER, IID_IWirran, wirran.putVoid());
//   wirran->put_Timeout(4);
//   Variant error;
//   wirran->Connect(Variant::fromUtf8("example.org"), Variant(int32_t{wrPortHttp}), ..., &error);
//
// Every member returns an HRESULT. A get's last parameter is its [out, retval] value, a put's
// only parameter the new value; a method's last VARIANT* is its [out, retval] Error or Result.
// Optional VARIANT arguments may be VT_EMPTY or VT_ERROR (the way hosts pass an omitted one).
// BOOL values are VARIANT_BOOL: VARIANT_TRUE (-1) or VARIANT_FALSE (0).

#include <cstdint>

#include "platform/com/dispatch.h"
#include "winsock/ocx/base/constants.h"
#include "winsock/ocx/interface/wirran_members.h"

// {E05F5BC3-43FB-48CE-9266-025DCDACB529}: the Wirran class.
inline constexpr CLSID CLSID_Wirran{
    0xE05F5BC3, 0x43FB, 0x48CE, {0x92, 0x66, 0x02, 0x5D, 0xCD, 0xAC, 0xB5, 0x29}};
// {E9BBE1A2-9109-4CF1-BAA2-71CF078FBF17}: IWirran.
inline constexpr IID IID_IWirran{
    0xE9BBE1A2, 0x9109, 0x4CF1, {0xBA, 0xA2, 0x71, 0xCF, 0x07, 0x8F, 0xBF, 0x17}};
// {CD9BAB49-C5C0-4A7B-A096-0D3F783E77D8}: _IWirranEvents, the outgoing dispatch interface.
inline constexpr IID DIID__IWirranEvents{
    0xCD9BAB49, 0xC5C0, 0x4A7B, {0xA0, 0x96, 0x0D, 0x3F, 0x78, 0x3E, 0x77, 0xD8}};
// {6A967C3A-24E5-47BD-9298-705322683301}: the WirranCtl type library, version 1.0.
inline constexpr GUID LIBID_WirranCtl{
    0x6A967C3A, 0x24E5, 0x47BD, {0x92, 0x98, 0x70, 0x53, 0x22, 0x68, 0x33, 0x01}};

#define WIRRAN_CLSID_TEXT "{E05F5BC3-43FB-48CE-9266-025DCDACB529}"
#define WIRRAN_LIBID_TEXT "{6A967C3A-24E5-47BD-9298-705322683301}"

// The ProgIDs: the versioned one (also the error source) and the version-independent one.
inline constexpr const char* kWirranProgId = "Kestrine.Wirran.6";
inline constexpr const char* kWirranIndependentProgId = "Kestrine.Wirran";
// The control module's file version, as the Version property reports it.
inline constexpr const char* kWirranVersion = "6.0.6000.0";

// The enumerations (type library names _wrHandleConstants, ...; each also has the plain alias
// used here) and the string constants are the control's base list: winsock/ocx/base/constants.h.

// ---- Events (_IWirranEvents) ------------------------------------------------------------------

// The events: EVENT(Name, DISPID, Params, Help), Params a sequence of WR_IN(Name) (every event
// argument is a VARIANT passed by value).
// clang-format off
#define WIRRAN_EVENTS(EVENT) \
    EVENT(OnAccept, 1, WR_IN(Handle), "A connection is waiting to be accepted (Handle: its socket handle)") \
    EVENT(OnCancel, 2, , "A blocking call was canceled (never raised by this control)") \
    EVENT(OnConnect, 3, , "The connection to the remote host is established") \
    EVENT(OnDisconnect, 4, , "The remote host closed the connection") \
    EVENT(OnError, 5, WR_IN(ErrorCode) WR_IN(Description), "A member failed (ErrorCode: the bare code; Description: its text)") \
    EVENT(OnRead, 6, , "Data is waiting to be read") \
    EVENT(OnTimeout, 7, , "A blocking call timed out (never raised by this control)") \
    EVENT(OnTimer, 8, , "The Interval has elapsed") \
    EVENT(OnWrite, 9, , "Data can be written") \
    EVENT(OnProgress, 10, WR_IN(BytesTotal) WR_IN(BytesCopied) WR_IN(Percent), "A stream transfer made progress")
// clang-format on

#define WIRRAN_EVENT_ID(Name, Id, Params, Help) k##Name = Id,
enum WirranEventId : DISPID { WIRRAN_EVENTS(WIRRAN_EVENT_ID) };
#undef WIRRAN_EVENT_ID

struct WirranEventName {
    DISPID id;
    const char* name;
};
#define WIRRAN_EVENT_NAME(Name, Id, Params, Help) {k##Name, #Name},
inline constexpr WirranEventName kWirranEvents[] = {WIRRAN_EVENTS(WIRRAN_EVENT_NAME)};
#undef WIRRAN_EVENT_NAME

// ---- IWirran -----------------------------------------------------------------------------------

// The dual interface. Slots 0 to 6 are IUnknown's and IDispatch's; the members follow in the
// order of the member list (wirran_members.h; slot 7 is About), each with its dispatch
// identifier there.
struct IWirran : IDispatch {
    static constexpr const IID& kIid = IID_IWirran;
    using ComBase = IDispatch;

#define WIRRAN_SLOT_PREFIX virtual
#define WIRRAN_SLOT_SUFFIX = 0;
    WIRRAN_DECLARE_MEMBERS()
#undef WIRRAN_SLOT_PREFIX
#undef WIRRAN_SLOT_SUFFIX

  protected:
    ~IWirran() = default;
};
