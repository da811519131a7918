#pragma once
// OLE controls: the interfaces between a control and the container that hosts it (client site,
// control site, freezing events, extent), and the frame interfaces a control answers. Ambient
// properties and a ready-made client site for hosts are in olesite.h.
//
// Drawing, in-place activation and data transfer have no counterpart on this platform; their
// interfaces are declared (with the Windows identifiers and vtable order) so an object can answer
// QueryInterface for them and give minimal answers. Handle types of those calls (HDC, HACCEL,
// ...) are opaque here; RECT, POINT and MSG are completed by platform/user where needed.

#include "platform/com/connpt.h"
#include "platform/com/persist.h"

struct RECT;
struct POINT;
struct MSG;
using LPCRECT = const RECT*;
using LPRECT = RECT*;
using LPMSG = MSG*;
struct HDC__;
using HDC = HDC__*;
struct HACCEL__;
using HACCEL = HACCEL__*;
struct HPALETTE__;
using HPALETTE = HPALETTE__*;
using OLE_COLOR = DWORD;

// Opaque types of calls this platform does not serve.
struct IMoniker;
struct IOleContainer;
struct IEnumOLEVERB;
struct IAdviseSink;
struct IAdviseSinkEx;
struct IEnumSTATDATA;
struct IEnumFORMATETC;
struct IDropTarget;
struct IOleInPlaceUIWindow;
struct IFont;
struct IOleUndoManager;
struct IBindHost;
struct IServiceProvider;
struct LOGPALETTE;
struct DVTARGETDEVICE;
struct FORMATETC;
struct STGMEDIUM;

