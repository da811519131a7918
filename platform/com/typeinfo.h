#pragma once
// Type information: ITypeInfo and ITypeLib over a description an object builds at run time from
// its own tables, and loading a module's type library by path (LoadTypeLib) or through its
// registration (LoadRegTypeLib).
//
//   auto lib = std::make_shared<TypeLibDescription>();
//   lib->name = "WirranCtl";
//   ...                                   // types: dispatch interfaces, enumerations, a coclass
//   ComPtr<ITypeLib> typeLib;
//   createTypeLib(lib, typeLib.put());
//
// The interfaces carry the members of the Windows ones that a host uses to list members and
// look up names: attributes, function and variable descriptions, names, documentation,
// implemented types and the containing library. The descriptions a type info hands out belong
// to it (they live as long as the type info); the Release calls are accepted and do nothing.
// Functions are described as a dispatch interface sees them: the [out, retval] parameter is not
// a parameter but the function's result type.
//
// A module holds its type library the way a Windows module holds its TYPELIB resource: it
// exports, with C linkage, "HRESULT DllGetTypeLib(ITypeLib** lib)".

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/comptr.h"
#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

using HREFTYPE = DWORD;

// The variant types only a type description uses.
constexpr VARTYPE VT_PTR = 26;
constexpr VARTYPE VT_USERDEFINED = 29;

constexpr HRESULT TYPE_E_LIBNOTREGISTERED = static_cast<HRESULT>(0x8002801D);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802B);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = static_cast<HRESULT>(0x80029C4A);
using SYSKIND = int;
constexpr SYSKIND SYS_WIN64 = 3;

enum TYPEKIND {
    TKIND_ENUM = 0,
    TKIND_RECORD,
    TKIND_MODULE,
    TKIND_INTERFACE,
    TKIND_DISPATCH,
    TKIND_COCLASS,
    TKIND_ALIAS,
    TKIND_UNION,
};
enum INVOKEKIND {
    INVOKE_FUNC = 1,
    INVOKE_PROPERTYGET = 2,
    INVOKE_PROPERTYPUT = 4,
    INVOKE_PROPERTYPUTREF = 8,
};
enum FUNCKIND { FUNC_VIRTUAL, FUNC_PUREVIRTUAL, FUNC_NONVIRTUAL, FUNC_STATIC, FUNC_DISPATCH };
enum CALLCONV { CC_STDCALL = 4 };
enum VARKIND { VAR_PERINSTANCE, VAR_STATIC, VAR_CONST, VAR_DISPATCH };

constexpr USHORT PARAMFLAG_NONE = 0x0;
constexpr USHORT PARAMFLAG_FIN = 0x1;
constexpr USHORT PARAMFLAG_FOUT = 0x2;
constexpr USHORT PARAMFLAG_FRETVAL = 0x8;
constexpr USHORT PARAMFLAG_FOPT = 0x10;

constexpr int IMPLTYPEFLAG_FDEFAULT = 0x1;
constexpr int IMPLTYPEFLAG_FSOURCE = 0x2;

constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
constexpr WORD TYPEFLAG_FCONTROL = 0x20;
constexpr WORD TYPEFLAG_FDUAL = 0x40;
constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;
constexpr WORD TYPEFLAG_FDISPATCHABLE = 0x1000;

// A type: vt, or VT_PTR to *lptdesc, or VT_USERDEFINED naming another type by hreftype.
struct TYPEDESC {
    union {
        const TYPEDESC* lptdesc;
        HREFTYPE hreftype;
    };
    VARTYPE vt;
};
struct PARAMDESC {
    void* pparamdescex;
    USHORT wParamFlags;
};
struct ELEMDESC {
    TYPEDESC tdesc;
    PARAMDESC paramdesc;
};
struct TYPEATTR {
    GUID guid;
    LCID lcid;
    MEMBERID memidConstructor;
    MEMBERID memidDestructor;
    ULONG cbSizeInstance;
    TYPEKIND typekind;
    WORD cFuncs;
    WORD cVars;
    WORD cImplTypes;
    WORD cbSizeVft;
    WORD cbAlignment;
    WORD wTypeFlags;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    TYPEDESC tdescAlias;  // TKIND_ALIAS: the aliased type
};
struct FUNCDESC {
    MEMBERID memid;
    ELEMDESC* lprgelemdescParam;
    FUNCKIND funckind;
    INVOKEKIND invkind;
    CALLCONV callconv;
    SHORT cParams;
    SHORT cParamsOpt;
    SHORT oVft;
    ELEMDESC elemdescFunc;  // the result type (VT_VOID for none)
    WORD wFuncFlags;
};
struct VARDESC {
    MEMBERID memid;
    const VARIANT* lpvarValue;  // VAR_CONST: the constant's value
    ELEMDESC elemdescVar;
    WORD wVarFlags;
    VARKIND varkind;
};
struct TLIBATTR {
    GUID guid;
    LCID lcid;
    SYSKIND syskind;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    WORD wLibFlags;
};

