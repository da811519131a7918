#pragma once
// Self-registration of the control under HKEY_CLASSES_ROOT: the class key, the two ProgIDs and
// the type library. The module's DllRegisterServer and DllUnregisterServer call these with
// their own path.
//
//   registerWirran("/usr/lib/vantel/libkvlink6.so");   // CoCreateInstance can now find it
//   unregisterWirran();                                 // and now it cannot

#include <string>

#include "platform/com/com.h"

// registerWirran writes every key and value for the module at modulePath. SELFREG_E_CLASS when
// a class key or value cannot be written, SELFREG_E_TYPELIB when a type library key cannot;
// what was written before the failure is removed again.
HRESULT registerWirran(const std::string& modulePath);

// unregisterWirran removes the class key with everything below it, both ProgIDs and the type
// library's version key (and its library key once no other version is left). Keys that are
// already gone are fine. SELFREG_E_CLASS or SELFREG_E_TYPELIB when one cannot be deleted.
HRESULT unregisterWirran();