struct SIZEL {
    LONG cx;
    LONG cy;
};
using LPSIZEL = SIZEL*;
struct POINTL {
    LONG x;
    LONG y;
};
struct POINTF {
    FLOAT x;
    FLOAT y;
};
struct RECTL {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECTL = RECTL*;
using LPCRECTL = const RECTL*;

struct CONTROLINFO {
    ULONG cb;
    HACCEL hAccel;
    USHORT cAccel;
    DWORD dwFlags;
};
struct CAUUID {
    ULONG cElems;
    GUID* pElems;  // from CoTaskMemAlloc; the caller frees it
};
struct DVEXTENTINFO {
    ULONG cb;
    DWORD dwExtentMode;
    SIZEL sizelProposed;
};
struct QACONTAINER {
    ULONG cbSize;
    struct IOleClientSite* pClientSite;
    IAdviseSinkEx* pAdviseSink;
    IPropertyNotifySink* pPropertyNotifySink;
    IUnknown* pUnkEventSink;
    DWORD dwAmbientFlags;
    OLE_COLOR colorFore;
    OLE_COLOR colorBack;
    IFont* pFont;
    IOleUndoManager* pUndoMgr;
    DWORD dwAppearance;
    LONG lcid;
    HPALETTE hpal;
    IBindHost* pBindHost;
    struct IOleControlSite* pOleControlSite;
    IServiceProvider* pServiceProvider;
};
struct QACONTROL {
    ULONG cbSize;
    DWORD dwMiscStatus;
    DWORD dwViewStatus;
    DWORD dwEventCookie;
    DWORD dwPropNotifyCookie;
    DWORD dwPointerActivationPolicy;
};

// Ambient properties (read through the client site's IDispatch).
constexpr DISPID DISPID_AMBIENT_BACKCOLOR = -701;
constexpr DISPID DISPID_AMBIENT_DISPLAYNAME = -702;
constexpr DISPID DISPID_AMBIENT_FONT = -703;
constexpr DISPID DISPID_AMBIENT_FORECOLOR = -704;
constexpr DISPID DISPID_AMBIENT_LOCALEID = -705;
constexpr DISPID DISPID_AMBIENT_MESSAGEREFLECT = -706;
constexpr DISPID DISPID_AMBIENT_SCALEUNITS = -707;
constexpr DISPID DISPID_AMBIENT_TEXTALIGN = -708;
constexpr DISPID DISPID_AMBIENT_USERMODE = -709;
constexpr DISPID DISPID_AMBIENT_UIDEAD = -710;
constexpr DISPID DISPID_AMBIENT_SHOWGRABHANDLES = -711;
constexpr DISPID DISPID_AMBIENT_SHOWHATCHING = -712;
constexpr DISPID DISPID_AMBIENT_DISPLAYASDEFAULT = -713;
constexpr DISPID DISPID_AMBIENT_SUPPORTSMNEMONICS = -714;
constexpr DISPID DISPID_AMBIENT_AUTOCLIP = -715;
constexpr DISPID DISPID_AMBIENT_APPEARANCE = -716;

// OLEMISC bits (GetMiscStatus and the registry's MiscStatus).
constexpr DWORD OLEMISC_RECOMPOSEONRESIZE = 0x1;
constexpr DWORD OLEMISC_ONLYICONIC = 0x2;
constexpr DWORD OLEMISC_INSERTNOTREPLACE = 0x4;
constexpr DWORD OLEMISC_STATIC = 0x8;
constexpr DWORD OLEMISC_CANTLINKINSIDE = 0x10;
constexpr DWORD OLEMISC_CANLINKBYOLE1 = 0x20;
constexpr DWORD OLEMISC_ISLINKOBJECT = 0x40;
constexpr DWORD OLEMISC_INSIDEOUT = 0x80;
constexpr DWORD OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
constexpr DWORD OLEMISC_RENDERINGISDEVICEINDEPENDENT = 0x200;
constexpr DWORD OLEMISC_INVISIBLEATRUNTIME = 0x400;
constexpr DWORD OLEMISC_ALWAYSRUN = 0x800;
constexpr DWORD OLEMISC_ACTSLIKEBUTTON = 0x1000;
constexpr DWORD OLEMISC_ACTSLIKELABEL = 0x2000;
constexpr DWORD OLEMISC_NOUIACTIVATE = 0x4000;
constexpr DWORD OLEMISC_ALIGNABLE = 0x8000;
constexpr DWORD OLEMISC_SIMPLEFRAME = 0x10000;
constexpr DWORD OLEMISC_SETCLIENTSITEFIRST = 0x20000;

constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD DVASPECT_THUMBNAIL = 2;
constexpr DWORD DVASPECT_ICON = 4;
constexpr DWORD DVASPECT_DOCPRINT = 8;
constexpr LONG OLEIVERB_PRIMARY = 0;
constexpr LONG OLEIVERB_SHOW = -1;
constexpr LONG OLEIVERB_OPEN = -2;
constexpr LONG OLEIVERB_HIDE = -3;
constexpr LONG OLEIVERB_UIACTIVATE = -4;
constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
constexpr LONG OLEIVERB_DISCARDUNDOSTATE = -6;
constexpr LONG OLEIVERB_PROPERTIES = -7;
constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
constexpr DWORD OLECLOSE_NOSAVE = 1;
constexpr DWORD OLECLOSE_PROMPTSAVE = 2;
constexpr DWORD USERCLASSTYPE_FULL = 1;
constexpr DWORD USERCLASSTYPE_SHORT = 2;
constexpr DWORD USERCLASSTYPE_APPNAME = 3;
constexpr DWORD VIEWSTATUS_OPAQUE = 1;
constexpr DWORD VIEWSTATUS_SOLIDBKGND = 2;
constexpr DWORD HITRESULT_OUTSIDE = 0;
constexpr DWORD HITRESULT_HIT = 3;
constexpr DWORD GUIDKIND_DEFAULT_SOURCE_DISP_IID = 1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;
constexpr DWORD QACONTAINER_USERMODE = 0x4;

#define VANTEL_OLE_IID(name, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7) \
    inline constexpr IID name{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};
VANTEL_OLE_IID(IID_IOleObject, 0x00000112, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IOleInPlaceObject, 0x00000113, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IOleWindow, 0x00000114, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IOleInPlaceActiveObject, 0x00000117, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IOleClientSite, 0x00000118, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IViewObject, 0x0000010D, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IDataObject, 0x0000010E, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IViewObject2, 0x00000127, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
VANTEL_OLE_IID(IID_IViewObjectEx, 0x3AF24292, 0x0C96, 0x11CE, 0xA0, 0xCF, 0x00, 0xAA, 0x00, 0x60,
               0x0A, 0xB8)
VANTEL_OLE_IID(IID_IOleInPlaceObjectWindowless, 0x1C2056CC, 0x5EF4, 0x101B, 0x8B, 0xC8, 0x00, 0xAA,
               0x00, 0x3E, 0x3B, 0x29)
VANTEL_OLE_IID(IID_IOleControl, 0xB196B288, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34,
               0x1D, 0x07)
VANTEL_OLE_IID(IID_IOleControlSite, 0xB196B289, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34,
               0x1D, 0x07)
VANTEL_OLE_IID(IID_ISpecifyPropertyPages, 0xB196B28B, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
               0x34, 0x1D, 0x07)
VANTEL_OLE_IID(IID_IProvideClassInfo, 0xB196B283, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
               0x34, 0x1D, 0x07)
VANTEL_OLE_IID(IID_IProvideClassInfo2, 0xA6BC3AC0, 0xDBAA, 0x11CE, 0x9D, 0xE3, 0x00, 0xAA, 0x00,
               0x4B, 0xB8, 0x51)
VANTEL_OLE_IID(IID_IQuickActivate, 0xCF51ED10, 0x62FE, 0x11CF, 0xBF, 0x86, 0x00, 0xA0, 0xC9, 0x03,
               0x48, 0x36)
VANTEL_OLE_IID(IID_IObjectSafety, 0xCB5BDC81, 0x93C1, 0x11CF, 0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C,
               0xD0, 0x64)
#undef VANTEL_OLE_IID

struct IOleClientSite : IUnknown {
    static constexpr const IID& kIid = IID_IOleClientSite;
    using ComBase = IUnknown;
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) = 0;
    virtual HRESULT GetContainer(IOleContainer** container) = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;
};

struct IOleObject : IUnknown {
    static constexpr const IID& kIid = IID_IOleObject;
    using ComBase = IUnknown;
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) = 0;
    virtual HRESULT Close(DWORD saveOption) = 0;
    virtual HRESULT SetMoniker(DWORD whichMoniker, IMoniker* moniker) = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) = 0;
    virtual HRESULT InitFromData(struct IDataObject* data, BOOL creation, DWORD reserved) = 0;
    virtual HRESULT GetClipboardData(DWORD reserved, struct IDataObject** data) = 0;
    virtual HRESULT DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index,
                           HWND parent, LPCRECT posRect) = 0;
    virtual HRESULT EnumVerbs(IEnumOLEVERB** verbs) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    virtual HRESULT GetUserType(DWORD formOfType, LPOLESTR* userType) = 0;
    // Extents are in HIMETRIC units (0.01 mm).
    virtual HRESULT SetExtent(DWORD drawAspect, SIZEL* size) = 0;
    virtual HRESULT GetExtent(DWORD drawAspect, SIZEL* size) = 0;
    virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT EnumAdvise(IEnumSTATDATA** advise) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
    virtual HRESULT SetColorScheme(LOGPALETTE* palette) = 0;
};

