// IDispatch of the control: GetIDsOfNames and Invoke are answered from the member table built
// from the member list (wirran_dispatch.h), so a late-bound call lands on the same code as a
// vtable call; GetTypeInfo gives IWirran's type from the control's type library.

#include "winsock/ocx/type_library.h"
#include "winsock/ocx/wirran.h"

HRESULT CWirran::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CWirran::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return wirranTypeInfo(IID_IWirran, info);
}

HRESULT CWirran::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return dispTableGetIDsOfNames(wirranMembers(), riid, names, count, ids);
}

HRESULT CWirran::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return dispTableInvoke(wirranMembers(), static_cast<IWirran*>(this), id, riid, lcid, flags,
                           params, result, excep, argErr);
}
