// Ambient properties, HIMETRIC conversion and the host's client site.

#include "platform/com/olesite.h"

#include <cmath>

namespace {

struct AmbientName {
    const char* name;
    DISPID id;
};
constexpr AmbientName kAmbientNames[] = {
    {"UserMode", DISPID_AMBIENT_USERMODE},       {"LocaleID", DISPID_AMBIENT_LOCALEID},
    {"DisplayName", DISPID_AMBIENT_DISPLAYNAME}, {"MessageReflect", DISPID_AMBIENT_MESSAGEREFLECT},
    {"BackColor", DISPID_AMBIENT_BACKCOLOR},     {"ForeColor", DISPID_AMBIENT_FORECOLOR},
    {"UIDead", DISPID_AMBIENT_UIDEAD},
};

LONG scale(LONG value, LONG numerator, LONG denominator) {
    if (denominator == 0) return 0;
    return static_cast<LONG>(
        std::llround(static_cast<double>(value) * numerator / static_cast<double>(denominator)));
}

}  // namespace

HRESULT getAmbientProperty(IOleClientSite* site, DISPID id, VARIANT* value) {
    if (!site || !value) return E_POINTER;
    ComPtr<IDispatch> ambients;
    if (FAILED(site->QueryInterface(IID_IDispatch, ambients.putVoid())) || !ambients)
        return E_NOINTERFACE;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantClear(value);
    return ambients->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
}

bool isAmbientUserMode(IOleClientSite* site) {
    if (!site) return true;
    Variant mode;
    if (FAILED(getAmbientProperty(site, DISPID_AMBIENT_USERMODE, &mode))) return false;
    return mode.vt == VT_BOOL && mode.boolVal != VARIANT_FALSE;
}

LONG pixelsToHimetric(LONG pixels, int dpi) {
    return scale(pixels, 2540, dpi);
}

LONG himetricToPixels(LONG himetric, int dpi) {
    return scale(himetric, dpi, 2540);
}

// ---- AmbientSite ----------------------------------------------------------------------------

AmbientSite::AmbientSite() {
    setUserMode(true);
    setAmbient(DISPID_AMBIENT_LOCALEID, Variant(int32_t{1033}));
    setAmbient(DISPID_AMBIENT_MESSAGEREFLECT, Variant(false));
}

void AmbientSite::setAmbient(DISPID id, const VARIANT& value) {
    m_ambients[id] = Variant(value);
}

void AmbientSite::removeAmbient(DISPID id) {
    m_ambients.erase(id);
}

void AmbientSite::setUserMode(bool userMode) {
    setAmbient(DISPID_AMBIENT_USERMODE, Variant(userMode));
}

HRESULT AmbientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT AmbientSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT AmbientSite::ShowObject() {
    ++m_showObjectCalls;
    return S_OK;
}

HRESULT AmbientSite::OnControlInfoChanged() {
    ++m_controlInfoChanges;
    return S_OK;
}

HRESULT AmbientSite::GetExtendedControl(IDispatch** control) {
    if (control) *control = nullptr;
    return E_NOTIMPL;
}

HRESULT AmbientSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT AmbientSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT AmbientSite::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (const AmbientName& entry : kAmbientNames)
            if (names[i] && equalsIgnoreAsciiCase(names[i], entry.name)) ids[i] = entry.id;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT AmbientSite::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO*, UINT*) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs) return DISP_E_BADPARAMCOUNT;
    auto it = m_ambients.find(id);
    if (it == m_ambients.end()) return DISP_E_MEMBERNOTFOUND;
    if (!result) return S_OK;
    VariantInit(result);
    return VariantCopy(result, &it->second);
}