inline constexpr IID IID_ITypeInfo{
    0x00020401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ITypeLib{
    0x00020402, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct ITypeLib;

// Failures shared by both interfaces: E_INVALIDARG for a null out pointer,
// TYPE_E_ELEMENTNOTFOUND for an index or member identifier the type does not have.
struct ITypeInfo : IUnknown {
    static constexpr const IID& kIid = IID_ITypeInfo;
    using ComBase = IUnknown;
    virtual HRESULT GetTypeAttr(TYPEATTR** attr) = 0;
    virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) = 0;
    virtual HRESULT GetVarDesc(UINT index, VARDESC** desc) = 0;
    // GetNames: the member's name, then its parameters' names, at most maxNames of them.
    virtual HRESULT GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) = 0;
    virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) = 0;
    virtual HRESULT GetImplTypeFlags(UINT index, INT* flags) = 0;
    // GetIDsOfNames: the first name is a member (ASCII case ignored), the others its parameters;
    // DISP_E_UNKNOWNNAME when one is unknown.
    virtual HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) = 0;
    // GetDocumentation: the type's (MEMBERID_NIL) or a member's name and help string; any out
    // pointer may be null. The help context is 0 and there is no help file.
    virtual HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* helpContext,
                                     BSTR* helpFile) = 0;
    virtual HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) = 0;
    virtual HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) = 0;
    virtual void ReleaseTypeAttr(TYPEATTR* attr) = 0;
    virtual void ReleaseFuncDesc(FUNCDESC* desc) = 0;
    virtual void ReleaseVarDesc(VARDESC* desc) = 0;
};

struct ITypeLib : IUnknown {
    static constexpr const IID& kIid = IID_ITypeLib;
    using ComBase = IUnknown;
    virtual UINT GetTypeInfoCount() = 0;
    virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** info) = 0;
    virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) = 0;
    // GetTypeInfoOfGuid: TYPE_E_ELEMENTNOTFOUND when no type has that GUID.
    virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) = 0;
    virtual HRESULT GetLibAttr(TLIBATTR** attr) = 0;
    // GetDocumentation: the library's (index -1) or a type's name and help string.
    virtual HRESULT GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* helpContext,
                                     BSTR* helpFile) = 0;
    virtual void ReleaseTLibAttr(TLIBATTR* attr) = 0;
};

constexpr MEMBERID MEMBERID_NIL = -1;

// ---- Describing a library ---------------------------------------------------------------------

struct TypeParamDescription {
    std::string name;
    TYPEDESC type;  // VT_PTR types point at a TYPEDESC of static storage (typeDescOf)
    USHORT flags;   // PARAMFLAG_...
};
struct TypeFuncDescription {
    std::string name;
    MEMBERID id;
    INVOKEKIND invokeKind;
    std::vector<TypeParamDescription> params;
    TYPEDESC result;  // VT_VOID when there is none
    std::string help;
};
struct TypeConstDescription {
    std::string name;
    Variant value;
    std::string help;
};
struct TypeImplDescription {
    HREFTYPE ref;  // the index of the implemented type in the library
    INT flags;     // IMPLTYPEFLAG_...
};
struct TypeDescription {
    std::string name;
    std::string help;
    TYPEKIND kind = TKIND_DISPATCH;
    GUID guid = GUID_NULL;
    WORD flags = 0;
    std::vector<TypeFuncDescription> funcs;  // TKIND_DISPATCH
    std::vector<TypeConstDescription> vars;  // TKIND_ENUM, TKIND_MODULE (constants)
    std::vector<TypeImplDescription> impls;  // TKIND_COCLASS
    TYPEDESC alias{};                        // TKIND_ALIAS
};
struct TypeLibDescription {
    std::string name;
    std::string help;
    GUID guid = GUID_NULL;
    WORD major = 0;
    WORD minor = 0;
    std::vector<TypeDescription> types;  // a type's index is its HREFTYPE
};

// typeDescOf is the TYPEDESC of a VARTYPE as a parameter or result declares it: VT_BYREF | vt
// becomes VT_PTR to vt (the pointed-to TYPEDESC has static storage).
TYPEDESC typeDescOf(VARTYPE vt);

// createTypeLib makes a type library over description (shared by every type info it hands out).
// E_INVALIDARG for a null description or out pointer.
HRESULT createTypeLib(std::shared_ptr<const TypeLibDescription> description, ITypeLib** lib);

// findTypeLibConstant looks a constant (a variable of an enumeration or module) up by name, ASCII
// case ignored, in every type of lib; *value receives a copy. TYPE_E_ELEMENTNOTFOUND when no type
// has it, E_INVALIDARG for null arguments.
HRESULT findTypeLibConstant(ITypeLib* lib, std::string_view name, VARIANT* value);

// ---- Loading ----------------------------------------------------------------------------------

using DllGetTypeLibFn = HRESULT (*)(ITypeLib** lib);

// LoadTypeLib loads the module at path (it stays loaded) and asks its DllGetTypeLib for the
// library. TYPE_E_CANTLOADLIBRARY when the module cannot be loaded or exports no library,
// E_INVALIDARG for null arguments, else the module's own code.
HRESULT LoadTypeLib(LPCOLESTR path, ITypeLib** lib);

// LoadRegTypeLib loads the library registered under HKEY_CLASSES_ROOT\TypeLib\{libid}\major.minor
// (the module path under "0\linux64"). TYPE_E_LIBNOTREGISTERED when that version is not
// registered, else LoadTypeLib's failures.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** lib);
