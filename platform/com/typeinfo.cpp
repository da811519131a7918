// ITypeLib and ITypeInfo over a TypeLibDescription, and loading a module's type library.

#include "platform/com/typeinfo.h"

#include <dlfcn.h>

#include "platform/com/bstr.h"
#include "platform/com/comobject.h"
#include "platform/registry/registry.h"

namespace {

bool sameName(std::string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = static_cast<unsigned char>(a[i]), y = b[i];
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

void setText(BSTR* out, const std::string& text) {
    if (out) *out = bstrFromUtf8(text);
}

class TypeLib;

// One type of the library. Its descriptions are built once, when it is made, and handed out as
// they are (they live as long as the type info).
class TypeInfo final : public ComClass<ITypeInfo> {
  public:
    TypeInfo(ComPtr<ITypeLib> lib, std::shared_ptr<const TypeLibDescription> all, UINT index)
        : m_lib(std::move(lib)),
          m_all(std::move(all)),
          m_index(index),
          m_type(m_all->types[index]) {
        m_attr = TYPEATTR{};
        m_attr.guid = m_type.guid;
        m_attr.memidConstructor = MEMBERID_NIL;
        m_attr.memidDestructor = MEMBERID_NIL;
        m_attr.typekind = m_type.kind;
        m_attr.cFuncs = static_cast<WORD>(m_type.funcs.size());
        m_attr.cVars = static_cast<WORD>(m_type.vars.size());
        m_attr.cImplTypes = static_cast<WORD>(m_type.impls.size());
        m_attr.cbAlignment = 8;
        m_attr.wTypeFlags = m_type.flags;
        m_attr.wMajorVerNum = m_all->major;
        m_attr.wMinorVerNum = m_all->minor;
        m_attr.tdescAlias = m_type.alias;
        m_params.resize(m_type.funcs.size());
        for (size_t i = 0; i < m_type.funcs.size(); ++i) {
            const TypeFuncDescription& f = m_type.funcs[i];
            FUNCDESC d{};
            d.memid = f.id;
            d.funckind = FUNC_DISPATCH;
            d.invkind = f.invokeKind;
            d.callconv = CC_STDCALL;
            d.cParams = static_cast<SHORT>(f.params.size());
            for (const TypeParamDescription& p : f.params) {
                m_params[i].push_back(ELEMDESC{p.type, PARAMDESC{nullptr, p.flags}});
                if (p.flags & PARAMFLAG_FOPT) ++d.cParamsOpt;
            }
            d.elemdescFunc.tdesc = f.result;
            m_funcs.push_back(d);
        }
        // The parameter arrays are complete only now: a vector that grew would have moved them.
        for (size_t i = 0; i < m_funcs.size(); ++i)
            m_funcs[i].lprgelemdescParam = m_params[i].empty() ? nullptr : m_params[i].data();
        for (size_t i = 0; i < m_type.vars.size(); ++i) {
            VARDESC d{};
            d.memid = static_cast<MEMBERID>(i);
            d.lpvarValue = &m_type.vars[i].value;
            d.elemdescVar.tdesc = typeDescOf(m_type.vars[i].value.vt);
            d.varkind = VAR_CONST;
            m_vars.push_back(d);
        }
    }

    HRESULT GetTypeAttr(TYPEATTR** attr) override {
        if (!attr) return E_INVALIDARG;
        *attr = &m_attr;
        return S_OK;
    }
    HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) override {
        if (!desc) return E_INVALIDARG;
        if (index >= m_funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
        *desc = &m_funcs[index];
        return S_OK;
    }
    HRESULT GetVarDesc(UINT index, VARDESC** desc) override {
        if (!desc) return E_INVALIDARG;
        if (index >= m_vars.size()) return TYPE_E_ELEMENTNOTFOUND;
        *desc = &m_vars[index];
        return S_OK;
    }
    HRESULT GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) override {
        if (!names || !count) return E_INVALIDARG;
        *count = 0;
        if (const TypeFuncDescription* f = func(id)) {
            if (maxNames > 0) names[(*count)++] = bstrFromUtf8(f->name);
            for (const TypeParamDescription& p : f->params)
                if (*count < maxNames) names[(*count)++] = bstrFromUtf8(p.name);
            return S_OK;
        }
        if (const TypeConstDescription* v = var(id)) {
            if (maxNames > 0) names[(*count)++] = bstrFromUtf8(v->name);
            return S_OK;
        }
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override {
        if (!ref) return E_INVALIDARG;
        if (index >= m_type.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
        *ref = m_type.impls[index].ref;
        return S_OK;
    }
    HRESULT GetImplTypeFlags(UINT index, INT* flags) override {
        if (!flags) return E_INVALIDARG;
        if (index >= m_type.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
        *flags = m_type.impls[index].flags;
        return S_OK;
    }
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        const TypeFuncDescription* found = nullptr;
        for (const TypeFuncDescription& f : m_type.funcs)
            if (sameName(f.name, names[0])) {
                found = &f;
                break;
            }
        if (!found) {
            for (size_t v = 0; v < m_type.vars.size(); ++v)
                if (sameName(m_type.vars[v].name, names[0])) {
                    ids[0] = static_cast<MEMBERID>(v);
                    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
                }
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = found->id;
        HRESULT hr = S_OK;
        for (UINT i = 1; i < count; ++i) {
            for (size_t p = 0; p < found->params.size(); ++p)
                if (sameName(found->params[p].name, names[i])) ids[i] = static_cast<MEMBERID>(p);
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* helpContext,
                             BSTR* helpFile) override {
        const std::string* n = nullptr;
        const std::string* h = nullptr;
        if (id == MEMBERID_NIL) {
            n = &m_type.name;
            h = &m_type.help;
        } else if (const TypeFuncDescription* f = func(id)) {
            n = &f->name;
            h = &f->help;
        } else if (const TypeConstDescription* v = var(id)) {
            n = &v->name;
            h = &v->help;
        } else {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        setText(name, *n);
        setText(doc, *h);
        if (helpContext) *helpContext = 0;
        if (helpFile) *helpFile = nullptr;
        return S_OK;
    }
    HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override {
        if (!info) return E_INVALIDARG;
        return m_lib->GetTypeInfo(ref, info);
    }
    HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
        if (!lib) return E_INVALIDARG;
        *lib = m_lib.get();
        (*lib)->AddRef();
        if (index) *index = m_index;
        return S_OK;
    }
    void ReleaseTypeAttr(TYPEATTR*) override {}
    void ReleaseFuncDesc(FUNCDESC*) override {}
    void ReleaseVarDesc(VARDESC*) override {}

  private:
    // A function by member identifier (the first of a property's get and put), or nullptr.
    const TypeFuncDescription* func(MEMBERID id) const {
        for (const TypeFuncDescription& f : m_type.funcs)
            if (f.id == id) return &f;
        return nullptr;
    }
    // A constant's member identifier is its index.
    const TypeConstDescription* var(MEMBERID id) const {
        if (id < 0 || static_cast<size_t>(id) >= m_type.vars.size()) return nullptr;
        return &m_type.vars[static_cast<size_t>(id)];
    }

    ComPtr<ITypeLib> m_lib;  // the library stays while any of its types is held
    std::shared_ptr<const TypeLibDescription> m_all;
    UINT m_index;
    const TypeDescription& m_type;
    TYPEATTR m_attr;
    std::vector<FUNCDESC> m_funcs;
    std::vector<std::vector<ELEMDESC>> m_params;
    std::vector<VARDESC> m_vars;
};

class TypeLib final : public ComClass<ITypeLib> {
  public:
    explicit TypeLib(std::shared_ptr<const TypeLibDescription> description)
        : m_description(std::move(description)) {
        m_attr = TLIBATTR{m_description->guid,  0, SYS_WIN64, m_description->major,
                          m_description->minor, 0};
    }

    UINT GetTypeInfoCount() override { return static_cast<UINT>(m_description->types.size()); }
    HRESULT GetTypeInfo(UINT index, ITypeInfo** info) override {
        if (!info) return E_INVALIDARG;
        *info = nullptr;
        if (index >= m_description->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        ComPtr<TypeInfo> made =
            makeComObject<TypeInfo>(ComPtr<ITypeLib>(this), m_description, index);
        *info = made.detach();
        return S_OK;
    }
    HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) override {
        if (!kind) return E_INVALIDARG;
        if (index >= m_description->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        *kind = m_description->types[index].kind;
        return S_OK;
    }
    HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override {
        if (!info) return E_INVALIDARG;
        *info = nullptr;
        for (size_t i = 0; i < m_description->types.size(); ++i)
            if (m_description->types[i].guid == guid && guid != GUID_NULL)
                return GetTypeInfo(static_cast<UINT>(i), info);
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT GetLibAttr(TLIBATTR** attr) override {
        if (!attr) return E_INVALIDARG;
        *attr = &m_attr;
        return S_OK;
    }
    HRESULT GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* helpContext,
                             BSTR* helpFile) override {
        const std::string* n = &m_description->name;
        const std::string* h = &m_description->help;
        if (index >= 0) {
            if (static_cast<size_t>(index) >= m_description->types.size())
                return TYPE_E_ELEMENTNOTFOUND;
            n = &m_description->types[static_cast<size_t>(index)].name;
            h = &m_description->types[static_cast<size_t>(index)].help;
        }
        setText(name, *n);
        setText(doc, *h);
        if (helpContext) *helpContext = 0;
        if (helpFile) *helpFile = nullptr;
        return S_OK;
    }
    void ReleaseTLibAttr(TLIBATTR*) override {}

  private:
    std::shared_ptr<const TypeLibDescription> m_description;
    TLIBATTR m_attr;
};

}  // namespace

TYPEDESC typeDescOf(VARTYPE vt) {
    // The pointed-to types of by-reference parameters, one static TYPEDESC per base type.
    static const TYPEDESC kVariant{{nullptr}, VT_VARIANT};
    static const TYPEDESC kLong{{nullptr}, VT_I4};
    static const TYPEDESC kBool{{nullptr}, VT_BOOL};
    static const TYPEDESC kString{{nullptr}, VT_BSTR};
    static const TYPEDESC kOther{{nullptr}, VT_EMPTY};
    TYPEDESC d{};
    if (!(vt & VT_BYREF)) {
        d.vt = vt;
        return d;
    }
    d.vt = VT_PTR;
    switch (vt & VT_TYPEMASK) {
        case VT_VARIANT:
            d.lptdesc = &kVariant;
            break;
        case VT_I4:
            d.lptdesc = &kLong;
            break;
        case VT_BOOL:
            d.lptdesc = &kBool;
            break;
        case VT_BSTR:
            d.lptdesc = &kString;
            break;
        default:
            d.lptdesc = &kOther;
            break;
    }
    return d;
}

HRESULT createTypeLib(std::shared_ptr<const TypeLibDescription> description, ITypeLib** lib) {
    if (!description || !lib) return E_INVALIDARG;
    *lib = makeComObject<TypeLib>(std::move(description)).detach();
    return S_OK;
}

HRESULT findTypeLibConstant(ITypeLib* lib, std::string_view name, VARIANT* value) {
    if (!lib || !value) return E_INVALIDARG;
    std::u16string wanted = utf8ToUtf16(name);
    for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
        ComPtr<ITypeInfo> info;
        if (FAILED(lib->GetTypeInfo(t, info.put()))) continue;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) continue;
        WORD vars = attr->cVars;
        info->ReleaseTypeAttr(attr);
        for (UINT v = 0; v < vars; ++v) {
            VARDESC* desc = nullptr;
            if (FAILED(info->GetVarDesc(v, &desc))) continue;
            Bstr found;
            UINT count = 0;
            bool match = SUCCEEDED(info->GetNames(desc->memid, found.put(), 1, &count)) &&
                         count == 1 && sameName(found.utf8(), wanted);
            HRESULT hr = match ? VariantCopy(value, desc->lpvarValue) : S_OK;
            info->ReleaseVarDesc(desc);
            if (match) return hr;
        }
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT LoadTypeLib(LPCOLESTR path, ITypeLib** lib) {
    if (!path || !lib) return E_INVALIDARG;
    *lib = nullptr;
    std::string file = utf16ToUtf8(path);
    // The module stays loaded: the library's code lives in it.
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return TYPE_E_CANTLOADLIBRARY;
    auto entry = reinterpret_cast<DllGetTypeLibFn>(dlsym(module, "DllGetTypeLib"));
    if (!entry) return TYPE_E_CANTLOADLIBRARY;
    return entry(lib);
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID, ITypeLib** lib) {
    if (!lib) return E_INVALIDARG;
    *lib = nullptr;
    std::string key = "TypeLib\\" + guidToString(libid) + "\\" + std::to_string(major) + "." +
                      std::to_string(minor) + "\\0\\linux64";
    HKEY found = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &found) != ERROR_SUCCESS)
        return TYPE_E_LIBNOTREGISTERED;
    char path[4096];
    DWORD size = sizeof path - 1;
    DWORD type = 0;
    LSTATUS status =
        RegQueryValueExA(found, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(found);
    if (status != ERROR_SUCCESS || type != REG_SZ || size == 0) return TYPE_E_LIBNOTREGISTERED;
    path[size] = '\0';
    return LoadTypeLib(utf8ToUtf16(path).c_str(), lib);
}
