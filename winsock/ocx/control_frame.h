#pragma once
// The frame that makes the Wirran object an ActiveX control: its client site and the ambient
// user mode, its own window, its connection points, its fixed extent and saved state, and the
// OLE interfaces a container talks to. CWirran (wirran.h) builds on it with IWirran.
//
// The control never draws and never runs windowless: the interfaces of drawing, in-place
// activation and data transfer answer as a control frame does when it has nothing to show, or
// E_NOTIMPL where a request cannot mean anything on this platform.
//
// The control's window is a platform/user window of the control's thread: created when a client
// site is given (or when the network library starts without one), destroyed with the control.
// It routes WM_TIMER and the socket notification message to the control.

#include "platform/com/comobject.h"
#include "platform/com/errorinfo.h"
#include "platform/com/olesite.h"
#include "platform/user/user.h"
#include "winsock/ocx/interface/iwirran.h"

// The notification message of the socket layer, sent to the control's window.
constexpr UINT kSocketNotifyMessage = 2025;

// The saved state's format version (the first 32-bit value of the stream form).
constexpr DWORD kWirranStreamVersion = 0x00000900;
// The saved state's size in the stream form: the version, _cx and _cy.
constexpr ULONG kWirranStreamSize = 12;
// The control's natural and only extent, in pixels.
constexpr LONG kWirranExtentPixels = 28;
// The screen's logical pixels per inch: this platform has no screen to ask, so the usual 96.
constexpr int kLogicalPixelsPerInch = 96;
// OLEMISC bits of the control: recompose on resize, cannot link inside, inside-out, activate
// when visible, invisible at run time, set client site first (0x20591 = 132497).
constexpr DWORD kWirranMiscStatus = 132497;

using WirranComBase =
    ComClass<IWirran, IConnectionPointContainer, ISupportErrorInfo, IObjectSafety,
             IProvideClassInfo2, IPersistStreamInit, IPersistStorage, IPersistPropertyBag,
             IOleControl, IOleObject, IOleInPlaceActiveObject, IOleInPlaceObjectWindowless,
             IViewObjectEx, IQuickActivate, IDataObject, ISpecifyPropertyPages>;

class WirranFrame : public WirranComBase {
  public:
    // IConnectionPointContainer: the events and the property-notify sinks.
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // ISupportErrorInfo: S_OK for IWirran only.
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;

    // IObjectSafety: supported 3, enabled 2; a request to enable "safe for untrusted callers"
    // alone fails with E_FAIL, every other request succeeds and changes nothing.
    HRESULT GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    HRESULT SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    // IProvideClassInfo2: the class's type from the control's type library (type_library.h);
    // the default source is the events.
    HRESULT GetClassInfo(ITypeInfo** info) override;
    HRESULT GetGUID(DWORD guidKind, GUID* guid) override;

