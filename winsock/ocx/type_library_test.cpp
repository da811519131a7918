// The control's type information: from IDispatch, from IProvideClassInfo and from the module's
// registered type library, all built from the same lists as the control's members.

#include "winsock/ocx/type_library.h"

#include <gtest/gtest.h>

#include "platform/com/olectl.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/wirran_test_support.h"

using wirran_test::newControl;

namespace {

// The index of the function with that DISPID and invoke kind, or -1.
int findFunc(ITypeInfo* info, MEMBERID id, INVOKEKIND kind) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return -1;
    int found = -1;
    for (UINT i = 0; i < attr->cFuncs && found < 0; ++i) {
        FUNCDESC* f = nullptr;
        if (SUCCEEDED(info->GetFuncDesc(i, &f)) && f->memid == id && f->invkind == kind)
            found = static_cast<int>(i);
        info->ReleaseFuncDesc(f);
    }
    info->ReleaseTypeAttr(attr);
    return found;
}

}  // namespace

TEST(WirranTypeInfo, GetTypeInfoDescribesIWirranMemberByMember) {
    ComPtr<CWirran> control = newControl();
    UINT count = 0;
    ASSERT_EQ(control->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(control->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    ASSERT_EQ(control->GetTypeInfo(0, 0, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, IID_IWirran);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cFuncs, 134);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);

    // Connect: DISPID 75, seven optional VARIANTs in, its Error as the result.
    int connect = findFunc(info.get(), 75, INVOKE_FUNC);
    ASSERT_GE(connect, 0);
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(connect), &f), S_OK);
    EXPECT_EQ(f->cParams, 7);
    EXPECT_EQ(f->cParamsOpt, 7);
    EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_VARIANT);
    EXPECT_EQ(f->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT);
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_VARIANT);
    BSTR names[9] = {};
    UINT named = 0;
    ASSERT_EQ(info->GetNames(75, names, 9, &named), S_OK);
    ASSERT_EQ(named, 8u);
    EXPECT_EQ(bstrToUtf8(names[0]), "Connect");
    EXPECT_EQ(bstrToUtf8(names[1]), "RemoteAddress");
    EXPECT_EQ(bstrToUtf8(names[7]), "LocalPort");
    for (UINT i = 0; i < named; ++i)
        SysFreeString(names[i]);

    // Resolve: HostName in, HostAddress written back (required), Reserved optional.
    int resolve = findFunc(info.get(), 88, INVOKE_FUNC);
    ASSERT_GE(resolve, 0);
    ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(resolve), &f), S_OK);
    ASSERT_EQ(f->cParams, 3);
    EXPECT_EQ(f->lprgelemdescParam[1].tdesc.vt, VT_PTR);
    EXPECT_EQ(f->lprgelemdescParam[1].tdesc.lptdesc->vt, VT_VARIANT);
    EXPECT_EQ(f->lprgelemdescParam[1].paramdesc.wParamFlags, PARAMFLAG_FOUT);
    EXPECT_EQ(f->lprgelemdescParam[2].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT);

    // A property: the get's type is its result, the put's its one parameter; both share the
    // DISPID and the help string.
    int get = findFunc(info.get(), DISPID_ENABLED, INVOKE_PROPERTYGET);
    int put = findFunc(info.get(), DISPID_ENABLED, INVOKE_PROPERTYPUT);
    ASSERT_EQ(put, 1);  // the stock Enabled keeps its put before its get
    ASSERT_EQ(get, 2);
    ASSERT_EQ(info->GetFuncDesc(2, &f), S_OK);
    EXPECT_EQ(f->cParams, 0);
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_BOOL);
    Bstr name, help;
    ASSERT_EQ(info->GetDocumentation(62, name.put(), help.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "Timeout");
    EXPECT_EQ(help.utf8(), "Seconds a blocking call waits");

    // Names resolve to the same DISPIDs as IDispatch gives.
    std::u16string member = u"READ", param = u"length";
    LPOLESTR lookup[] = {member.data(), param.data()};
    MEMBERID ids[2];
    ASSERT_EQ(info->GetIDsOfNames(lookup, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 81);
    EXPECT_EQ(ids[1], 1);
}

TEST(WirranTypeInfo, TheClassNamesItsInterfaceItsEventsAndTheirLibrary) {
    ComPtr<CWirran> control = newControl();
    ComPtr<IProvideClassInfo> provider = ComPtr<IDispatch>(control.get()).as<IProvideClassInfo>();
    ASSERT_TRUE(provider);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provider->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, CLSID_Wirran);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    ASSERT_EQ(attr->cImplTypes, 2);
    coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    HREFTYPE ref = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(1, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    ASSERT_EQ(coclass->GetRefTypeOfImplType(1, &ref), S_OK);
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, events.put()), S_OK);
    ASSERT_EQ(events->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, DIID__IWirranEvents);
    EXPECT_EQ(attr->cFuncs, 10);
    events->ReleaseTypeAttr(attr);
    BSTR names[4] = {};
    UINT named = 0;
    ASSERT_EQ(events->GetNames(kOnError, names, 4, &named), S_OK);
    ASSERT_EQ(named, 3u);
    EXPECT_EQ(bstrToUtf8(names[0]), "OnError");
    EXPECT_EQ(bstrToUtf8(names[2]), "Description");
    for (UINT i = 0; i < named; ++i)
        SysFreeString(names[i]);

    // The library: its identity, the enumerations under both names, a constant by name with
    // the error text as its help.
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(coclass->GetContainingTypeLib(lib.put(), nullptr), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
    EXPECT_EQ(libAttr->guid, LIBID_WirranCtl);
    EXPECT_EQ(libAttr->wMajorVerNum, 1);
    EXPECT_EQ(libAttr->wMinorVerNum, 0);
    lib->ReleaseTLibAttr(libAttr);
    bool sawEnum = false, sawAlias = false;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        Bstr typeName;
        lib->GetDocumentation(static_cast<INT>(i), typeName.put(), nullptr, nullptr, nullptr);
        TYPEKIND kind;
        lib->GetTypeInfoType(i, &kind);
        if (typeName.utf8() == "_wrShutdownConstants") sawEnum = kind == TKIND_ENUM;
        if (typeName.utf8() == "ShutdownConstants") sawAlias = kind == TKIND_ALIAS;
    }
    EXPECT_TRUE(sawEnum);
    EXPECT_TRUE(sawAlias);
    Variant value;
    ASSERT_EQ(findTypeLibConstant(lib.get(), "wrErrorConnectionRefused", &value), S_OK);
    EXPECT_EQ(value.lVal, 10061);
}

TEST(WirranTypeInfo, EveryErrorConstantCarriesItsMessageText) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(wirranTypeLib(lib.put()), S_OK);
    size_t checked = 0;
    for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
        Bstr typeName;
        lib->GetDocumentation(static_cast<INT>(t), typeName.put(), nullptr, nullptr, nullptr);
        if (typeName.utf8() != "_wrErrorConstants") continue;
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(lib->GetTypeInfo(t, info.put()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->cVars, 1 + 184);  // wrError and every named code
        for (UINT v = 1; v < attr->cVars; ++v) {
            VARDESC* var = nullptr;
            ASSERT_EQ(info->GetVarDesc(v, &var), S_OK);
            Bstr help;
            ASSERT_EQ(info->GetDocumentation(var->memid, nullptr, help.put(), nullptr, nullptr),
                      S_OK);
            EXPECT_EQ(help.utf8(),
                      errorText(wirranErrorHresult(static_cast<uint32_t>(var->lpvarValue->lVal))));
            ++checked;
        }
        info->ReleaseTypeAttr(attr);
    }
    EXPECT_EQ(checked, 184u);
}
