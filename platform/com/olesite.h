#pragma once
// The container side of a control: ambient properties read through the client site, HIMETRIC
// conversion, and AmbientSite, a ready-made client site for hosts.
//
//   ComPtr<AmbientSite> site = AmbientSite::create();        // user mode by default
//   control.as<IOleObject>()->SetClientSite(site.get());
//   // In the control: design mode is a user-mode ambient that is not TRUE.
//   if (!isAmbientUserMode(m_site.get())) return CTL_E_GETNOTSUPPORTED;

#include <map>

#include "platform/com/comobject.h"
#include "platform/com/olectl.h"

// getAmbientProperty reads an ambient property through the site's IDispatch (a property get
// without arguments). E_POINTER for a null site or value, E_NOINTERFACE when the site has no
// IDispatch, else the Invoke code (DISP_E_MEMBERNOTFOUND for an ambient the host lacks).
HRESULT getAmbientProperty(IOleClientSite* site, DISPID id, VARIANT* value);

// isAmbientUserMode: true without a site (an object not hosted runs in user mode); with a site,
// true only when DISPID_AMBIENT_USERMODE reads as a VT_BOOL that is TRUE. A site that cannot
// answer, or answers anything else, means design mode.
bool isAmbientUserMode(IOleClientSite* site);

// HIMETRIC (0.01 mm) and pixels at a given resolution (pixels per inch), rounded to nearest:
// himetric = 2540 * pixels / dpi.
LONG pixelsToHimetric(LONG pixels, int dpi);
LONG himetricToPixels(LONG himetric, int dpi);

// AmbientSite is a container's site for one control: IOleClientSite, IOleControlSite and an
// IDispatch that answers ambient properties by DISPID (and "UserMode", "LocaleID",
// "DisplayName", "MessageReflect" by name). It starts with UserMode TRUE, LocaleID 1033 and
// MessageReflect FALSE. The site does not draw or activate anything; calls that would need a
// container window answer E_NOTIMPL, ShowObject/OnShowWindow/OnFocus answer S_OK.
class AmbientSite final : public ComClass<IOleClientSite, IOleControlSite, IDispatch> {
  public:
    AmbientSite();
    static ComPtr<AmbientSite> create() { return makeComObject<AmbientSite>(); }

    // Sets or replaces an ambient property. The control is not told: call its
    // IOleControl::OnAmbientPropertyChange when it should be.
    void setAmbient(DISPID id, const VARIANT& value);
    void removeAmbient(DISPID id);
    void setUserMode(bool userMode);
    // How many times the control called OnControlInfoChanged / RequestNewObjectLayout /
    // ShowObject (hosts and tests look at them).
    int controlInfoChanges() const { return m_controlInfoChanges; }
    int showObjectCalls() const { return m_showObjectCalls; }

    // IOleClientSite
    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT GetContainer(IOleContainer** container) override;
    HRESULT ShowObject() override;
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleControlSite
    HRESULT OnControlInfoChanged() override;
    HRESULT LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT GetExtendedControl(IDispatch** control) override;
    HRESULT TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    HRESULT OnFocus(BOOL) override { return S_OK; }
    HRESULT ShowPropertyFrame() override { return E_NOTIMPL; }
    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO*, UINT*) override;

  private:
    std::map<DISPID, Variant> m_ambients;
    int m_controlInfoChanges = 0;
    int m_showObjectCalls = 0;
};
