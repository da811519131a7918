// IDispatch of the control: GetIDsOfNames and Invoke are answered from the member table built
// from the member list (wirran_dispatch.h), so a late-bound call lands on the same code as a
// vtable call.

#include "winsock/ocx/wirran.h"

HRESULT CWirran::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CWirran::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CWirran::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return dispTableGetIDsOfNames(wirranMembers(), riid, names, count, ids);
}

HRESULT CWirran::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return dispTableInvoke(wirranMembers(), static_cast<IWirran*>(this), id, riid, lcid, flags,
                           params, result, excep, argErr);
}
