#pragma once
// IDispatch: late binding by member name, and the member table that implements it.
//
// An object describes its members once, in a compiled-in table; dispTableGetIDsOfNames and
// dispTableInvoke then implement GetIDsOfNames and Invoke from it. Each entry is built from a
// method of the object's own (dual) interface, so the argument and result types come from the
// method's C++ signature and the call lands on the same code a vtable caller reaches:
//
//   static const char* const kReadArgs[] = {"Buffer", "Length", "Options", "RemoteAddress",
//                                           "RemotePort"};
//   static const DispMember kMembers[] = {
//       dispGet<&IWirran::get_Timeout>("Timeout", 62),
//       dispPut<&IWirran::put_Timeout>("Timeout", 62),
//       dispMethod<&IWirran::Read>("Read", 81, 1, kReadArgs),  // 1 required, the rest optional
//   };
//   HRESULT CWirran::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
//                           VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
//       return dispTableInvoke(kMembers, this, id, riid, lcid, flags, params, result, excep,
//                              argErr);
//   }
//
// Parameter types follow the C++ types: VARIANT (passed as the caller gave it; an omitted
// optional one arrives as VT_ERROR/DISP_E_PARAMNOTFOUND), VARIANT* (an [out] argument: the
// caller's by-reference target, or its own VARIANT), LONG (VT_I4), VARIANT_BOOL (VT_BOOL; a
// 16-bit parameter is always taken as a BOOL), BSTR, DOUBLE, FLOAT, BYTE, ULONG, LONGLONG,
// IDispatch*, IUnknown*. Typed arguments are converted with VariantChangeType before the call.
// The last parameter of a get, and of a method built with dispMethod, is the [out, retval]
// result (LONG*, BSTR*, VARIANT_BOOL*, VARIANT*, ...).
//
// A member that fails makes Invoke fail with DISP_E_EXCEPTION, EXCEPINFO carrying the code and
// the description and source from the thread's error information (errorinfo.h); without an
// EXCEPINFO the member's own code is returned.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/com/comptr.h"
#include "platform/com/variant.h"

struct ITypeInfo;  // typeinfo.h: an object's type information

using DISPID = LONG;
using MEMBERID = DISPID;

inline constexpr IID IID_IDispatch{
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Reserved dispatch identifiers.
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;
constexpr DISPID DISPID_EVALUATE = -5;
// Stock members of controls.
constexpr DISPID DISPID_ENABLED = -514;
constexpr DISPID DISPID_HWND = -515;
constexpr DISPID DISPID_REFRESH = -550;
constexpr DISPID DISPID_ABOUTBOX = -552;

// Invoke flags.
constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

// Arguments of a call: rgvarg holds them in REVERSE order (rgvarg[cArgs - 1] is the first);
// the first cNamedArgs of rgvarg are the named ones, identified by rgdispidNamedArgs.
struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

// clearExcepInfo frees the strings of an EXCEPINFO and zeroes it.
void clearExcepInfo(EXCEPINFO* excep);

struct IDispatch : IUnknown {
    static constexpr const IID& kIid = IID_IDispatch;
    using ComBase = IUnknown;
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                  DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, UINT* argErr) = 0;
};

// ---- The member table ---------------------------------------------------------------------

// Most parameters one member may have (the result not counted).
constexpr UINT kMaxDispParams = 16;

class DispCall;
using DispHandler = HRESULT (*)(IDispatch* self, DispCall& call);

// One member: a method, a property get, put or putref. A get and a put of one property share
// the name and DISPID and are two entries.
struct DispMember {
    const char* name;
    DISPID dispid;
    WORD kind;                  // DISPATCH_METHOD, _PROPERTYGET, _PROPERTYPUT or _PROPERTYPUTREF
    const VARTYPE* paramTypes;  // paramCount declared types (VT_VARIANT, VT_VARIANT|VT_BYREF,
                                // VT_I4, VT_BSTR, ...); the result is not among them
    UINT paramCount;
    UINT requiredCount;  // parameters [requiredCount, paramCount) are optional
    VARTYPE resultType;  // VT_EMPTY when the member has no result
    DispHandler handler;
    const char* const* paramNames;  // paramCount names (for named arguments), or nullptr
};

// The arguments of one call as a member handler sees them (filled by dispTableInvoke).
class DispCall {
  public:
    // The argument for parameter i: of the parameter's declared type for typed parameters, the
    // caller's VARIANT for VARIANT parameters, the target to write for VARIANT* parameters.
    VARIANT* arg(UINT i) const { return m_args[i]; }
    // True when the caller did not pass parameter i (it then holds VT_ERROR/PARAMNOTFOUND).
    bool omitted(UINT i) const { return m_omitted[i]; }
    // The result slot, already of the member's result type (VT_EMPTY for VARIANT results).
    VARIANT* result() const { return m_result; }
    WORD flags() const { return m_flags; }

