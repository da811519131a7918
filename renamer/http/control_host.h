#pragma once
// ControlHost: the window object that hosts the socket control the HTTP client drives.
//
// The renamer's main window hosts one instance of the control under the name "Wirran1".
// modHTTP never creates or keeps the control: it asks the host for it by name at every use and
// drives it through IDispatch by member name, so any object that answers to those names will do
// (the real control, or a stand-in in tests).
//
//   class MainWindowHost : public ControlHost {
//       IDispatch* control(const std::string& name) override { return name == "Wirran1" ? m_ctl :
//       nullptr; }
//   };

#include <string>

#include "platform/com/dispatch.h"
#include "platform/user/user.h"

namespace vantel {

class ControlHost {
  public:
    virtual ~ControlHost() = default;

    // control: the control hosted under name, borrowed (the host keeps its reference), or
    // nullptr when the host has no control of that name.
    virtual IDispatch* control(const std::string& name) = 0;

    // pumpEvents: lets the user interface process its pending events once. The default is the
    // thread's DoEvents (window messages, then the host toolkit's pump hook).
    virtual void pumpEvents() { DoEvents(); }
};

}  // namespace vantel