struct IOleWindow : IUnknown {
    static constexpr const IID& kIid = IID_IOleWindow;
    using ComBase = IUnknown;
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;
};

struct IOleInPlaceObject : IOleWindow {
    static constexpr const IID& kIid = IID_IOleInPlaceObject;
    using ComBase = IOleWindow;
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT UIDeactivate() = 0;
    virtual HRESULT SetObjectRects(LPCRECT posRect, LPCRECT clipRect) = 0;
    virtual HRESULT ReactivateAndUndo() = 0;
};

struct IOleInPlaceObjectWindowless : IOleInPlaceObject {
    static constexpr const IID& kIid = IID_IOleInPlaceObjectWindowless;
    using ComBase = IOleInPlaceObject;
    virtual HRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
    virtual HRESULT GetDropTarget(IDropTarget** target) = 0;
};

struct IOleInPlaceActiveObject : IOleWindow {
    static constexpr const IID& kIid = IID_IOleInPlaceActiveObject;
    using ComBase = IOleWindow;
    virtual HRESULT TranslateAccelerator(LPMSG msg) = 0;
    virtual HRESULT OnFrameWindowActivate(BOOL activate) = 0;
    virtual HRESULT OnDocWindowActivate(BOOL activate) = 0;
    virtual HRESULT ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) = 0;
    virtual HRESULT EnableModeless(BOOL enable) = 0;
};

struct IOleControl : IUnknown {
    static constexpr const IID& kIid = IID_IOleControl;
    using ComBase = IUnknown;
    virtual HRESULT GetControlInfo(CONTROLINFO* info) = 0;
    virtual HRESULT OnMnemonic(MSG* msg) = 0;
    virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
    // Calls nest: events stay frozen until every TRUE has been matched by a FALSE.
    virtual HRESULT FreezeEvents(BOOL freeze) = 0;
};

