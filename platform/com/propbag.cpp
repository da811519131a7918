// The memory property bag.

#include <map>

#include "platform/com/comobject.h"
#include "platform/com/persist.h"

namespace {

std::u16string foldKey(std::u16string_view name) {
    std::u16string key(name);
    for (char16_t& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c - 'A' + 'a');
    return key;
}

void logError(IErrorLog* log, LPCOLESTR name, HRESULT hr) {
    if (!log) return;
    EXCEPINFO excep{};
    excep.scode = hr;
    excep.bstrDescription = bstrFromUtf8(hresultText(hr));
    log->AddError(name, &excep);
    clearExcepInfo(&excep);
}

class MemoryPropertyBag final : public ComClass<IPropertyBag> {
  public:
    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* errorLog) override {
        if (!name || !value) return E_POINTER;
        auto it = m_values.find(foldKey(name));
        HRESULT hr = E_INVALIDARG;
        if (it != m_values.end()) {
            // value->vt on entry is the type the reader wants; VT_EMPTY takes the stored one.
            VARTYPE wanted = value->vt;
            hr = wanted == VT_EMPTY ? VariantCopy(value, &it->second)
                                    : VariantChangeType(value, &it->second, 0, wanted);
        }
        if (FAILED(hr)) logError(errorLog, name, hr);
        return hr;
    }

    HRESULT Write(LPCOLESTR name, VARIANT* value) override {
        if (!name || !value) return E_POINTER;
        Variant copy;
        HRESULT hr = VariantCopyInd(&copy, value);
        if (FAILED(hr)) return hr;
        m_values[foldKey(name)] = std::move(copy);
        return S_OK;
    }

  private:
    std::map<std::u16string, Variant> m_values;
};

}  // namespace

HRESULT CreateMemoryPropertyBag(IPropertyBag** out) {
    if (!out) return E_INVALIDARG;
    *out = makeComObject<MemoryPropertyBag>().detach();
    return S_OK;
}
