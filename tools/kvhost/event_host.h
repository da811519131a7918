#pragma once
// The event side of kvhost: the control instances with their event sinks, the handlers a script
// sets with "on", and the message loop that "wait" and "waitfor" run, which is what makes an
// event-driven control go.
//
//   EventHost host(runner, std::cout, creator);
//   host.attach("", control.get());           // events print as "event OnRead()"
//   bool ok;
//   if (host.hostCommand("waitfor OnConnect 2000", 7, &ok)) ...   // a host command, run
//   else runner.runLine(line, 7);                                  // a call of the control
//
// Host commands:
//   wait MS               run the message loop for MS milliseconds
//   waitfor EVENT MS      run it until EVENT fires, else print "timeout waiting for EVENT" and
//                         fail the line. An EVENT raised earlier and not waited for yet
//                         counts too, so "Connect" then "waitfor OnConnect" never misses the
//                         event; inside a handler only one raised after the handler started
//                         counts.
//   on EVENT COMMAND      run the one-line COMMAND after each EVENT, with its arguments in the
//                         variables arg1, arg2, ...; "on EVENT" alone removes it
//   create NAME           a further control instance, reached as NAME.Member; its events are
//                         NAME.OnX
// EVENT is an event's name (OnRead), or NAME.OnRead for a further instance; letter case is
// ignored.

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/comptr.h"
#include "platform/com/dispatch.h"
#include "tools/kvhost/runner.h"

class EventHost {
  public:
    // Creates a further control: the object and whatever must live as long as it (its site).
    using Creator = std::function<HRESULT(ComPtr<IDispatch>* control, ComPtr<IUnknown>* keep)>;

    EventHost(ScriptRunner& runner, std::ostream& out, Creator creator = {})
        : m_runner(runner), m_out(out), m_creator(std::move(creator)) {}
    // Disconnects every sink and lets the further instances go.
    ~EventHost();
    EventHost(const EventHost&) = delete;
    EventHost& operator=(const EventHost&) = delete;

    // attach connects a sink that prints control's events ("event NAME.OnX(...)", or
    // "event OnX(...)" for the name ""). False when the control has no events to connect to.
    bool attach(const std::string& name, IDispatch* control);

    // hostCommand runs line when it is a host command and returns true, with *ok false when the
    // command failed (it printed why, and the runner counts the script as failed); false when
    // the line is not a host command.
    bool hostCommand(std::string_view line, int lineNumber, bool* ok);

    // pump runs the message loop until done() holds or ms pass; returns done().
    static bool pump(int ms, const std::function<bool()>& done);

  private:
    struct Instance {
        ComPtr<IDispatch> control;
        ComPtr<IUnknown> keep;
        ComPtr<IDispatch> sink;
        DWORD cookie = 0;
    };

    void onEvent(const std::string& prefix, DISPID id, DISPPARAMS* params);
    bool fail(const std::string& message);

    ScriptRunner& m_runner;
    std::ostream& m_out;
    Creator m_creator;
    std::vector<Instance> m_instances;
    std::map<std::string, std::string> m_handlers;  // lower-case event key -> command
    std::map<std::string, int> m_fired;             // lower-case event key -> times fired
    std::map<std::string, int> m_awaited;           // what waitfor has already seen
    const std::map<std::string, int>* m_handlerStart = nullptr;  // inside a handler
    std::map<std::string, bool> m_running;      // a handler that runs is not entered again
    std::map<std::string, int> m_handlerLines;  // the "on" line of each handler
};