  private:
    friend struct DispCallBuilder;
    VARIANT* m_args[kMaxDispParams] = {};
    bool m_omitted[kMaxDispParams] = {};
    VARIANT* m_result = nullptr;
    WORD m_flags = 0;
};

// dispTableGetIDsOfNames implements GetIDsOfNames: the first name is a member (compared without
// regard to ASCII case), the others are parameters of that member (their DISPID is the
// parameter's position). Unknown names get DISPID_UNKNOWN and the call answers
// DISP_E_UNKNOWNNAME. DISP_E_UNKNOWNINTERFACE when riid is not IID_NULL, E_INVALIDARG for null.
HRESULT dispTableGetIDsOfNames(std::span<const DispMember> table, REFIID riid, LPOLESTR* names,
                               UINT count, DISPID* ids);

// dispTableInvoke implements Invoke: finds the member of that DISPID whose kind is among flags
// (a method before a get when both are asked for), matches positional and named arguments to
// its parameters, converts typed ones, calls the handler with self and fills *result.
// Failures: DISP_E_UNKNOWNINTERFACE (riid not IID_NULL), DISP_E_MEMBERNOTFOUND (no such DISPID or
// kind), DISP_E_BADPARAMCOUNT (too many arguments, or a required one not passed),
// DISP_E_PARAMNOTFOUND (a named argument that is no parameter), DISP_E_PARAMNOTOPTIONAL (an
// omitted-argument marker for a required typed parameter), the conversion's code
// (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW) with *argErr the rgvarg index of the bad argument,
// E_INVALIDARG for null params, and DISP_E_EXCEPTION (or the member's own code when excep is
// null) when the member fails.
HRESULT dispTableInvoke(std::span<const DispMember> table, IDispatch* self, DISPID id, REFIID riid,
                        LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr);

// dispTableFind returns the entry of that name (ASCII case ignored) and kind, or nullptr.
const DispMember* dispTableFind(std::span<const DispMember> table, std::string_view name,
                                WORD kind);

// ---- Building entries from interface methods ------------------------------------------------

constexpr UINT kAllRequired = ~0u;

namespace dispatch_detail {

template <class T>
struct ArgOf;  // how a C++ parameter is fed from the VARIANT* the dispatcher prepared
template <>
struct ArgOf<VARIANT> {
    static constexpr VARTYPE vt = VT_VARIANT;
    static VARIANT get(VARIANT* v) { return *v; }
};
template <>
struct ArgOf<VARIANT*> {
    static constexpr VARTYPE vt = VT_VARIANT | VT_BYREF;
    static VARIANT* get(VARIANT* v) { return v; }
};
#define VANTEL_DISP_ARG(Type, Vt, Field)                    \
    template <>                                             \
    struct ArgOf<Type> {                                    \
        static constexpr VARTYPE vt = Vt;                   \
        static Type get(VARIANT* v) { return v->Field; }    \
        static Type* slot(VARIANT* v) { return &v->Field; } \
    };
VANTEL_DISP_ARG(LONG, VT_I4, lVal)
VANTEL_DISP_ARG(VARIANT_BOOL, VT_BOOL, boolVal)
VANTEL_DISP_ARG(BSTR, VT_BSTR, bstrVal)
VANTEL_DISP_ARG(DOUBLE, VT_R8, dblVal)
VANTEL_DISP_ARG(FLOAT, VT_R4, fltVal)
VANTEL_DISP_ARG(BYTE, VT_UI1, bVal)
VANTEL_DISP_ARG(ULONG, VT_UI4, ulVal)
VANTEL_DISP_ARG(LONGLONG, VT_I8, llVal)
VANTEL_DISP_ARG(IDispatch*, VT_DISPATCH, pdispVal)
VANTEL_DISP_ARG(IUnknown*, VT_UNKNOWN, punkVal)
#undef VANTEL_DISP_ARG

template <class T>
struct ResultOf;  // how the result slot is handed to the method's last parameter
template <>
struct ResultOf<VARIANT*> {
    static constexpr VARTYPE vt = VT_VARIANT;
    static VARIANT* get(VARIANT* r) { return r; }
};
template <class T>
struct ResultOf<T*> {
    static constexpr VARTYPE vt = ArgOf<T>::vt;
    static T* get(VARIANT* r) { return ArgOf<T>::slot(r); }
};

template <class F>
struct MethodTraits;
template <class C, class... A>
struct MethodTraits<HRESULT (C::*)(A...)> {
    using Class = C;
    using Args = std::tuple<A...>;
    static constexpr size_t kArity = sizeof...(A);
};

template <auto Method, bool HasResult>
struct Thunk {
    using Traits = MethodTraits<decltype(Method)>;
    using Class = typename Traits::Class;
    using Args = typename Traits::Args;
    static constexpr size_t kArity = Traits::kArity;
    static_assert(!HasResult || kArity > 0, "a member with a result needs a last out parameter");
    static constexpr size_t kParams = HasResult ? kArity - 1 : kArity;
    static_assert(kParams <= kMaxDispParams, "too many parameters for the dispatcher");
    static_assert(std::is_base_of_v<IDispatch, Class>,
                  "members must belong to a dispatch interface");