    // IPersist, IPersistStreamInit, IPersistStorage, IPersistPropertyBag (persist.cpp).
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT InitNew() override;
    HRESULT InitNew(IStorage* storage) override;
    HRESULT Load(IStorage* storage) override;
    HRESULT Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT SaveCompleted(IStorage* storage) override;
    HRESULT HandsOffStorage() override;
    HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) override;
    HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;

    // IOleControl
    HRESULT GetControlInfo(CONTROLINFO* info) override;
    HRESULT OnMnemonic(MSG* msg) override;
    HRESULT OnAmbientPropertyChange(DISPID id) override;
    HRESULT FreezeEvents(BOOL freeze) override;

    // IOleObject
    HRESULT SetClientSite(IOleClientSite* site) override;
    HRESULT GetClientSite(IOleClientSite** site) override;
    HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) override;
    HRESULT Close(DWORD saveOption) override;
    HRESULT SetMoniker(DWORD whichMoniker, IMoniker* moniker) override;
    HRESULT GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) override;
    HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                   LPCRECT posRect) override;
    HRESULT EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT Update() override;
    HRESULT IsUpToDate() override;
    HRESULT GetUserClassID(CLSID* clsid) override;
    HRESULT GetUserType(DWORD formOfType, LPOLESTR* userType) override;
    HRESULT SetExtent(DWORD drawAspect, SIZEL* size) override;
    HRESULT GetExtent(DWORD drawAspect, SIZEL* size) override;
    HRESULT Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT Unadvise(DWORD connection) override;
    HRESULT EnumAdvise(IEnumSTATDATA** advise) override;
    HRESULT GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow, IOleInPlaceActiveObject, IOleInPlaceObject(Windowless)
    HRESULT GetWindow(HWND* window) override;
    HRESULT ContextSensitiveHelp(BOOL enterMode) override;
    HRESULT TranslateAccelerator(LPMSG msg) override;
    HRESULT OnFrameWindowActivate(BOOL activate) override;
    HRESULT OnDocWindowActivate(BOOL activate) override;
    HRESULT ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT EnableModeless(BOOL enable) override;
    HRESULT InPlaceDeactivate() override;
    HRESULT UIDeactivate() override;
    HRESULT SetObjectRects(LPCRECT posRect, LPCRECT clipRect) override;
    HRESULT ReactivateAndUndo() override;
    HRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    HRESULT GetDropTarget(IDropTarget** target) override;

    // IViewObject, IViewObject2, IViewObjectEx
    HRESULT Draw(DWORD drawAspect, LONG index, void* aspect, DVTARGETDEVICE* target,
                 HDC targetDevice, HDC draw, LPCRECTL bounds, LPCRECTL windowBounds,
                 BOOL (*proceed)(ULONG_PTR), ULONG_PTR proceedArg) override;
    HRESULT GetColorSet(DWORD drawAspect, LONG index, void* aspect, DVTARGETDEVICE* target,
                        HDC targetDevice, LOGPALETTE** colorSet) override;
    HRESULT Freeze(DWORD drawAspect, LONG index, void* aspect, DWORD* freeze) override;
    HRESULT Unfreeze(DWORD freeze) override;
    HRESULT SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    HRESULT GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;
    HRESULT GetExtent(DWORD drawAspect, LONG index, DVTARGETDEVICE* target, LPSIZEL size) override;
    HRESULT GetRect(DWORD aspect, LPRECTL rect) override;
    HRESULT GetViewStatus(DWORD* status) override;
    HRESULT QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG closeHint,
                          DWORD* hitResult) override;
    HRESULT QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG closeHint,
                         DWORD* hitResult) override;
    HRESULT GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, HDC targetDevice,
                             DVEXTENTINFO* extentInfo, LPSIZEL size) override;

    // IQuickActivate
    HRESULT QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    HRESULT SetContentExtent(LPSIZEL size) override;
    HRESULT GetContentExtent(LPSIZEL size) override;

    // IDataObject: the control renders no data.
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT QueryGetData(FORMATETC* format) override;
    HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override;
    HRESULT DUnadvise(DWORD connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA** advise) override;

    // ISpecifyPropertyPages: the control has none.
    HRESULT GetPages(CAUUID* pages) override;

    // The current extent in HIMETRIC (28 x 28 pixels unless a saved state said otherwise).
    SIZEL extent() const { return m_extent; }

  protected:
    explicit WirranFrame(IUnknown* outer);
    ~WirranFrame() override;

    // userMode tells whether the container runs the control (the ambient user mode reads TRUE),
    // asked at every call; a control without a client site runs in user mode.
    bool userMode() const { return isAmbientUserMode(m_site.get()); }
    bool eventsFrozen() const { return m_freezeCount > 0; }
    void setDirty() { m_dirty = true; }

    // The control's window, nullptr while it has none.
    HWND window() const { return m_window; }
    // createWindow creates the control's window when it has none: a child-style, invisible
    // window of the calling thread with an empty rectangle. False when it cannot be created.
    bool createWindow();
    void destroyWindow();

    // What the window routes to the control, and the host freezing and thawing its events.
    virtual void onTimer(UINT_PTR id) = 0;
    virtual void onSocketNotification(WPARAM socket, LPARAM event) = 0;
    virtual void onFreezeEvents(bool frozen) = 0;

    ConnectionPoint m_events{controllingUnknown(), this, DIID__IWirranEvents};
    ConnectionPoint m_notify{controllingUnknown(), this, IID_IPropertyNotifySink};

  private:
    static LRESULT windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static SIZEL naturalExtent();

    ComPtr<IOleClientSite> m_site;
    HWND m_window = nullptr;
    SIZEL m_extent = naturalExtent();
    bool m_dirty = false;
    LONG m_freezeCount = 0;
};