struct IOleControlSite : IUnknown {
    static constexpr const IID& kIid = IID_IOleControlSite;
    using ComBase = IUnknown;
    virtual HRESULT OnControlInfoChanged() = 0;
    virtual HRESULT LockInPlaceActive(BOOL lock) = 0;
    virtual HRESULT GetExtendedControl(IDispatch** control) = 0;
    virtual HRESULT TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) = 0;
    virtual HRESULT TranslateAccelerator(MSG* msg, DWORD modifiers) = 0;
    virtual HRESULT OnFocus(BOOL gotFocus) = 0;
    virtual HRESULT ShowPropertyFrame() = 0;
};

struct IViewObject : IUnknown {
    static constexpr const IID& kIid = IID_IViewObject;
    using ComBase = IUnknown;
    virtual HRESULT Draw(DWORD drawAspect, LONG index, void* aspect, DVTARGETDEVICE* target,
                         HDC targetDevice, HDC draw, LPCRECTL bounds, LPCRECTL windowBounds,
                         BOOL (*proceed)(ULONG_PTR), ULONG_PTR proceedArg) = 0;
    virtual HRESULT GetColorSet(DWORD drawAspect, LONG index, void* aspect, DVTARGETDEVICE* target,
                                HDC targetDevice, LOGPALETTE** colorSet) = 0;
    virtual HRESULT Freeze(DWORD drawAspect, LONG index, void* aspect, DWORD* freeze) = 0;
    virtual HRESULT Unfreeze(DWORD freeze) = 0;
    virtual HRESULT SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) = 0;
    virtual HRESULT GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) = 0;
};

struct IViewObject2 : IViewObject {
    static constexpr const IID& kIid = IID_IViewObject2;
    using ComBase = IViewObject;
    virtual HRESULT GetExtent(DWORD drawAspect, LONG index, DVTARGETDEVICE* target,
                              LPSIZEL size) = 0;
};

struct IViewObjectEx : IViewObject2 {
    static constexpr const IID& kIid = IID_IViewObjectEx;
    using ComBase = IViewObject2;
    virtual HRESULT GetRect(DWORD aspect, LPRECTL rect) = 0;
    virtual HRESULT GetViewStatus(DWORD* status) = 0;
    virtual HRESULT QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG closeHint,
                                  DWORD* hitResult) = 0;
    virtual HRESULT QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG closeHint,
                                 DWORD* hitResult) = 0;
    virtual HRESULT GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target,
                                     HDC targetDevice, DVEXTENTINFO* extentInfo, LPSIZEL size) = 0;
};

struct IDataObject : IUnknown {
    static constexpr const IID& kIid = IID_IDataObject;
    using ComBase = IUnknown;
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) = 0;
    virtual HRESULT DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink,
                            DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA** advise) = 0;
};

struct ISpecifyPropertyPages : IUnknown {
    static constexpr const IID& kIid = IID_ISpecifyPropertyPages;
    using ComBase = IUnknown;
    virtual HRESULT GetPages(CAUUID* pages) = 0;
};

struct IQuickActivate : IUnknown {
    static constexpr const IID& kIid = IID_IQuickActivate;
    using ComBase = IUnknown;
    virtual HRESULT QuickActivate(QACONTAINER* container, QACONTROL* control) = 0;
    virtual HRESULT SetContentExtent(LPSIZEL size) = 0;
    virtual HRESULT GetContentExtent(LPSIZEL size) = 0;
};

struct IObjectSafety : IUnknown {
    static constexpr const IID& kIid = IID_IObjectSafety;
    using ComBase = IUnknown;
    virtual HRESULT GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) = 0;
};

struct IProvideClassInfo : IUnknown {
    static constexpr const IID& kIid = IID_IProvideClassInfo;
    using ComBase = IUnknown;
    virtual HRESULT GetClassInfo(ITypeInfo** info) = 0;
};

struct IProvideClassInfo2 : IProvideClassInfo {
    static constexpr const IID& kIid = IID_IProvideClassInfo2;
    using ComBase = IProvideClassInfo;
    // GUIDKIND_DEFAULT_SOURCE_DISP_IID: the object's default event interface.
    virtual HRESULT GetGUID(DWORD guidKind, GUID* guid) = 0;
};
