#pragma once
// IWirran's dispatch table, built from the member list (wirran_members.h): every member with its
// name, dispatch identifier, kind and parameters, in slot order. GetIDsOfNames and Invoke of any
// object that implements IWirran are answered from it (dispTableGetIDsOfNames,
// dispTableInvoke), so a late-bound call lands on the same code as a vtable call.
//
//   return dispTableInvoke(wirranMembers(), static_cast<IWirran*>(this), id, riid, lcid,
//                          flags, params, result, excep, argErr);

#include <span>

#include "winsock/ocx/interface/iwirran.h"

namespace wirran_dispatch_detail {

#pragma push_macro("WR_IN")
#pragma push_macro("WR_OPT")
#pragma push_macro("WR_OUT")
#pragma push_macro("WR_OPT_OUT")
#undef WR_IN
#undef WR_OPT
#undef WR_OUT
#undef WR_OPT_OUT

// The parameter names of each method (for named arguments), ended by nullptr.
#define WR_IN(Name) #Name,
#define WR_OPT(Name) #Name,
#define WR_OUT(Name) #Name,
#define WR_OPT_OUT(Name) #Name,
#define WIRRAN_NO_NAMES_PROPERTY(Access, Name, Id, Type, Field, GetHow, PutHow, Help)
#define WIRRAN_NO_NAMES_ACTION(Name, Id, How, Help)
#define WIRRAN_PARAM_NAMES(Name, Id, Retval, Params, How, Help) \
    inline constexpr const char* const kParams_##Name[] = {Params nullptr};
WIRRAN_MEMBERS(WIRRAN_NO_NAMES_PROPERTY, WIRRAN_PARAM_NAMES, WIRRAN_NO_NAMES_ACTION)
#undef WIRRAN_PARAM_NAMES
#undef WIRRAN_NO_NAMES_PROPERTY
#undef WIRRAN_NO_NAMES_ACTION
#undef WR_IN
#undef WR_OPT
#undef WR_OUT
#undef WR_OPT_OUT

inline constexpr const char* const kIndexParams[] = {"Index", nullptr};

// The rows. The required parameters of a method are the ones before its first optional one; the
// list names them first, so counting them is enough.
#define WR_IN(Name) 1 +
#define WR_OPT(Name) 0 +
#define WR_OUT(Name) 1 +
#define WR_OPT_OUT(Name) 0 +
#define WIRRAN_GET_ROW(Name, Id) dispGet<&IWirran::get_##Name>(#Name, Id),
#define WIRRAN_PUT_ROW(Name, Id) dispPut<&IWirran::put_##Name>(#Name, Id),
#define WIRRAN_ROWS_RW(Name, Id) WIRRAN_GET_ROW(Name, Id) WIRRAN_PUT_ROW(Name, Id)
#define WIRRAN_ROWS_WR(Name, Id) WIRRAN_PUT_ROW(Name, Id) WIRRAN_GET_ROW(Name, Id)
#define WIRRAN_ROWS_RO(Name, Id) WIRRAN_GET_ROW(Name, Id)
#define WIRRAN_ROWS_INDEXED(Name, Id) dispGet<&IWirran::get_##Name>(#Name, Id, 1, kIndexParams),
#define WIRRAN_PROPERTY_ROWS(Access, Name, Id, Type, Field, GetHow, PutHow, Help) \
    WIRRAN_ROWS_##Access(Name, Id)
#define WIRRAN_METHOD_ROW(Name, Id, Retval, Params, How, Help) \
    dispMethod<&IWirran::Name>(#Name, Id, Params 0, kParams_##Name),
#define WIRRAN_ACTION_ROW(Name, Id, How, Help) dispMethodNoResult<&IWirran::Name>(#Name, Id),
inline constexpr DispMember kTable[] = {
    WIRRAN_MEMBERS(WIRRAN_PROPERTY_ROWS, WIRRAN_METHOD_ROW, WIRRAN_ACTION_ROW)};
#undef WIRRAN_GET_ROW
#undef WIRRAN_PUT_ROW
#undef WIRRAN_ROWS_RW
#undef WIRRAN_ROWS_WR
#undef WIRRAN_ROWS_RO
#undef WIRRAN_ROWS_INDEXED
#undef WIRRAN_PROPERTY_ROWS
#undef WIRRAN_METHOD_ROW
#undef WIRRAN_ACTION_ROW

#pragma pop_macro("WR_IN")
#pragma pop_macro("WR_OPT")
#pragma pop_macro("WR_OUT")
#pragma pop_macro("WR_OPT_OUT")

}  // namespace wirran_dispatch_detail

// The member table behind IDispatch: one entry per IWirran member, in slot order (a property's
// get and put are two entries).
inline std::span<const DispMember> wirranMembers() {
    return wirran_dispatch_detail::kTable;
}
