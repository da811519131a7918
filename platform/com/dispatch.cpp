// Dispatch by member table (GetIDsOfNames and Invoke for objects) and calls by name (hosts).

#include "platform/com/dispatch.h"

#include <cstring>
#include <vector>

#include "platform/com/errorinfo.h"

struct DispCallBuilder {
    static void setArg(DispCall& call, UINT i, VARIANT* arg, bool omitted) {
        call.m_args[i] = arg;
        call.m_omitted[i] = omitted;
    }
    static void setResult(DispCall& call, VARIANT* result, WORD flags) {
        call.m_result = result;
        call.m_flags = flags;
    }
};

namespace {

bool nameMatches(const char* name, LPOLESTR text) {
    return name && text && equalsIgnoreAsciiCase(std::u16string_view(text), name);
}

// The entry for a DISPID and the kinds asked for: a method before a get, a putref before a put
// only when PUTREF is asked for.
const DispMember* findMember(std::span<const DispMember> table, DISPID id, WORD flags) {
    const DispMember* byKind[9] = {};
    for (const DispMember& m : table) {
        if (m.dispid != id) continue;
        if (m.kind < 9 && !byKind[m.kind]) byKind[m.kind] = &m;
    }
    if ((flags & DISPATCH_METHOD) && byKind[DISPATCH_METHOD]) return byKind[DISPATCH_METHOD];
    if ((flags & DISPATCH_PROPERTYGET) && byKind[DISPATCH_PROPERTYGET])
        return byKind[DISPATCH_PROPERTYGET];
    if ((flags & DISPATCH_PROPERTYPUTREF) && byKind[DISPATCH_PROPERTYPUTREF])
        return byKind[DISPATCH_PROPERTYPUTREF];
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && byKind[DISPATCH_PROPERTYPUT])
        return byKind[DISPATCH_PROPERTYPUT];
    return nullptr;
}

bool isPut(const DispMember& m) {
    return m.kind == DISPATCH_PROPERTYPUT || m.kind == DISPATCH_PROPERTYPUTREF;
}

void fillException(EXCEPINFO* excep, HRESULT hr) {
    clearExcepInfo(excep);
    excep->scode = hr;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK) {
        info->GetSource(&excep->bstrSource);
        info->GetDescription(&excep->bstrDescription);
        info->GetHelpFile(&excep->bstrHelpFile);
        info->GetHelpContext(&excep->dwHelpContext);
    }
    if (SysStringLen(excep->bstrDescription) == 0) {
        SysFreeString(excep->bstrDescription);
        excep->bstrDescription = bstrFromUtf8(hresultText(hr));
    }
}

}  // namespace

void clearExcepInfo(EXCEPINFO* excep) {
    if (!excep) return;
    SysFreeString(excep->bstrSource);
    SysFreeString(excep->bstrDescription);
    SysFreeString(excep->bstrHelpFile);
    *excep = EXCEPINFO{};
}

