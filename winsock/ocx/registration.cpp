// The registry script of the control and the type library's keys.

#include "winsock/ocx/registration.h"

#include <span>

#include "platform/com/activation.h"
#include "winsock/ocx/interface/iwirran.h"

namespace {

#define WIRRAN_DESCRIPTION "Wirran Windows Sockets Control 6.0"
#define WIRRAN_CLASS_KEY "CLSID\\" WIRRAN_CLSID_TEXT
#define WIRRAN_TYPELIB_KEY "TypeLib\\" WIRRAN_LIBID_TEXT
#define WIRRAN_TYPELIB_VERSION_KEY WIRRAN_TYPELIB_KEY "\\1.0"

const RegistryEntry kClassEntries[] = {
    {"Kestrine.Wirran.6", nullptr, WIRRAN_DESCRIPTION},
    {"Kestrine.Wirran.6\\CLSID", nullptr, WIRRAN_CLSID_TEXT},
    {"Kestrine.Wirran", nullptr, WIRRAN_DESCRIPTION},
    {"Kestrine.Wirran\\CLSID", nullptr, WIRRAN_CLSID_TEXT},
    {"Kestrine.Wirran\\CurVer", nullptr, "Kestrine.Wirran.6"},
    {WIRRAN_CLASS_KEY, nullptr, WIRRAN_DESCRIPTION},
    {WIRRAN_CLASS_KEY "\\ProgID", nullptr, "Kestrine.Wirran.6"},
    {WIRRAN_CLASS_KEY "\\VersionIndependentProgID", nullptr, "Kestrine.Wirran"},
    {WIRRAN_CLASS_KEY "\\Programmable", nullptr, nullptr},
    {WIRRAN_CLASS_KEY "\\Control", nullptr, nullptr},
    {WIRRAN_CLASS_KEY "\\Insertable", nullptr, nullptr},
    {WIRRAN_CLASS_KEY "\\InprocServer32", nullptr, "%MODULE%"},
    {WIRRAN_CLASS_KEY "\\InprocServer32", "ThreadingModel", "Apartment"},
    {WIRRAN_CLASS_KEY "\\ToolboxBitmap32", nullptr, "%MODULE%, 202"},
    {WIRRAN_CLASS_KEY "\\MiscStatus", nullptr, "0"},
    {WIRRAN_CLASS_KEY "\\MiscStatus\\1", nullptr, "132497"},
    {WIRRAN_CLASS_KEY "\\TypeLib", nullptr, WIRRAN_LIBID_TEXT},
    {WIRRAN_CLASS_KEY "\\Version", nullptr, "1.0"},
};

const char* const kClassKeys[] = {WIRRAN_CLASS_KEY, "Kestrine.Wirran", "Kestrine.Wirran.6"};

// The type library's registration: its name, where it lives (the module, platform "linux64"),
// its flags and its help folder (the module's folder).
const RegistryEntry kTypeLibEntries[] = {
    {WIRRAN_TYPELIB_VERSION_KEY, nullptr, "WirranCtl 1.0 Type Library"},
    {WIRRAN_TYPELIB_VERSION_KEY "\\0\\linux64", nullptr, "%MODULE%"},
    {WIRRAN_TYPELIB_VERSION_KEY "\\FLAGS", nullptr, "0"},
    {WIRRAN_TYPELIB_VERSION_KEY "\\HELPDIR", nullptr, "%MODULE_DIR%"},
};

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

HRESULT registerTypeLib(const std::string& modulePath) {
    // registerEntries knows "%MODULE%" only: the help folder entry gets its text here.
    std::string folder = folderOf(modulePath);
    RegistryEntry entries[std::size(kTypeLibEntries)];
    for (size_t i = 0; i < std::size(kTypeLibEntries); ++i) {
        entries[i] = kTypeLibEntries[i];
        if (entries[i].value && std::string_view(entries[i].value) == "%MODULE_DIR%")
            entries[i].value = folder.c_str();
    }
    return SUCCEEDED(registerEntries(HKEY_CLASSES_ROOT, entries, modulePath)) ? S_OK
                                                                              : SELFREG_E_TYPELIB;
}

HRESULT unregisterTypeLib() {
    const char* const versionKey[] = {WIRRAN_TYPELIB_VERSION_KEY};
    if (FAILED(unregisterKeys(HKEY_CLASSES_ROOT, versionKey))) return SELFREG_E_TYPELIB;
    // The library key goes with its last version; another version registered beside ours stays
    // (deleting a key that still has subkeys is refused, which is what keeps it).
    LSTATUS status = RegDeleteKeyA(HKEY_CLASSES_ROOT, WIRRAN_TYPELIB_KEY);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && status != ERROR_ACCESS_DENIED)
        return SELFREG_E_TYPELIB;
    return S_OK;
}

}  // namespace

HRESULT registerWirran(const std::string& modulePath) {
    HRESULT hr = registerEntries(HKEY_CLASSES_ROOT, kClassEntries, modulePath);
    if (SUCCEEDED(hr)) hr = registerTypeLib(modulePath);
    if (FAILED(hr)) unregisterWirran();
    return hr;
}

HRESULT unregisterWirran() {
    HRESULT classes = unregisterKeys(HKEY_CLASSES_ROOT, kClassKeys);
    HRESULT typeLib = unregisterTypeLib();
    return FAILED(classes) ? classes : typeLib;
}
