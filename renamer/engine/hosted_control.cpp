#include "renamer/engine/hosted_control.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "platform/com/activation.h"
#include "platform/com/dispatch.h"
#include "platform/com/olectl.h"
#include "platform/com/variant.h"
#include "platform/registry/registry.h"
#include "renamer/http/modhttp.h"

namespace vantel {

namespace {

// The code CoGetClassObject gives when the registered module cannot be loaded
// (ERROR_MOD_NOT_FOUND).
constexpr HRESULT kModuleNotFound = HRESULT_FROM_WIN32(126);

std::string hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::string describe(HRESULT hr) {
    std::string text = hex(hr) + " (" + hresultText(hr) + ")";
    std::string why = comLastLoadError();
    if (!why.empty()) text += ": " + why;
    return text;
}

// The class is unknown to the registry, or registered to a module that is gone: in both cases
// registering the shipped module is what an installer would do.
bool notRegistered(HRESULT hr) {
    return hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG || hr == kModuleNotFound;
}

bool isFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// Two spellings of one module ("bin/../lib/x.so" and "lib/x.so", or a link to it) are the same
// module; a path that does not exist is the same as no other.
bool sameModule(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// The default value of the class's InprocServer32 key: the module the registry would load.
// "" when the ProgID, the class or the value is missing.
std::string registeredModule() {
    CLSID clsid;
    if (FAILED(clsidFromProgId(kControlProgId, &clsid))) return {};
    const std::string key = "CLSID\\" + guidToString(clsid) + "\\InprocServer32";
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return {};
    std::string path;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(handle, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ && size > 1) {
        path.resize(size);
        if (RegQueryValueExA(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path.data()),
                             &size) != ERROR_SUCCESS)
            size = 0;
        path.resize(size);
        while (!path.empty() && path.back() == '\0')
            path.pop_back();
    }
    RegCloseKey(handle);
    return path;
}

}  // namespace

HostedControl::HostedControl(Logger log, Pump pump)
    : m_log(std::move(log)), m_pump(std::move(pump)) {}

HostedControl::~HostedControl() {
    if (m_control) {
        if (auto object = m_control.as<IOleObject>()) object->SetClientSite(nullptr);
        m_control.reset();
    }
    m_site.reset();
    if (m_entered_com) CoUninitialize();
}

IDispatch* HostedControl::control(const std::string& name) {
    if (name != modHTTP::kControlName) return nullptr;
    if (!m_control && !create()) return nullptr;
    return m_control.get();
}

void HostedControl::cancelActivity() {
    if (!m_control) return;
    Variant state;
    if (FAILED(dispGetProperty(m_control.get(), "State", &state))) return;
    if (FAILED(state.changeType(VT_I4)) || state.lVal < 2) return;
    Variant result;
    dispCall(m_control.get(), "Cancel", {}, &result);
}

std::string HostedControl::version() {
    if (!create()) return {};
    Variant value;
    if (FAILED(dispGetProperty(m_control.get(), "Version", &value))) return {};
    if (FAILED(value.changeType(VT_BSTR))) return {};
    return value.utf8();
}

void HostedControl::pumpEvents() {
    if (m_pump) m_pump();
}

bool HostedControl::create() {
    if (m_control) return true;
    if (m_tried) return false;
    m_tried = true;
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) return fail("Unable to enter COM for the socket control: " + describe(hr));
    m_entered_com = true;

    // A registration left by another copy of the program (an older install, the build folder)
    // names a module other than the one shipped with this program, which may be gone or of
    // another version: the shipped one is registered over it, as its installer would.
    const std::string module = shippedControlModule();
    const std::string registered = registeredModule();
    if (!registered.empty() && isFile(module) && !sameModule(registered, module)) {
        m_log("The socket control is registered to " + registered + "; registering " + module, 1);
        std::string why;
        if (registerControlModule(module, &why)) {
            m_log("Registered the socket control " + module, 1);
        } else {
            m_log("Unable to register the socket control: " + why, 1);
        }
    }

    hr = createByProgId();
    if (notRegistered(hr)) {
        m_log("The socket control is not registered; registering " + module, 1);
        std::string why;
        if (module.empty() || !registerControlModule(module, &why))
            return fail("Unable to register the socket control: " +
                        (module.empty() ? std::string("the program's folder is unknown") : why));
        m_log("Registered the socket control " + module, 1);
        hr = createByProgId();
    }
    if (FAILED(hr))
        return fail(std::string("Unable to create the socket control ") + kControlProgId + ": " +
                    describe(hr));

    // The control asks its site whether it runs in user mode; a window's controls do.
    m_site = AmbientSite::create();
    m_site->setUserMode(true);
    if (auto object = m_control.as<IOleObject>()) object->SetClientSite(m_site.get());
    m_log(std::string("Created the socket control ") + modHTTP::kControlName, 2);
    return true;
}

HRESULT HostedControl::createByProgId() {
    CLSID clsid;
    HRESULT hr = clsidFromProgId(kControlProgId, &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            m_control.putVoid());
}

bool HostedControl::fail(const std::string& text) {
    m_error = text;
    m_log(text, 1);
    return false;
}

std::string shippedControlModule() {
    const std::string program = modulePathOf(reinterpret_cast<const void*>(&shippedControlModule));
    const std::filesystem::path folder = std::filesystem::path(program).parent_path();
    if (program.empty() || folder.empty()) return {};
    const std::filesystem::path prefix = folder.parent_path();
    const std::string installed =
        (prefix / VANTEL_PRIVATE_LIBDIR / "libkvlink6.so").lexically_normal().string();
    const std::string built = (prefix / "lib" / "libkvlink6.so").lexically_normal().string();
    if (!isFile(installed) && isFile(built)) return built;
    return installed;
}

bool registerControlModule(const std::string& path, std::string* error) {
    return SUCCEEDED(callServerRegistration(path, false, error));
}

}  // namespace vantel
