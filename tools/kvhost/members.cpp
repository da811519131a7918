#include "tools/kvhost/members.h"

#include "platform/com/bstr.h"
#include "platform/com/olectl.h"

namespace {

std::string typeName(const TYPEDESC& type) {
    switch (type.vt) {
        case VT_PTR:
            return type.lptdesc ? typeName(*type.lptdesc) : "Variant";
        case VT_I4:
            return "Long";
        case VT_BOOL:
            return "Boolean";
        case VT_BSTR:
            return "String";
        case VT_VARIANT:
            return "Variant";
        default:
            return "VT" + std::to_string(type.vt);
    }
}

const char* kindName(INVOKEKIND kind) {
    switch (kind) {
        case INVOKE_PROPERTYGET:
            return "get";
        case INVOKE_PROPERTYPUT:
        case INVOKE_PROPERTYPUTREF:
            return "put";
        default:
            return "method";
    }
}

}  // namespace

HRESULT listTypeMembers(ITypeInfo* info, std::ostream& out, std::string_view prefix) {
    if (!info) return E_INVALIDARG;
    TYPEATTR* attr = nullptr;
    if (HRESULT hr = info->GetTypeAttr(&attr); FAILED(hr)) return hr;
    WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* f = nullptr;
        if (HRESULT hr = info->GetFuncDesc(i, &f); FAILED(hr)) return hr;
        BSTR names[32] = {};
        UINT named = 0;
        info->GetNames(f->memid, names, 32, &named);
        // A put's value has no name of its own.
        std::string line(prefix);
        line += named > 0 ? bstrToUtf8(names[0]) : "?";
        bool parenthesised = f->cParams > 0 || f->invkind == INVOKE_FUNC;
        if (parenthesised) line += "(";
        for (SHORT p = 0; p < f->cParams; ++p) {
            const ELEMDESC& e = f->lprgelemdescParam[p];
            bool optional = e.paramdesc.wParamFlags & PARAMFLAG_FOPT;
            if (p) line += ", ";
            if (optional) line += "[";
            if (e.paramdesc.wParamFlags & PARAMFLAG_FOUT) line += "out ";
            line += static_cast<UINT>(p + 1) < named ? bstrToUtf8(names[p + 1]) : "value";
            line += " As " + typeName(e.tdesc);
            if (optional) line += "]";
        }
        if (parenthesised) line += ")";
        if (f->elemdescFunc.tdesc.vt != VT_VOID) line += " As " + typeName(f->elemdescFunc.tdesc);
        line += "  [" + std::string(kindName(f->invkind)) + " " + std::to_string(f->memid) + "]";
        Bstr help;
        if (SUCCEEDED(info->GetDocumentation(f->memid, nullptr, help.put(), nullptr, nullptr)) &&
            !help.utf8().empty())
            line += "  " + help.utf8();
        out << line << "\n";
        for (UINT n = 0; n < named; ++n)
            SysFreeString(names[n]);
        info->ReleaseFuncDesc(f);
    }
    return S_OK;
}

HRESULT listMembers(IDispatch* object, std::ostream& out) {
    if (!object) return E_INVALIDARG;
    ComPtr<ITypeInfo> info;
    if (HRESULT hr = object->GetTypeInfo(0, 0, info.put()); FAILED(hr)) return hr;
    if (HRESULT hr = listTypeMembers(info.get(), out); FAILED(hr)) return hr;
    // The events: the class's default source interface.
    ComPtr<IProvideClassInfo> provider = ComPtr<IDispatch>(object).as<IProvideClassInfo>();
    ComPtr<ITypeInfo> coclass;
    if (!provider || FAILED(provider->GetClassInfo(coclass.put()))) return S_OK;
    TYPEATTR* attr = nullptr;
    if (FAILED(coclass->GetTypeAttr(&attr))) return S_OK;
    WORD impls = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < impls; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> source;
        if (SUCCEEDED(coclass->GetImplTypeFlags(i, &flags)) && (flags & IMPLTYPEFLAG_FSOURCE) &&
            (flags & IMPLTYPEFLAG_FDEFAULT) && SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)) &&
            SUCCEEDED(coclass->GetRefTypeInfo(ref, source.put())))
            return listTypeMembers(source.get(), out, "event ");
    }
    return S_OK;
}

HRESULT objectConstant(IDispatch* object, std::string_view name, VARIANT* value) {
    if (!object || !value) return E_INVALIDARG;
    ComPtr<ITypeInfo> info;
    if (HRESULT hr = object->GetTypeInfo(0, 0, info.put()); FAILED(hr)) return hr;
    ComPtr<ITypeLib> lib;
    if (HRESULT hr = info->GetContainingTypeLib(lib.put(), nullptr); FAILED(hr)) return hr;
    return findTypeLibConstant(lib.get(), name, value);
}
