#pragma once
// HostedControl: the socket control that the main window hosts under the name "Wirran1".
//
// The control is created on first use through COM by its ProgID, exactly as any other host
// creates it, given an ambient site in user mode, and driven by the HTTP client by member name.
// When the user's registry does not know the class yet (a fresh account, a program run from
// its build or install folder), or knows it from another module (an older install, the build
// folder), the control module shipped with the program (shippedControlModule) is registered the
// way an installer registers it, through its DllRegisterServer, before the creation is tried.
// Both steps are logged.
//
//   HostedControl wirran([&](const std::string& line, int level) { log(line, level); },
//                        [] { DoEvents(); });
//   std::string body = modHTTP::GetData(url, wirran, "");   // creates the control on first use
//
// Apartment-threaded like the control: create, use and destroy it on one thread.

#include <functional>
#include <string>

#include "platform/com/comptr.h"
#include "platform/com/olesite.h"
#include "renamer/http/control_host.h"

namespace vantel {

class HostedControl final : public ControlHost {
  public:
    using Logger = std::function<void(const std::string& line, int level)>;
    using Pump = std::function<void()>;

    // log receives the creation and registration lines; pump lets the user interface run
    // (pumpEvents). Creates nothing yet.
    HostedControl(Logger log, Pump pump);
    // Detaches the site and releases the control, then leaves COM when it entered it.
    ~HostedControl() override;
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    // control: the hosted control for "Wirran1" (created on the first call), borrowed; nullptr
    // for any other name, and when the control cannot be created. A creation that failed is not
    // tried again: error() keeps its reason.
    IDispatch* control(const std::string& name) override;
    void pumpEvents() override;

    // create: creates the control now unless it exists or failed before. False when it cannot
    // be created (not registered and no module to register, the module fails to load or to
    // register, the class refuses); error() says why and the log has it.
    bool create();
    bool created() const { return static_cast<bool>(m_control); }
    // cancelActivity: when the control exists and reports a State of 2 or more, calls its
    // Cancel, so that a blocking wait ends before the window goes. Creates nothing; failures
    // are ignored (the program is ending).
    void cancelActivity();
    // version: the control's Version ("6.0.0.1"), creating the control when needed; "" when it
    // cannot be created or does not answer.
    std::string version();
    const std::string& error() const { return m_error; }

  private:
    HRESULT createByProgId();
    bool fail(const std::string& text);

    Logger m_log;
    Pump m_pump;
    ComPtr<IDispatch> m_control;
    ComPtr<AmbientSite> m_site;
    bool m_tried = false;
    bool m_entered_com = false;
    std::string m_error;
};

// The version-independent ProgID the renamer creates the control by.
inline constexpr const char* kControlProgId = "Kestrine.Wirran";

// shippedControlModule: where the program's own copy of the control lives, below the folder
// above the running executable's folder: the installed program's private library folder
// (VANTEL_PRIVATE_LIBDIR, e.g. "/usr/bin/vantel" -> "/usr/lib/vantel/libkvlink6.so") or, when
// the module is not there, the build's "lib" ("build/bin" -> "build/lib/libkvlink6.so").
// "" when the executable's path is unknown.
std::string shippedControlModule();

// registerControlModule: loads the module at path and calls its DllRegisterServer, as an
// installer does. False with *error set when the module cannot be loaded, has no such entry
// point, or the entry point fails (its HRESULT in the text).
bool registerControlModule(const std::string& path, std::string* error);

}  // namespace vantel
