#pragma once
// Class activation: COM on a thread, creating objects of classes registered in the registry,
// ProgIDs, and the helpers a server module uses to register itself.
//
//   CoInitialize(nullptr);
//   CLSID clsid;
//   if (SUCCEEDED(CLSIDFromProgID(u"Kestrine.Wirran", &clsid))) {
//       ComPtr<IDispatch> control;
//       CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.putVoid());
//   }
//   CoUninitialize();
//
// A class is found under HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32, whose default value is
// the path of its module (a shared library). The module is loaded with dlopen on first use and
// stays loaded (CoFreeUnusedLibraries unloads the ones whose DllCanUnloadNow answers S_OK); its
// DllGetClassObject hands out the class factory. A server module exports, with C linkage:
//
//   HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
//   HRESULT DllCanUnloadNow();
//   HRESULT DllRegisterServer();
//   HRESULT DllUnregisterServer();

#include <span>
#include <string>
#include <string_view>

#include "platform/com/com.h"
#include "platform/registry/registry.h"

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_SERVER = 0x15;
constexpr DWORD CLSCTX_ALL = 0x17;

using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID riid, void** ppv);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

// CoInitializeEx enters COM on the calling thread: S_OK the first time, S_FALSE when already
// entered (each success must be matched by CoUninitialize), RPC_E_CHANGED_MODE when the thread
// entered with the other threading model.
HRESULT CoInitializeEx(void* reserved, DWORD coinit);
HRESULT CoInitialize(void* reserved);  // apartment-threaded
// CoUninitialize leaves COM once; the last call clears the thread's error information.
void CoUninitialize();

// CoGetClassObject returns the class factory (or another interface of the class object) of a
// registered class. CO_E_NOTINITIALIZED without CoInitialize on this thread,
// REGDB_E_CLASSNOTREG when the class or its InprocServer32 is not registered or clsctx does not
// allow in-process servers, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) when the module cannot be
// loaded, CO_E_ERRORINDLL when it exports no DllGetClassObject, else the module's own code.
// E_INVALIDARG for null ppv.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void* serverInfo, REFIID riid, void** ppv);
// CoCreateInstance: CoGetClassObject, then IClassFactory::CreateInstance; the same failures,
// and the factory's (CLASS_E_NOAGGREGATION, E_NOINTERFACE, ...).
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv);
// CoFreeUnusedLibraries unloads the loaded server modules whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

// CLSIDFromProgID: HKCR\<ProgID>\CurVer, when present, names the current version's ProgID,
// which is followed (a few steps at most); then that ProgID's CLSID subkey gives the class.
// CO_E_CLASSSTRING for an unknown ProgID or a malformed CLSID value, E_INVALIDARG for null.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
// ProgIDFromCLSID: HKCR\CLSID\{clsid}\ProgID, in memory from CoTaskMemAlloc.
// REGDB_E_CLASSNOTREG when the class has none, E_INVALIDARG for null.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId);

// UTF-8 forms of the above.
HRESULT clsidFromProgId(std::string_view progId, CLSID* clsid);
HRESULT progIdFromClsid(REFCLSID clsid, std::string* progId);

// comLastLoadError is the loader's text for the last module that failed to load on this thread
// ("" when none failed).
std::string comLastLoadError();

// modulePathOf is the full path of the loaded module (program or shared library) that contains
// address; "" when there is none.
std::string modulePathOf(const void* address);

// callServerRegistration loads the server module at path and calls its DllRegisterServer (or,
// with unregister, DllUnregisterServer) inside COM on the calling thread, as an installer does;
// the module is unloaded again afterwards. HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) when it
// cannot be loaded, CO_E_ERRORINDLL when it lacks the entry point, else the entry point's own
// result. why, when given, receives a line saying what failed, with the entry point's code
// when it failed ("" on success).
HRESULT callServerRegistration(const std::string& path, bool unregister, std::string* why);

// ---- Self-registration ------------------------------------------------------------------------

// One registry entry written by a server: the key (below the root, backslash-separated), the
// value name (nullptr or "" for the key's default value) and its REG_SZ text (nullptr: only the
// key is created). "%MODULE%" in the text is replaced by the module's path.
struct RegistryEntry {
    const char* key;
    const char* valueName;
    const char* value;
};

// registerEntries writes the entries in order under root. SELFREG_E_CLASS when a key or value
// cannot be written (what was written before stays; unregister to clean up).
HRESULT registerEntries(HKEY root, std::span<const RegistryEntry> entries,
                        std::string_view modulePath);
// unregisterKeys deletes each key with everything below it; keys that do not exist are fine.
// SELFREG_E_CLASS when one exists and cannot be deleted.
HRESULT unregisterKeys(HKEY root, std::span<const char* const> keys);
