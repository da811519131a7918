// The class factory shared by server modules.

#include "platform/com/comobject.h"

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return m_create(outer, riid, ppv);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (m_lock) {
        if (lock)
            m_lock->lock();
        else
            m_lock->unlock();
    }
    return S_OK;
}

HRESULT getClassObject(REFCLSID requested, REFCLSID served, ClassFactory::Creator create,
                       ModuleLock* lock, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (requested != served) return CLASS_E_CLASSNOTAVAILABLE;
    ComPtr<ClassFactory> factory = makeComObject<ClassFactory>(create, lock);
    return factory->QueryInterface(riid, ppv);
}
