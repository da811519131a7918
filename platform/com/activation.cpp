// COM on a thread, class activation through the registry and loaded server modules, ProgIDs.

#include "platform/com/activation.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <limits.h>
#include <stdlib.h>
#include <cstdio>

#include <map>
#include <mutex>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/com/comptr.h"
#include "platform/com/errorinfo.h"

namespace {

constexpr uint32_t ERROR_MOD_NOT_FOUND = 126;
constexpr int kMaxCurVerSteps = 8;

struct Apartment {
    int entered = 0;
    DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment t_apartment;
thread_local std::string t_loadError;

// A server module loaded for its classes. Modules stay loaded until CoFreeUnusedLibraries
// finds them unused.
struct Module {
    void* handle = nullptr;
    DllGetClassObjectFn getClassObject = nullptr;
    DllCanUnloadNowFn canUnloadNow = nullptr;
};

std::mutex& modulesLock() {
    static std::mutex lock;
    return lock;
}
std::map<std::string, Module>& modules() {
    static std::map<std::string, Module> loaded;
    return loaded;
}

HRESULT loadModule(const std::string& path, DllGetClassObjectFn* entry) {
    std::lock_guard<std::mutex> guard(modulesLock());
    auto it = modules().find(path);
    if (it != modules().end()) {
        *entry = it->second.getClassObject;
        return S_OK;
    }
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        t_loadError = why ? why : "cannot load " + path;
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    Module module;
    module.handle = handle;
    module.getClassObject =
        reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    module.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
    if (!module.getClassObject) {
        t_loadError = path + " exports no DllGetClassObject";
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    modules()[path] = module;
    *entry = module.getClassObject;
    return S_OK;
}

// Reads a REG_SZ / REG_EXPAND_SZ value (nullptr: the default value) of root\subKey.
bool readText(HKEY root, const std::string& subKey, const char* valueName, std::string* out) {
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = 0;
    bool ok = RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
              (type == REG_SZ || type == REG_EXPAND_SZ);
    std::string text(size, '\0');
    if (ok && size > 0) {
        ok = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                              &size) == ERROR_SUCCESS;
        text.resize(size);
    }
    RegCloseKey(key);
    if (!ok) return false;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    *out = text;
    return true;
}

std::string clsidKey(REFCLSID clsid) {
    return "CLSID\\" + guidToString(clsid);
}

// A ProgID names one key directly below HKEY_CLASSES_ROOT.
bool validProgId(std::string_view progId) {
    return !progId.empty() && progId.size() <= 255 && progId.find('\\') == std::string_view::npos;
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

HRESULT CoInitializeEx(void*, DWORD coinit) {
    DWORD model =
        (coinit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
    if (t_apartment.entered > 0) {
        if (t_apartment.model != model) return RPC_E_CHANGED_MODE;
        ++t_apartment.entered;
        return S_FALSE;
    }
    t_apartment.model = model;
    t_apartment.entered = 1;
    return S_OK;
}

HRESULT CoInitialize(void* reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
    if (t_apartment.entered == 0) return;
    if (--t_apartment.entered == 0) SetErrorInfo(0, nullptr);
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void*, REFIID riid, void** ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (t_apartment.entered == 0) return CO_E_NOTINITIALIZED;
    if (!(clsctx & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    std::string path;
    if (!readText(HKEY_CLASSES_ROOT, clsidKey(clsid) + "\\InprocServer32", nullptr, &path) ||
        path.empty())
        return REGDB_E_CLASSNOTREG;
    DllGetClassObjectFn entry;
    HRESULT hr = loadModule(path, &entry);
    if (FAILED(hr)) return hr;
    return entry(clsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, clsctx, nullptr, IID_IClassFactory, factory.putVoid());
    if (FAILED(hr)) return hr;
    if (!factory) return E_NOINTERFACE;
    return factory->CreateInstance(outer, riid, ppv);
}

void CoFreeUnusedLibraries() {
    std::lock_guard<std::mutex> guard(modulesLock());
    for (auto it = modules().begin(); it != modules().end();) {
        const Module& m = it->second;
        if (m.canUnloadNow && m.canUnloadNow() == S_OK) {
            dlclose(m.handle);
            it = modules().erase(it);
        } else {
            ++it;
        }
    }
}

HRESULT clsidFromProgId(std::string_view progId, CLSID* clsid) {
    if (!clsid) return E_INVALIDARG;
    if (!validProgId(progId)) return CO_E_CLASSSTRING;
    // The chain of current versions: "Kestrine.Wirran" -> "Kestrine.Wirran.6" -> ...
    std::vector<std::string> chain{std::string(progId)};
    for (int step = 0; step < kMaxCurVerSteps; ++step) {
        std::string next;
        if (!readText(HKEY_CLASSES_ROOT, chain.back() + "\\CurVer", nullptr, &next) ||
            !validProgId(next))
            break;
        bool seen = false;
        for (const std::string& p : chain)
            seen = seen || equalsIgnoreAsciiCase(utf8ToUtf16(p), next);
        if (seen) break;
        chain.push_back(next);
    }
    // The most current version that names a class wins.
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        std::string text;
        GUID found;
        if (readText(HKEY_CLASSES_ROOT, *it + "\\CLSID", nullptr, &text) &&
            guidFromString(text, &found)) {
            *clsid = found;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid) return E_INVALIDARG;
    return clsidFromProgId(utf16ToUtf8(progId), clsid);
}

HRESULT progIdFromClsid(REFCLSID clsid, std::string* progId) {
    if (!progId) return E_INVALIDARG;
    std::string text;
    if (!readText(HKEY_CLASSES_ROOT, clsidKey(clsid) + "\\ProgID", nullptr, &text) || text.empty())
        return REGDB_E_CLASSNOTREG;
    *progId = text;
    return S_OK;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) {
    if (!progId) return E_INVALIDARG;
    *progId = nullptr;
    std::string text;
    HRESULT hr = progIdFromClsid(clsid, &text);
    if (FAILED(hr)) return hr;
    std::u16string wide = utf8ToUtf16(text);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!out) return E_OUTOFMEMORY;
    std::copy(wide.begin(), wide.end(), out);
    out[wide.size()] = 0;
    *progId = out;
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out) {
    if (!text || !out) return E_INVALIDARG;
    std::string narrow = utf16ToUtf8(text);
    if (!narrow.empty() && narrow[0] == '{')
        return guidFromString(narrow, out) ? S_OK : CO_E_CLASSSTRING;
    return clsidFromProgId(narrow, out);
}

std::string comLastLoadError() {
    return t_loadError;
}

std::string modulePathOf(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP))
        return std::string();
    // The program itself has no name in its link map, and the loader then gives its argv[0]:
    // a bare name when the program was found through PATH, which names no folder. The kernel
    // knows the whole path.
    if (map && map->l_name && !*map->l_name) {
        char program[PATH_MAX];
        ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
        if (length > 0) return std::string(program, static_cast<size_t>(length));
    }
    if (!info.dli_fname || !*info.dli_fname) return std::string();
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname;
}

HRESULT callServerRegistration(const std::string& path, bool unregister, std::string* why) {
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    std::string failure;
    HRESULT hr = S_OK;
    if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (auto entry = reinterpret_cast<DllRegisterServerFn>(dlsym(module, entryName))) {
            HRESULT entered = CoInitialize(nullptr);
            hr = entry();
            if (SUCCEEDED(entered)) CoUninitialize();
            if (FAILED(hr)) {
                char code[16];
                std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
                failure = std::string(entryName) + " of " + path + " failed with " + code;
            }
        } else {
            hr = CO_E_ERRORINDLL;
            failure = path + " has no " + entryName + " entry point";
        }
        dlclose(module);
    } else {
        const char* loader = dlerror();
        hr = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        failure = "cannot load " + path + ": " + (loader ? loader : "unknown error");
    }
    if (why) *why = failure;
    return hr;
}

HRESULT registerEntries(HKEY root, std::span<const RegistryEntry> entries,
                        std::string_view modulePath) {
    for (const RegistryEntry& entry : entries) {
        if (!entry.key) return SELFREG_E_CLASS;
        HKEY key;
        if (RegCreateKeyExA(root, entry.key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        LSTATUS status = ERROR_SUCCESS;
        if (entry.value) {
            std::string text = replaceAll(entry.value, "%MODULE%", modulePath);
            status = RegSetValueExA(key, entry.valueName, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>(text.size() + 1));
        }
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT unregisterKeys(HKEY root, std::span<const char* const> keys) {
    HRESULT result = S_OK;
    for (const char* key : keys) {
        if (!key || !*key) continue;
        LSTATUS status = RegDeleteTreeA(root, key);
        // What is already gone is fine; anything else is a failure, but the rest is still tried.
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
    }
    return result;
}