HRESULT dispTableGetIDsOfNames(std::span<const DispMember> table, REFIID riid, LPOLESTR* names,
                               UINT count, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if ((!names || !ids) && count) return E_INVALIDARG;
    if (count == 0) return S_OK;
    HRESULT hr = S_OK;
    const DispMember* member = nullptr;
    for (const DispMember& m : table) {
        if (nameMatches(m.name, names[0])) {
            member = &m;
            break;
        }
    }
    ids[0] = member ? member->dispid : DISPID_UNKNOWN;
    if (!member) hr = DISP_E_UNKNOWNNAME;
    for (UINT n = 1; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        // Any entry of the member (its get or put) may name the parameter.
        for (const DispMember& m : table) {
            if (!member || m.dispid != member->dispid || !m.paramNames) continue;
            for (UINT p = 0; p < m.paramCount && ids[n] == DISPID_UNKNOWN; ++p)
                if (nameMatches(m.paramNames[p], names[n])) ids[n] = static_cast<DISPID>(p);
        }
        if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

const DispMember* dispTableFind(std::span<const DispMember> table, std::string_view name,
                                WORD kind) {
    for (const DispMember& m : table) {
        if (m.kind != kind || !m.name) continue;
        if (equalsIgnoreAsciiCase(utf8ToUtf16(m.name), name)) return &m;
    }
    return nullptr;
}

HRESULT dispTableInvoke(std::span<const DispMember> table, IDispatch* self, DISPID id, REFIID riid,
                        LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs) || params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    const DispMember* member = findMember(table, id, flags);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    if (member->paramCount > kMaxDispParams) return E_UNEXPECTED;

    // Match arguments to parameters. rgvarg is in reverse order; the named ones come first.
    const UINT count = member->paramCount;
    int source[kMaxDispParams];  // rgvarg index for each parameter, -1 when not passed
    for (UINT p = 0; p < count; ++p)
        source[p] = -1;
    UINT named = params->cNamedArgs;
    UINT positional = params->cArgs - named;
    UINT positionalSlots = count;
    if (isPut(*member)) {
        // The value of a put is its last parameter: named DISPID_PROPERTYPUT, or (from lenient
        // callers) the last positional argument.
        if (count == 0) return DISP_E_BADPARAMCOUNT;
        positionalSlots = count - 1;
        int valueIndex = -1;
        for (UINT n = 0; n < named; ++n)
            if (params->rgdispidNamedArgs[n] == DISPID_PROPERTYPUT)
                valueIndex = static_cast<int>(n);
        if (valueIndex < 0) {
            if (named > 0 || positional == 0) return DISP_E_PARAMNOTOPTIONAL;
            valueIndex = static_cast<int>(named);  // the last positional argument
            --positional;
        }
        source[count - 1] = valueIndex;
    }
    if (positional > positionalSlots) return DISP_E_BADPARAMCOUNT;
    for (UINT p = 0; p < positional; ++p)
        source[p] = static_cast<int>(params->cArgs - 1 - p);
    for (UINT n = 0; n < named; ++n) {
        DISPID position = params->rgdispidNamedArgs[n];
        if (position == DISPID_PROPERTYPUT && isPut(*member)) continue;
        if (position < 0 || static_cast<UINT>(position) >= positionalSlots ||
            source[position] != -1) {
            if (argErr) *argErr = n;
            return DISP_E_PARAMNOTFOUND;
        }
        source[position] = static_cast<int>(n);
    }

    // Prepare each parameter: typed ones are converted, VARIANT ones passed through, omitted
    // optional ones become the missing-argument marker.
    Variant converted[kMaxDispParams];
    Variant missing[kMaxDispParams];
    DispCall call;
    for (UINT p = 0; p < count; ++p) {
        VARTYPE type = member->paramTypes[p];
        if (source[p] < 0) {
            if (p < member->requiredCount) return DISP_E_BADPARAMCOUNT;
            missing[p] = Variant::missing();
            if (type == VT_VARIANT || type == (VT_VARIANT | VT_BYREF)) {
                DispCallBuilder::setArg(call, p, &missing[p], true);
            } else {
                converted[p].vt = type;  // an omitted typed argument is zero
                DispCallBuilder::setArg(call, p, &converted[p], true);
            }
            continue;
        }
        VARIANT* arg = &params->rgvarg[source[p]];
        if (type == VT_VARIANT || type == (VT_VARIANT | VT_BYREF)) {
            // An [out] VARIANT* is the caller's referenced variable, or else its argument itself.
            VARIANT* target =
                (type != VT_VARIANT && arg->vt == (VT_BYREF | VT_VARIANT) && arg->pvarVal)
                    ? arg->pvarVal
                    : arg;
            const VARIANT* value = variantDeref(arg);
            DispCallBuilder::setArg(call, p, target,
                                    value->vt == VT_ERROR && value->scode == DISP_E_PARAMNOTFOUND);
        } else {
            const VARIANT* value = variantDeref(arg);
            if (value->vt == VT_ERROR && value->scode == DISP_E_PARAMNOTFOUND) {
                if (p < member->requiredCount) {
                    if (argErr) *argErr = static_cast<UINT>(source[p]);
                    return DISP_E_PARAMNOTOPTIONAL;
                }
                converted[p].vt = type;
                DispCallBuilder::setArg(call, p, &converted[p], true);
                continue;
            }
            HRESULT hr = VariantChangeType(&converted[p], arg, 0, type);
            if (FAILED(hr)) {
                if (argErr) *argErr = static_cast<UINT>(source[p]);
                return hr;
            }
            DispCallBuilder::setArg(call, p, &converted[p], false);
        }
    }

    Variant ret;
    if (member->resultType != VT_EMPTY && member->resultType != VT_VARIANT)
        ret.vt = member->resultType;
    DispCallBuilder::setResult(call, &ret, flags);

    // Error information left by an earlier call must not be taken for this call's.
    SetErrorInfo(0, nullptr);
    HRESULT hr = member->handler(self, call);
    if (FAILED(hr)) {
        ret.clear();
        if (!excep) return hr;
        fillException(excep, hr);
        return DISP_E_EXCEPTION;
    }
    if (result) {
        VariantInit(result);
        if (member->resultType != VT_EMPTY) ret.detachTo(result);
    }
    return hr;
}

// ---- Calls by name -----------------------------------------------------------------------

HRESULT dispGetId(IDispatch* object, std::string_view name, DISPID* id) {
    if (!object) return E_POINTER;
    if (!id) return E_INVALIDARG;
    Bstr wide = Bstr::fromUtf8(name);
    LPOLESTR names[] = {wide.get()};
    return object->GetIDsOfNames(IID_NULL, names, 1, 0, id);
}

HRESULT dispInvoke(IDispatch* object, DISPID id, WORD flags, std::span<Variant> args,
                   VARIANT* result, std::string* errorText) {
    if (!object) return E_POINTER;
    // Natural order in, reverse order out: shallow copies, the caller still owns the values.
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(*it);
    DISPID putId = DISPID_PROPERTYPUT;
    bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{reversed.data(), put && !args.empty() ? &putId : nullptr,
                      static_cast<UINT>(reversed.size()), put && !args.empty() ? 1u : 0u};
    EXCEPINFO excep{};
    UINT argErr = 0;
    if (result) VariantClear(result);
    HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &params, result, &excep, &argErr);
    // A member may write into an argument passed by value for an [out] parameter, as it would
    // into the caller's own DISPPARAMS: hand such a new value back to the caller's VARIANT.
    for (size_t i = 0; i < args.size(); ++i) {
        VARIANT& sent = reversed[args.size() - 1 - i];
        VARIANT& given = args[i];
        if (std::memcmp(&sent, &given, sizeof(VARIANT)) != 0) given = sent;
    }
    if (hr == DISP_E_EXCEPTION) {
        if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
        if (FAILED(excep.scode)) hr = excep.scode;
        if (errorText) *errorText = bstrToUtf8(excep.bstrDescription);
    } else if (FAILED(hr) && errorText) {
        *errorText = hresultText(hr);
    }
    clearExcepInfo(&excep);
    return hr;
}

