// Per-thread error information and the error object.

#include "platform/com/errorinfo.h"

#include "platform/com/comobject.h"

namespace {

class ErrorInfo final : public ComClass<ICreateErrorInfo, IErrorInfo> {
  public:
    // ICreateErrorInfo
    HRESULT SetGUID(REFGUID guid) override {
        m_guid = guid;
        return S_OK;
    }
    HRESULT SetSource(LPOLESTR source) override { return assign(m_source, source); }
    HRESULT SetDescription(LPOLESTR description) override {
        return assign(m_description, description);
    }
    HRESULT SetHelpFile(LPOLESTR helpFile) override { return assign(m_helpFile, helpFile); }
    HRESULT SetHelpContext(DWORD helpContext) override {
        m_helpContext = helpContext;
        return S_OK;
    }

    // IErrorInfo
    HRESULT GetGUID(GUID* guid) override {
        if (!guid) return E_INVALIDARG;
        *guid = m_guid;
        return S_OK;
    }
    HRESULT GetSource(BSTR* source) override { return hand(m_source, source); }
    HRESULT GetDescription(BSTR* description) override { return hand(m_description, description); }
    HRESULT GetHelpFile(BSTR* helpFile) override { return hand(m_helpFile, helpFile); }
    HRESULT GetHelpContext(DWORD* helpContext) override {
        if (!helpContext) return E_INVALIDARG;
        *helpContext = m_helpContext;
        return S_OK;
    }

  private:
    static HRESULT assign(Bstr& field, LPOLESTR text) {
        Bstr fresh;
        if (text) {
            fresh = Bstr::adopt(SysAllocString(text));
            if (!fresh.get()) return E_OUTOFMEMORY;
        }
        field = std::move(fresh);
        return S_OK;
    }
    static HRESULT hand(const Bstr& field, BSTR* out) {
        if (!out) return E_INVALIDARG;
        *out = field.copy();
        return (field.get() && !*out) ? E_OUTOFMEMORY : S_OK;
    }

    GUID m_guid = GUID_NULL;
    Bstr m_source;
    Bstr m_description;
    Bstr m_helpFile;
    DWORD m_helpContext = 0;
};

// The calling thread's error object. Released when the thread ends.
thread_local ComPtr<IErrorInfo> t_errorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
    if (!out) return E_INVALIDARG;
    ComPtr<ErrorInfo> info = makeComObject<ErrorInfo>();
    *out = static_cast<ICreateErrorInfo*>(info.detach());
    return S_OK;
}

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) {
    if (reserved != 0) return E_INVALIDARG;
    t_errorInfo = ComPtr<IErrorInfo>(info);
    return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** out) {
    if (!out || reserved != 0) return E_INVALIDARG;
    *out = t_errorInfo.detach();
    return *out ? S_OK : S_FALSE;
}

HRESULT setErrorInfoText(REFIID iid, std::u16string_view source, std::u16string_view description,
                         HRESULT hr) {
    SetErrorInfo(0, nullptr);
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return hr;
    Bstr sourceText(source);
    Bstr descriptionText(description);
    create->SetGUID(iid);
    create->SetSource(sourceText.get());
    create->SetDescription(descriptionText.get());
    if (ComPtr<IErrorInfo> info = create.as<IErrorInfo>()) SetErrorInfo(0, info.get());
    return hr;
}
