// The control's type library, described from the member, event and constant lists.

#include "winsock/ocx/type_library.h"

#include <iterator>
#include <memory>

#include "winsock/ocx/interface/wirran_dispatch.h"

namespace {

// Each member's help string, in slot order: a property's get and put share theirs.
#define WIRRAN_HELP_RW(Help) Help, Help,
#define WIRRAN_HELP_WR(Help) Help, Help,
#define WIRRAN_HELP_RO(Help) Help,
#define WIRRAN_HELP_INDEXED(Help) Help,
#define WIRRAN_PROPERTY_HELP(Access, Name, Id, Type, Field, GetHow, PutHow, Help) \
    WIRRAN_HELP_##Access(Help)
#define WIRRAN_METHOD_HELP(Name, Id, Retval, Params, How, Help) Help,
#define WIRRAN_ACTION_HELP(Name, Id, How, Help) Help,
constexpr const char* kMemberHelp[] = {
    WIRRAN_MEMBERS(WIRRAN_PROPERTY_HELP, WIRRAN_METHOD_HELP, WIRRAN_ACTION_HELP)};
#undef WIRRAN_HELP_RW
#undef WIRRAN_HELP_WR
#undef WIRRAN_HELP_RO
#undef WIRRAN_HELP_INDEXED
#undef WIRRAN_PROPERTY_HELP
#undef WIRRAN_METHOD_HELP
#undef WIRRAN_ACTION_HELP

TypeDescription makeType(const char* name, const char* help, TYPEKIND kind, GUID guid = GUID_NULL,
                         WORD flags = 0) {
    TypeDescription type;
    type.name = name;
    type.help = help;
    type.kind = kind;
    type.guid = guid;
    type.flags = flags;
    return type;
}

INVOKEKIND invokeKind(WORD dispatchKind) {
    switch (dispatchKind) {
        case DISPATCH_PROPERTYGET:
            return INVOKE_PROPERTYGET;
        case DISPATCH_PROPERTYPUT:
            return INVOKE_PROPERTYPUT;
        case DISPATCH_PROPERTYPUTREF:
            return INVOKE_PROPERTYPUTREF;
        default:
            return INVOKE_FUNC;
    }
}

// IWirran as a dispatch interface sees it: the [out, retval] parameter is the result type; a
// by-reference parameter is written back ([out]), the others are [in]; the parameters from the
// member's required count on are optional.
TypeDescription iwirranType() {
    TypeDescription type =
        makeType("IWirran", "Wirran Windows Sockets Control interface", TKIND_DISPATCH, IID_IWirran,
                 TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FOLEAUTOMATION);
    std::span<const DispMember> members = wirranMembers();
    static_assert(std::size(kMemberHelp) == std::size(wirran_dispatch_detail::kTable));
    for (size_t i = 0; i < members.size(); ++i) {
        const DispMember& m = members[i];
        TypeFuncDescription func{
            m.name,
            m.dispid,
            invokeKind(m.kind),
            {},
            typeDescOf(m.resultType == VT_EMPTY ? VARTYPE{VT_VOID} : m.resultType),
            kMemberHelp[i]};
        for (UINT p = 0; p < m.paramCount; ++p) {
            VARTYPE vt = m.paramTypes[p];
            USHORT flags = (vt & VT_BYREF) ? PARAMFLAG_FOUT : PARAMFLAG_FIN;
            if (p >= m.requiredCount) flags |= PARAMFLAG_FOPT;
            const char* name = m.paramNames ? m.paramNames[p] : "value";
            func.params.push_back({name, typeDescOf(vt), flags});
        }
        type.funcs.push_back(std::move(func));
    }
    return type;
}

TypeDescription eventsType() {
    TypeDescription type =
        makeType("_IWirranEvents", "Events of the Wirran Windows Sockets Control", TKIND_DISPATCH,
                 DIID__IWirranEvents, TYPEFLAG_FDISPATCHABLE);
    // Every event argument is a VARIANT passed by value.
#pragma push_macro("WR_IN")
#undef WR_IN
#define WR_IN(Name) {#Name, typeDescOf(VT_VARIANT), PARAMFLAG_FIN},
#define WIRRAN_EVENT_FUNC(Name, Id, Params, Help) \
    type.funcs.push_back({#Name, Id, INVOKE_FUNC, {Params}, typeDescOf(VT_VOID), Help});
    WIRRAN_EVENTS(WIRRAN_EVENT_FUNC)
#undef WIRRAN_EVENT_FUNC
#undef WR_IN
#pragma pop_macro("WR_IN")
    return type;
}

void addEnumerations(TypeLibDescription* lib) {
    // The enumerations under their type library names, then each one's plain alias.
    std::vector<TypeDescription> aliases;
#define WIRRAN_ENUM_CONSTANT(Name, Value) type.vars.push_back({#Name, Variant(int32_t{Value}), ""});
#define WIRRAN_ENUM_TYPE(Type, LibraryName, Help, LIST)                  \
    {                                                                    \
        TypeDescription type = makeType(LibraryName, Help, TKIND_ENUM);  \
        LIST(WIRRAN_ENUM_CONSTANT)                                       \
        TypeDescription alias = makeType(#Type, Help, TKIND_ALIAS);      \
        alias.alias.vt = VT_USERDEFINED;                                 \
        alias.alias.hreftype = static_cast<HREFTYPE>(lib->types.size()); \
        aliases.push_back(std::move(alias));                             \
        lib->types.push_back(std::move(type));                           \
    }
    WIRRAN_ENUMERATIONS(WIRRAN_ENUM_TYPE)
#undef WIRRAN_ENUM_TYPE
#undef WIRRAN_ENUM_CONSTANT

    // The error codes, each with its message text as its help string.
    TypeDescription errors = makeType("_wrErrorConstants", "Error codes", TKIND_ENUM);
    errors.vars.push_back({"wrError", Variant(int32_t{wrError}), "An error"});
#define WIRRAN_ERROR_CONSTANT(Code, Name, Text) \
    errors.vars.push_back({#Name, Variant(int32_t{Code}), Text});
#define WIRRAN_ERROR_NO_CONSTANT(Code, Text)
    WIRRAN_ERRORS(WIRRAN_ERROR_CONSTANT, WIRRAN_ERROR_NO_CONSTANT)
#undef WIRRAN_ERROR_CONSTANT
#undef WIRRAN_ERROR_NO_CONSTANT
    TypeDescription errorAlias = makeType("ErrorConstants", "Error codes", TKIND_ALIAS);
    errorAlias.alias.vt = VT_USERDEFINED;
    errorAlias.alias.hreftype = static_cast<HREFTYPE>(lib->types.size());
    aliases.push_back(std::move(errorAlias));
    lib->types.push_back(std::move(errors));
    for (TypeDescription& alias : aliases)
        lib->types.push_back(std::move(alias));

    TypeDescription strings = makeType("StringConstants", "Address constants", TKIND_MODULE);
#define WIRRAN_STRING_VAR(Name, Text) strings.vars.push_back({#Name, Variant(Text), ""});
    WIRRAN_STRING_CONSTANTS(WIRRAN_STRING_VAR)
#undef WIRRAN_STRING_VAR
    lib->types.push_back(std::move(strings));
}

std::shared_ptr<const TypeLibDescription> buildLibrary() {
    auto lib = std::make_shared<TypeLibDescription>();
    lib->name = "WirranCtl";
    lib->help = "WirranCtl 1.0 Type Library";
    lib->guid = LIBID_WirranCtl;
    lib->major = 1;
    lib->minor = 0;
    // The first three types keep their places: the class refers to the interfaces by index.
    lib->types.push_back(iwirranType());
    lib->types.push_back(eventsType());
    TypeDescription coclass = makeType("Wirran", "Wirran Windows Sockets Control", TKIND_COCLASS,
                                       CLSID_Wirran, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
    coclass.impls = {{0, IMPLTYPEFLAG_FDEFAULT}, {1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
    lib->types.push_back(std::move(coclass));
    addEnumerations(lib.get());
    return lib;
}

}  // namespace

HRESULT wirranTypeLib(ITypeLib** lib) {
    if (!lib) return E_INVALIDARG;
    // Built once per process; every library object shares the description.
    static const std::shared_ptr<const TypeLibDescription> description = buildLibrary();
    return createTypeLib(description, lib);
}

HRESULT wirranTypeInfo(REFGUID guid, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    ComPtr<ITypeLib> lib;
    if (HRESULT hr = wirranTypeLib(lib.put()); FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(guid, info);
}