namespace {

// dispGetId, with the failure's text for a caller that wants one.
HRESULT findId(IDispatch* object, std::string_view name, DISPID* id, std::string* errorText) {
    HRESULT hr = dispGetId(object, name, id);
    if (FAILED(hr) && errorText) *errorText = hresultText(hr);
    return hr;
}

}  // namespace

HRESULT dispCall(IDispatch* object, std::string_view name, std::span<Variant> args, VARIANT* result,
                 std::string* errorText) {
    DISPID id;
    HRESULT hr = findId(object, name, &id, errorText);
    if (FAILED(hr)) return hr;
    return dispInvoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, result, errorText);
}

HRESULT dispGetProperty(IDispatch* object, std::string_view name, VARIANT* result,
                        std::string* errorText) {
    DISPID id;
    HRESULT hr = findId(object, name, &id, errorText);
    if (FAILED(hr)) return hr;
    return dispInvoke(object, id, DISPATCH_PROPERTYGET, {}, result, errorText);
}

HRESULT dispPutProperty(IDispatch* object, std::string_view name, const VARIANT& value,
                        std::string* errorText) {
    DISPID id;
    HRESULT hr = findId(object, name, &id, errorText);
    if (FAILED(hr)) return hr;
    // A shallow copy: Invoke does not take ownership, and the Variant must not free it either.
    Variant arg;
    static_cast<VARIANT&>(arg) = value;
    HRESULT result = dispInvoke(object, id, DISPATCH_PROPERTYPUT, std::span<Variant>(&arg, 1),
                                nullptr, errorText);
    VariantInit(&arg);
    return result;
}

VARIANT* dispParamsArg(const DISPPARAMS* params, UINT i) {
    if (!params || i >= params->cArgs - params->cNamedArgs) return nullptr;
    return &params->rgvarg[params->cArgs - 1 - i];
}
