// The exports of libkvlink6.so: the class object, the unload check, self-registration and the
// type library (the module's TYPELIB resource on this platform: LoadTypeLib asks for it).
// Everything else in the module is hidden (kvlink6.map).

#include "platform/com/activation.h"
#include "winsock/ocx/registration.h"
#include "winsock/ocx/type_library.h"
#include "winsock/ocx/wirran.h"

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return getClassObject(clsid, CLSID_Wirran, &CWirran::create, &wirranModuleLock(), riid, ppv);
}

extern "C" HRESULT DllCanUnloadNow() {
    return wirranModuleLock().canUnloadNow();
}

extern "C" HRESULT DllRegisterServer() {
    return registerWirran(modulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
}

extern "C" HRESULT DllUnregisterServer() {
    return unregisterWirran();
}

extern "C" HRESULT DllGetTypeLib(ITypeLib** lib) {
    return wirranTypeLib(lib);
}