    template <size_t... I>
    static constexpr std::array<VARTYPE, kParams> types(std::index_sequence<I...>) {
        return {ArgOf<std::tuple_element_t<I, Args>>::vt...};
    }
    static constexpr std::array<VARTYPE, kParams> kTypes =
        types(std::make_index_sequence<kParams>{});

    static constexpr VARTYPE resultType() {
        if constexpr (HasResult)
            return ResultOf<std::tuple_element_t<kArity - 1, Args>>::vt;
        else
            return VT_EMPTY;
    }

    template <size_t I>
    static std::tuple_element_t<I, Args> fetch(DispCall& call) {
        using T = std::tuple_element_t<I, Args>;
        if constexpr (HasResult && I == kArity - 1)
            return ResultOf<T>::get(call.result());
        else
            return ArgOf<T>::get(call.arg(I));
    }
    template <size_t... I>
    static HRESULT callWith(Class* object, DispCall& call, std::index_sequence<I...>) {
        return (object->*Method)(fetch<I>(call)...);
    }
    static HRESULT invoke(IDispatch* self, DispCall& call) {
        return callWith(static_cast<Class*>(self), call, std::make_index_sequence<kArity>{});
    }

    static constexpr DispMember member(const char* name, DISPID id, WORD kind, UINT required,
                                       const char* const* names) {
        return DispMember{name,
                          id,
                          kind,
                          kTypes.data(),
                          static_cast<UINT>(kParams),
                          required < kParams ? required : static_cast<UINT>(kParams),
                          resultType(),
                          &invoke,
                          names};
    }
};

}  // namespace dispatch_detail

// A property get; its last parameter is the result, any before it are index parameters.
template <auto Method>
constexpr DispMember dispGet(const char* name, DISPID id, UINT required = kAllRequired,
                             const char* const* paramNames = nullptr) {
    return dispatch_detail::Thunk<Method, true>::member(name, id, DISPATCH_PROPERTYGET, required,
                                                        paramNames);
}
// A property put; its last parameter is the value (named DISPID_PROPERTYPUT by callers).
template <auto Method>
constexpr DispMember dispPut(const char* name, DISPID id) {
    return dispatch_detail::Thunk<Method, false>::member(name, id, DISPATCH_PROPERTYPUT,
                                                         kAllRequired, nullptr);
}
template <auto Method>
constexpr DispMember dispPutRef(const char* name, DISPID id) {
    return dispatch_detail::Thunk<Method, false>::member(name, id, DISPATCH_PROPERTYPUTREF,
                                                         kAllRequired, nullptr);
}
// A method whose last parameter is its [out, retval] result.
template <auto Method>
constexpr DispMember dispMethod(const char* name, DISPID id, UINT required = kAllRequired,
                                const char* const* paramNames = nullptr) {
    return dispatch_detail::Thunk<Method, true>::member(name, id, DISPATCH_METHOD, required,
                                                        paramNames);
}
// A method without a result (every parameter is an argument).
template <auto Method>
constexpr DispMember dispMethodNoResult(const char* name, DISPID id, UINT required = kAllRequired,
                                        const char* const* paramNames = nullptr) {
    return dispatch_detail::Thunk<Method, false>::member(name, id, DISPATCH_METHOD, required,
                                                         paramNames);
}

// ---- Calling by name (hosts) --------------------------------------------------------------

// dispGetId looks a member up by name. The object's GetIDsOfNames code on failure
// (DISP_E_UNKNOWNNAME), E_POINTER for a null object.
HRESULT dispGetId(IDispatch* object, std::string_view name, DISPID* id);

// dispInvoke calls member id with args in their natural order (first argument first); a put
// passes its value as the last element of args, named DISPID_PROPERTYPUT. result may be null.
// When Invoke reports DISP_E_EXCEPTION the exception's own code is returned instead and its
// description (UTF-8) lands in *errorText when given; other failures are returned as they are.
HRESULT dispInvoke(IDispatch* object, DISPID id, WORD flags, std::span<Variant> args,
                   VARIANT* result, std::string* errorText = nullptr);

// By-name forms: a method call (DISPATCH_METHOD | DISPATCH_PROPERTYGET, as script hosts call),
// a property get and a property put.
HRESULT dispCall(IDispatch* object, std::string_view name, std::span<Variant> args, VARIANT* result,
                 std::string* errorText = nullptr);
HRESULT dispGetProperty(IDispatch* object, std::string_view name, VARIANT* result,
                        std::string* errorText = nullptr);
HRESULT dispPutProperty(IDispatch* object, std::string_view name, const VARIANT& value,
                        std::string* errorText = nullptr);
