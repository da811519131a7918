#pragma once
// Listing an object's members from its type information, as "kvhost --members" prints them, and
// looking a constant up by name in the type library behind an object.
//
//   listMembers(control.get(), std::cout);
//   // AutoResolve As Boolean  [get 4]  Whether host names and addresses are resolved ...
//   Variant both;
//   objectConstant(control.get(), "wrShutdownBoth", &both);   // VT_I4 2

#include <ostream>
#include <string_view>

#include "platform/com/typeinfo.h"

// listTypeMembers prints one line per function of a dispatch type: its name, its parameters
// ("[...]" around optional ones, "out " before those written back) with their types, its
// result type, its invoke kind and DISPID, and its help string; prefix starts each line.
// The type's own failure (GetTypeAttr, GetFuncDesc) when it cannot be read.
HRESULT listTypeMembers(ITypeInfo* info, std::ostream& out, std::string_view prefix = {});

// listMembers prints the members of an object (IDispatch::GetTypeInfo) and then, when it
// provides its class information, the events of its default source interface ("event "
// before each). The object's failure when it has no type information.
HRESULT listMembers(IDispatch* object, std::ostream& out);

// objectConstant finds a constant by name (ASCII case ignored) in the type library that holds
// the object's type. TYPE_E_ELEMENTNOTFOUND when there is no such constant, the object's
// failure when it has no type information.
HRESULT objectConstant(IDispatch* object, std::string_view name, VARIANT* value);
