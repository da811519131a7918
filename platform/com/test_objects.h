#pragma once
// Mock objects for the COM runtime's tests: they count their references and never delete
// themselves, so a test can check that every AddRef was matched by a Release.

#include <functional>
#include <utility>
#include <vector>

#include "platform/com/dispatch.h"

// A plain IUnknown that counts references (starting at 0; the test owns the object).
class CountingUnknown : public IUnknown {
  public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }
    int refs() const { return m_refs; }

  private:
    int m_refs = 0;
};

// An event sink for a dispatch interface: answers IUnknown, IDispatch and the event IID, counts
// references and records every Invoke (DISPID and the arguments in natural order).
class CountingSink : public IDispatch {
  public:
    struct Call {
        DISPID id;
        std::vector<Variant> args;
    };

    explicit CountingSink(const IID& eventIid, std::vector<std::pair<int, DISPID>>* order = nullptr,
                          int name = 0)
        : m_iid(eventIid), m_order(order), m_name(name) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == m_iid) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }
    HRESULT GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   UINT*) override {
        Call call{id, {}};
        for (UINT i = params->cArgs; i > 0; --i)
            call.args.emplace_back(params->rgvarg[i - 1]);
        calls.push_back(std::move(call));
        if (m_order) m_order->emplace_back(m_name, id);
        if (onInvoke) onInvoke();
        return m_result;
    }

    int refs() const { return m_refs; }
    void setResult(HRESULT hr) { m_result = hr; }

    std::vector<Call> calls;
    std::function<void()> onInvoke;

  private:
    IID m_iid;
    std::vector<std::pair<int, DISPID>>* m_order;
    int m_name;
    int m_refs = 0;
    HRESULT m_result = S_OK;
};
