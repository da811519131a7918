// The control frame: site, window, connection points, safety, and the OLE interfaces that have
// nothing to draw or activate here. Saved state is in persist.cpp.

#include "winsock/ocx/control_frame.h"

#include <mutex>

#include "winsock/ocx/type_library.h"

namespace {

constexpr const char* kWindowClass = "WirranNotifyWindow";

bool registerWindowClass(WNDPROC proc) {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [&] {
        WNDCLASSA wc{0, proc, kWindowClass};
        registered = RegisterClassA(&wc) != 0;
    });
    return registered;
}

}  // namespace

WirranFrame::WirranFrame(IUnknown* outer) : WirranComBase(outer) {}

WirranFrame::~WirranFrame() {
    destroyWindow();
    m_events.unadviseAll();
    m_notify.unadviseAll();
}

SIZEL WirranFrame::naturalExtent() {
    return SIZEL{pixelsToHimetric(kWirranExtentPixels, kLogicalPixelsPerInch),
                 pixelsToHimetric(kWirranExtentPixels, kLogicalPixelsPerInch)};
}

// ---- The control's window --------------------------------------------------------------------

LRESULT WirranFrame::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return TRUE;
    }
    auto* frame = reinterpret_cast<WirranFrame*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (frame && frame->m_window == hwnd) {
        if (msg == WM_TIMER) {
            frame->onTimer(wParam);
            return 0;
        }
        if (msg == kSocketNotifyMessage) {
            frame->onSocketNotification(wParam, lParam);
            return 0;
        }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool WirranFrame::createWindow() {
    if (m_window) return true;
    if (!registerWindowClass(&WirranFrame::windowProc)) return false;
    m_window =
        CreateWindowExA(0, kWindowClass, "", WS_CHILD, 0, 0, 0, 0, nullptr, nullptr, nullptr, this);
    return m_window != nullptr;
}

void WirranFrame::destroyWindow() {
    if (!m_window) return;
    // The procedure must stop reaching this object before the window's last messages.
    HWND window = m_window;
    m_window = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

// ---- Connection points, error information, safety, class information ---------------------------

HRESULT WirranFrame::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return enumConnectionPoints({&m_events, &m_notify}, out);
}

HRESULT WirranFrame::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    return findConnectionPoint({&m_events, &m_notify}, iid, out);
}

HRESULT WirranFrame::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IWirran ? S_OK : S_FALSE;
}

HRESULT WirranFrame::GetInterfaceSafetyOptions(REFIID, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *enabled = INTERFACESAFE_FOR_UNTRUSTED_DATA;
    return S_OK;
}

HRESULT WirranFrame::SetInterfaceSafetyOptions(REFIID, DWORD mask, DWORD enabled) {
    // The control is marked safe for untrusted data; asking it to vouch for untrusted callers
    // alone is refused.
    return (mask & enabled) == INTERFACESAFE_FOR_UNTRUSTED_CALLER ? E_FAIL : S_OK;
}

HRESULT WirranFrame::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    return wirranTypeInfo(CLSID_Wirran, info);
}

HRESULT WirranFrame::GetGUID(DWORD guidKind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (guidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID__IWirranEvents;
    return S_OK;
}

// ---- IOleControl -------------------------------------------------------------------------------

HRESULT WirranFrame::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    // No mnemonics: the control has no keyboard interface.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT WirranFrame::OnMnemonic(MSG*) {
    return S_OK;
}

HRESULT WirranFrame::OnAmbientPropertyChange(DISPID) {
    // User mode is asked at every call, so nothing is cached that could go stale.
    return S_OK;
}

HRESULT WirranFrame::FreezeEvents(BOOL freeze) {
    if (freeze) {
        if (++m_freezeCount == 1) onFreezeEvents(true);
    } else if (m_freezeCount > 0) {
        if (--m_freezeCount == 0) onFreezeEvents(false);
    }
    return S_OK;
}

// ---- IOleObject --------------------------------------------------------------------------------

HRESULT WirranFrame::SetClientSite(IOleClientSite* site) {
    // The window comes first, so the control can take notifications from the moment it is sited.
    if (site && !createWindow()) return E_FAIL;
    m_site = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT WirranFrame::GetClientSite(IOleClientSite** site) {
    return m_site.copyTo(site);
}

HRESULT WirranFrame::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT WirranFrame::Close(DWORD) {
    return S_OK;
}

HRESULT WirranFrame::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT WirranFrame::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT WirranFrame::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) {
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            // Activation means having the window: the control shows nothing at run time.
            if (!m_site && activeSite) SetClientSite(activeSite);
            return createWindow() ? S_OK : E_FAIL;
        case OLEIVERB_HIDE:
        case OLEIVERB_OPEN:
        case OLEIVERB_DISCARDUNDOSTATE:
            return S_OK;
        case OLEIVERB_PROPERTIES:
            return E_NOTIMPL;  // no property pages
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT WirranFrame::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs) *verbs = nullptr;
    return OLE_S_USEREG;
}

HRESULT WirranFrame::Update() {
    return S_OK;
}

HRESULT WirranFrame::IsUpToDate() {
    return S_OK;
}

HRESULT WirranFrame::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Wirran;
    return S_OK;
}

HRESULT WirranFrame::GetUserType(DWORD, LPOLESTR* userType) {
    if (userType) *userType = nullptr;
    return OLE_S_USEREG;
}

