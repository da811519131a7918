#pragma once
// The control's type library (WirranCtl 1.0), built once from the same lists as the control
// itself: IWirran from the member list, _IWirranEvents from the event list, the Wirran class,
// the enumerations with their constants and the string constants. The module hands it out as
// its type library (DllGetTypeLib), IDispatch::GetTypeInfo gives IWirran's type and
// IProvideClassInfo the class's.
//
//   ComPtr<ITypeInfo> info;
//   wirranTypeInfo(IID_IWirran, info.put());
//   FUNCDESC* desc;
//   info->GetFuncDesc(0, &desc);   // About, DISPID -552

#include "platform/com/typeinfo.h"

// wirranTypeLib gives a new reference to the library. E_INVALIDARG for a null lib.
HRESULT wirranTypeLib(ITypeLib** lib);

// wirranTypeInfo gives the type of that GUID (IID_IWirran, DIID__IWirranEvents, CLSID_Wirran).
// TYPE_E_ELEMENTNOTFOUND for another GUID, E_INVALIDARG for a null info.
HRESULT wirranTypeInfo(REFGUID guid, ITypeInfo** info);
