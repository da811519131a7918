#pragma once
// ComPtr: an owning interface pointer. It holds one reference and releases it when it goes.
//
//   ComPtr<IDispatch> disp = unknown.as<IDispatch>();   // QueryInterface; empty on failure
//   if (!disp) return E_NOINTERFACE;
//   ComPtr<IStream> stream;
//   CreateMemoryStream(stream.put());                   // the callee's reference is adopted
//
// The interface type names its identifier as T::kIid (com.h).

#include <utility>

#include "platform/com/com.h"

// uuidOf<T>() is the interface identifier of T.
template <class T>
constexpr const IID& uuidOf() {
    return T::kIid;
}

template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to p (AddRef).
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other) {
        if (other.m_p) other.m_p->AddRef();
        reset();
        m_p = other.m_p;
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    // Adopts a reference the caller already owns (no AddRef).
    static ComPtr adopt(T* p) {
        ComPtr r;
        r.m_p = p;
        return r;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Releases the held reference and returns the slot for a callee to fill.
    T** put() {
        reset();
        return &m_p;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    // Gives up ownership without releasing.
    T* detach() { return std::exchange(m_p, nullptr); }
    void reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }

    // Hands a new reference to *out (AddRef). E_POINTER when out is null.
    HRESULT copyTo(T** out) const {
        if (!out) return E_POINTER;
        *out = m_p;
        if (m_p) m_p->AddRef();
        return S_OK;
    }

    // QueryInterface for U; an empty pointer when the object does not answer it.
    template <class U>
    ComPtr<U> as() const {
        ComPtr<U> r;
        if (m_p) m_p->QueryInterface(uuidOf<U>(), r.putVoid());
        return r;
    }
    // QueryInterface for U with its result code: E_POINTER when this pointer is empty.
    template <class U>
    HRESULT queryInterface(ComPtr<U>* out) const {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(uuidOf<U>(), out->putVoid());
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.m_p == nullptr; }

  private:
    T* m_p = nullptr;
};

// Hands `object` to an out parameter after QueryInterface; the common last step of a factory.
template <class T>
HRESULT queryInto(T* object, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!object) return E_NOINTERFACE;
    return object->QueryInterface(riid, ppv);
}