HRESULT WirranFrame::SetExtent(DWORD drawAspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (drawAspect != DVASPECT_CONTENT) return E_FAIL;
    // Fixed size: a request for another extent is refused and the extent stays as it is.
    return size->cx == m_extent.cx && size->cy == m_extent.cy ? S_OK : E_FAIL;
}

HRESULT WirranFrame::GetExtent(DWORD drawAspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (drawAspect != DVASPECT_CONTENT) return E_FAIL;
    *size = m_extent;
    return S_OK;
}

// OLE advise sinks would only hear of data and view changes, and the control has neither.
HRESULT WirranFrame::Advise(IAdviseSink*, DWORD* connection) {
    if (connection) *connection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT WirranFrame::Unadvise(DWORD) {
    return OLE_E_NOCONNECTION;
}

HRESULT WirranFrame::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT WirranFrame::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = kWirranMiscStatus;
    return S_OK;
}

HRESULT WirranFrame::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// ---- Window and in-place interfaces
// --------------------------------------------------------------

HRESULT WirranFrame::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = m_window;
    return m_window ? S_OK : E_FAIL;
}

HRESULT WirranFrame::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::TranslateAccelerator(LPMSG) {
    return S_FALSE;  // no accelerators
}

HRESULT WirranFrame::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT WirranFrame::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT WirranFrame::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT WirranFrame::EnableModeless(BOOL) {
    return S_OK;
}

HRESULT WirranFrame::InPlaceDeactivate() {
    return S_OK;
}

HRESULT WirranFrame::UIDeactivate() {
    return S_OK;
}

HRESULT WirranFrame::SetObjectRects(LPCRECT, LPCRECT) {
    return S_OK;  // the window has no geometry to follow
}

HRESULT WirranFrame::ReactivateAndUndo() {
    return E_NOTIMPL;
}

HRESULT WirranFrame::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) {
    // The control always has a window of its own, so a windowless host's messages are not its.
    if (result) *result = 0;
    return S_FALSE;
}

HRESULT WirranFrame::GetDropTarget(IDropTarget** target) {
    if (target) *target = nullptr;
    return E_NOTIMPL;
}

// ---- View: nothing is drawn on this platform ----------------------------------------------------

HRESULT WirranFrame::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL, LPCRECTL,
                          BOOL (*)(ULONG_PTR), ULONG_PTR) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colorSet) {
    if (colorSet) *colorSet = nullptr;
    return E_NOTIMPL;
}

HRESULT WirranFrame::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}

HRESULT WirranFrame::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::SetAdvise(DWORD, DWORD, IAdviseSink*) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT WirranFrame::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    if (aspects) *aspects = 0;
    if (advf) *advf = 0;
    if (sink) *sink = nullptr;
    return S_OK;
}

HRESULT WirranFrame::GetExtent(DWORD drawAspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(drawAspect, size);
}

HRESULT WirranFrame::GetRect(DWORD, LPRECTL) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::GetViewStatus(DWORD* status) {
    if (!status) return E_POINTER;
    *status = 0;  // transparent: the bitmap covers only part of the rectangle
    return S_OK;
}

HRESULT WirranFrame::QueryHitPoint(DWORD, LPCRECT, POINT, LONG, DWORD* hitResult) {
    if (hitResult) *hitResult = HITRESULT_OUTSIDE;
    return E_NOTIMPL;
}

HRESULT WirranFrame::QueryHitRect(DWORD, LPCRECT, LPCRECT, LONG, DWORD* hitResult) {
    if (hitResult) *hitResult = HITRESULT_OUTSIDE;
    return E_NOTIMPL;
}

HRESULT WirranFrame::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*,
                                      LPSIZEL size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    *size = naturalExtent();
    return S_OK;
}

// ---- IQuickActivate ----------------------------------------------------------------------------

HRESULT WirranFrame::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    HRESULT hr = SetClientSite(container->pClientSite);
    if (FAILED(hr)) return hr;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    if (container->pUnkEventSink)
        m_events.Advise(container->pUnkEventSink, &control->dwEventCookie);
    if (container->pPropertyNotifySink)
        m_notify.Advise(container->pPropertyNotifySink, &control->dwPropNotifyCookie);
    control->dwMiscStatus = kWirranMiscStatus;
    control->dwViewStatus = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

HRESULT WirranFrame::SetContentExtent(LPSIZEL size) {
    return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT WirranFrame::GetContentExtent(LPSIZEL size) {
    return GetExtent(DVASPECT_CONTENT, size);
}

// ---- IDataObject -------------------------------------------------------------------------------

HRESULT WirranFrame::GetData(FORMATETC*, STGMEDIUM*) {
    return DV_E_FORMATETC;
}

HRESULT WirranFrame::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return DV_E_FORMATETC;
}

HRESULT WirranFrame::QueryGetData(FORMATETC*) {
    return DV_E_FORMATETC;
}

HRESULT WirranFrame::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
    return E_NOTIMPL;
}

HRESULT WirranFrame::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
    if (formats) *formats = nullptr;
    return E_NOTIMPL;
}

HRESULT WirranFrame::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD* connection) {
    if (connection) *connection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT WirranFrame::DUnadvise(DWORD) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT WirranFrame::EnumDAdvise(IEnumSTATDATA** advise) {
    if (advise) *advise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

// ---- ISpecifyPropertyPages ---------------------------------------------------------------------

HRESULT WirranFrame::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}
