#pragma once
// Implementing COM objects: reference counting, QueryInterface over a list of interfaces,
// aggregation, class factories and the module's lock count.
//
//   class Widget final : public ComClass<IWidget, ISupportErrorInfo> {
//   public:
//       explicit Widget(IUnknown* outer) : ComClass(outer) {}
//       HRESULT STDMETHOD... // the interfaces' methods
//   };
//   // Not aggregated: ComPtr<Widget> w = makeComObject<Widget>(nullptr);
//   // From a class factory: return createComObject<Widget>(outer, riid, ppv);
//
// QueryInterface answers IUnknown, every listed interface and every interface each one derives
// from (through its ComBase chain: IStream answers ISequentialStream too); queryInterfaceExtra
// may answer more. The first listed interface that derives from a requested one provides it.
// When aggregated (created with an outer object), QueryInterface, AddRef and Release of every
// interface go to the outer object, and nonDelegatingUnknown() is what the outer object holds.

#include <atomic>
#include <type_traits>
#include <utility>

#include "platform/com/comptr.h"

template <class... Interfaces>
class ComClass : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "a COM class implements at least one interface");

  public:
    ComClass(const ComClass&) = delete;
    ComClass& operator=(const ComClass&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        return m_outer ? m_outer->QueryInterface(riid, ppv) : innerQueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return m_outer ? m_outer->AddRef() : innerAddRef(); }
    ULONG Release() override { return m_outer ? m_outer->Release() : innerRelease(); }

    // The inner IUnknown: the object's identity when not aggregated, and what an outer object
    // keeps to control an aggregated one.
    IUnknown* nonDelegatingUnknown() { return &m_inner; }
    // The object's identity: the outer object when aggregated, the inner IUnknown otherwise.
    IUnknown* controllingUnknown() { return m_outer ? m_outer : &m_inner; }
    bool isAggregated() const { return m_outer != nullptr; }

  protected:
    explicit ComClass(IUnknown* outer = nullptr) : m_outer(outer) { m_inner.m_owner = this; }
    virtual ~ComClass() = default;

    // Answers interfaces beyond the list (an embedded object, a conditional interface). On
    // success it stores an AddRef'd pointer in *ppv. The default answers E_NOINTERFACE.
    virtual HRESULT queryInterfaceExtra(REFIID, void**) { return E_NOINTERFACE; }

  private:
    template <class Listed, class I>
    bool matchChain(REFIID riid, void** ppv) {
        if constexpr (std::is_same_v<I, IUnknown>) {
            return false;
        } else {
            if (riid == I::kIid) {
                *ppv = static_cast<I*>(static_cast<Listed*>(this));
                return true;
            }
            return matchChain<Listed, typename I::ComBase>(riid, ppv);
        }
    }

    HRESULT innerQueryInterface(REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(&m_inner);
        } else if (!(matchChain<Interfaces, Interfaces>(riid, ppv) || ...)) {
            *ppv = nullptr;
            HRESULT hr = queryInterfaceExtra(riid, ppv);
            if (FAILED(hr)) *ppv = nullptr;
            return hr;
        }
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }
    ULONG innerAddRef() { return ++m_refs; }
    ULONG innerRelease() {
        ULONG n = --m_refs;
        if (n == 0) {
            // A destructor that hands out and drops a reference must not delete twice.
            m_refs = 1;
            delete this;
        }
        return n;
    }

    struct Inner final : IUnknown {
        HRESULT QueryInterface(REFIID riid, void** ppv) override {
            return m_owner->innerQueryInterface(riid, ppv);
        }
        ULONG AddRef() override { return m_owner->innerAddRef(); }
        ULONG Release() override { return m_owner->innerRelease(); }
        ComClass* m_owner = nullptr;
    };

    Inner m_inner;
    IUnknown* m_outer;
    std::atomic<ULONG> m_refs{0};
};

// makeComObject creates a non-aggregated T (constructed with args) and holds its first reference.
template <class T, class... Args>
ComPtr<T> makeComObject(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    object->AddRef();
    return ComPtr<T>::adopt(object);
}

// createComObject is the body of IClassFactory::CreateInstance for T, whose constructor takes the
// outer object first. An outer object must ask for IID_IUnknown (CLASS_E_NOAGGREGATION
// otherwise); E_POINTER for a null ppv; the QueryInterface code when T lacks riid.
template <class T, class... Args>
HRESULT createComObject(IUnknown* outer, REFIID riid, void** ppv, Args&&... args) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    T* object = new T(outer, std::forward<Args>(args)...);
    IUnknown* inner = object->nonDelegatingUnknown();
    inner->AddRef();
    HRESULT hr = inner->QueryInterface(riid, ppv);
    inner->Release();
    return hr;
}

// ModuleLock counts what keeps a server module in use (live objects, LockServer calls) for its
// DllCanUnloadNow. A module defines one; each object holds a ModuleLockRef member.
class ModuleLock {
  public:
    void lock() { ++m_count; }
    void unlock() { --m_count; }
    LONG count() const { return m_count; }
    // S_OK when nothing holds the module, S_FALSE otherwise.
    HRESULT canUnloadNow() const { return m_count == 0 ? S_OK : S_FALSE; }

  private:
    std::atomic<LONG> m_count{0};
};

class ModuleLockRef {
  public:
    explicit ModuleLockRef(ModuleLock& lock) : m_lock(lock) { m_lock.lock(); }
    ModuleLockRef(const ModuleLockRef&) = delete;
    ModuleLockRef& operator=(const ModuleLockRef&) = delete;
    ~ModuleLockRef() { m_lock.unlock(); }

  private:
    ModuleLock& m_lock;
};

// A class factory that creates through a function (typically createComObject<T>).
class ClassFactory final : public ComClass<IClassFactory> {
  public:
    using Creator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);
    // lock may be null when the module does not count.
    ClassFactory(Creator create, ModuleLock* lock) : m_create(create), m_lock(lock) {}

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT LockServer(BOOL lock) override;

  private:
    Creator m_create;
    ModuleLock* m_lock;
};

// getClassObject is the body of DllGetClassObject for a module serving one class: the factory
// of `served` when `requested` names it, CLASS_E_CLASSNOTAVAILABLE otherwise, E_POINTER for a
// null ppv, the factory's QueryInterface code for riid.
HRESULT getClassObject(REFCLSID requested, REFCLSID served, ClassFactory::Creator create,
                       ModuleLock* lock, REFIID riid, void** ppv);
