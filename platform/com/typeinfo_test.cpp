#include "platform/com/typeinfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/com/bstr.h"
#include "platform/registry/registry.h"

namespace {

constexpr GUID kLibId{0x11111111, 0x2222, 0x3333, {4, 4, 5, 5, 6, 6, 7, 7}};
constexpr GUID kFaceId{0x11111112, 0x2222, 0x3333, {4, 4, 5, 5, 6, 6, 7, 7}};

// A library of three types: a dispatch interface, an enumeration, a class implementing the first.
ComPtr<ITypeLib> sampleLib() {
    auto lib = std::make_shared<TypeLibDescription>();
    lib->name = "SampleLib";
    lib->help = "A sample";
    lib->guid = kLibId;
    lib->major = 1;
    TypeDescription face;
    face.name = "ISample";
    face.help = "The sample interface";
    face.guid = kFaceId;
    face.flags = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
    face.funcs.push_back({"Timeout", 62, INVOKE_PROPERTYGET, {}, typeDescOf(VT_I4), "Seconds"});
    face.funcs.push_back({"Timeout",
                          62,
                          INVOKE_PROPERTYPUT,
                          {{"value", typeDescOf(VT_I4), PARAMFLAG_FIN}},
                          typeDescOf(VT_VOID),
                          "Seconds"});
    face.funcs.push_back({"Read",
                          81,
                          INVOKE_FUNC,
                          {{"Buffer", typeDescOf(VT_VARIANT | VT_BYREF), PARAMFLAG_FOUT},
                           {"Length", typeDescOf(VT_VARIANT), PARAMFLAG_FIN | PARAMFLAG_FOPT}},
                          typeDescOf(VT_VARIANT),
                          "Reads data"});
    lib->types.push_back(face);
    TypeDescription constants;
    constants.name = "_Colours";
    constants.kind = TKIND_ENUM;
    constants.vars.push_back({"clRed", Variant(int32_t{1}), ""});
    constants.vars.push_back({"clAddress", Variant(u"127.0.0.1"), ""});
    lib->types.push_back(constants);
    TypeDescription coclass;
    coclass.name = "Sample";
    coclass.kind = TKIND_COCLASS;
    coclass.impls.push_back({0, IMPLTYPEFLAG_FDEFAULT});
    lib->types.push_back(coclass);
    ComPtr<ITypeLib> made;
    EXPECT_EQ(createTypeLib(lib, made.put()), S_OK);
    return made;
}

}  // namespace

TEST(TypeInfo, DescribesFunctionsWithTheirParametersAndDocumentation) {
    ComPtr<ITypeLib> lib = sampleLib();
    ASSERT_EQ(lib->GetTypeInfoCount(), 3u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(kFaceId, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cFuncs, 3);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
    info->ReleaseTypeAttr(attr);

    FUNCDESC* read = nullptr;
    ASSERT_EQ(info->GetFuncDesc(2, &read), S_OK);
    EXPECT_EQ(read->memid, 81);
    EXPECT_EQ(read->invkind, INVOKE_FUNC);
    EXPECT_EQ(read->cParams, 2);
    EXPECT_EQ(read->cParamsOpt, 1);
    EXPECT_EQ(read->lprgelemdescParam[0].tdesc.vt, VT_PTR);
    EXPECT_EQ(read->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_VARIANT);
    EXPECT_EQ(read->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FOUT);
    EXPECT_EQ(read->lprgelemdescParam[1].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT);
    EXPECT_EQ(read->elemdescFunc.tdesc.vt, VT_VARIANT);
    info->ReleaseFuncDesc(read);
    FUNCDESC* none = nullptr;
    EXPECT_EQ(info->GetFuncDesc(3, &none), TYPE_E_ELEMENTNOTFOUND);

    BSTR names[3] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(81, names, 3, &count), S_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(bstrToUtf8(names[0]), "Read");
    EXPECT_EQ(bstrToUtf8(names[2]), "Length");
    for (BSTR n : names)
        SysFreeString(n);
    // At most as many names as asked for.
    ASSERT_EQ(info->GetNames(81, names, 1, &count), S_OK);
    EXPECT_EQ(count, 1u);
    SysFreeString(names[0]);

    std::u16string member = u"read", param = u"LENGTH", wrong = u"Size";
    LPOLESTR lookup[] = {member.data(), param.data()};
    MEMBERID ids[2];
    ASSERT_EQ(info->GetIDsOfNames(lookup, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 81);
    EXPECT_EQ(ids[1], 1);
    lookup[1] = wrong.data();
    EXPECT_EQ(info->GetIDsOfNames(lookup, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);

    Bstr name, doc;
    ASSERT_EQ(info->GetDocumentation(62, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "Timeout");
    EXPECT_EQ(doc.utf8(), "Seconds");
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.utf8(), "The sample interface");
    EXPECT_EQ(info->GetDocumentation(99, name.put(), nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
}

TEST(TypeInfo, ConstantsClassesAndTheirLibrary) {
    ComPtr<ITypeLib> lib = sampleLib();
    Variant value;
    ASSERT_EQ(findTypeLibConstant(lib.get(), "CLRED", &value), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 1);
    ASSERT_EQ(findTypeLibConstant(lib.get(), "clAddress", &value), S_OK);
    EXPECT_EQ(bstrToUtf8(value.bstrVal), "127.0.0.1");
    EXPECT_EQ(findTypeLibConstant(lib.get(), "clBlue", &value), TYPE_E_ELEMENTNOTFOUND);

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfo(2, coclass.put()), S_OK);
    HREFTYPE ref = 0;
    INT flags = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    EXPECT_EQ(coclass->GetRefTypeOfImplType(1, &ref), TYPE_E_ELEMENTNOTFOUND);
    ComPtr<ITypeInfo> face;
    ASSERT_EQ(coclass->GetRefTypeInfo(0, face.put()), S_OK);
    Bstr name;
    ASSERT_EQ(face->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "ISample");
    // A type keeps its library alive and knows its place in it.
    ComPtr<ITypeLib> containing;
    UINT index = 9;
    lib.reset();
    ASSERT_EQ(face->GetContainingTypeLib(containing.put(), &index), S_OK);
    EXPECT_EQ(index, 0u);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(containing->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, kLibId);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    containing->ReleaseTLibAttr(attr);
}

TEST(TypeInfo, LoadingFailsForWhatIsNotThere) {
    std::string folder =
        (std::filesystem::temp_directory_path() / "typeinfo-registry-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(folder.data()));
    setenv(kRegistryDirVariable, folder.c_str(), 1);
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(kLibId, 1, 0, 0, lib.put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadTypeLib(u"/nonexistent/libnothing.so", lib.put()), TYPE_E_CANTLOADLIBRARY);
    // A registration that names a module without a library.
    HKEY key = nullptr;
    std::string path = "TypeLib\\" + guidToString(kLibId) + "\\1.0\\0\\linux64";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char module[] = "libc.so.6";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(module), sizeof module);
    RegCloseKey(key);
    EXPECT_EQ(LoadRegTypeLib(kLibId, 1, 0, 0, lib.put()), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadRegTypeLib(kLibId, 2, 0, 0, lib.put()), TYPE_E_LIBNOTREGISTERED);
    unsetenv(kRegistryDirVariable);
    std::filesystem::remove_all(folder);
}
