#pragma once
// Runs kvhost script lines against an object through IDispatch, by member name, and prints the
// outcome of each line.
//
//   ScriptRunner runner(control.get(), std::cout);
//   runner.runLine("Timeout = 4", 1);
//   runner.runLine("? Timeout", 2);              // prints "4"
//   int status = runner.failed() ? 1 : 0;
//
// A bare name that the script has not used as a variable and that names a constant of the
// object's type library (wrShutdownBoth, wrProtocolUdp) stands for that constant's value.
//
// Output, one line each: a printed or returned value (format.h); a failing call as
// "error 0x%08X: description" (the description from the error information when the object gave
// some); a line that does not parse as "error: line N: column C: message". Events are printed
// by the host's sink (eventLine) as they are raised, so they appear before the call's own line.

#include <map>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/com/dispatch.h"
#include "tools/kvhost/script.h"

class ScriptRunner {
  public:
    ScriptRunner(IDispatch* object, std::ostream& out) : m_object(object), m_out(out) {}

    // runLine parses and runs one line. False when it did not parse or its call failed.
    bool runLine(std::string_view line, int lineNumber);

    // True once any line failed.
    bool failed() const { return m_failed; }

    // The script variable of that name (letter case ignored), or nullptr when it was never used.
    const VARIANT* variable(std::string_view name) const;

  private:
    bool run(const ScriptCommand& command);
    // The arguments as VARIANTs: variables by reference, omitted places as missing arguments.
    std::vector<Variant> arguments(const std::vector<ScriptArg>& args);
    Variant& variableSlot(std::string_view name);
    // isConstant: name is no variable of the script but a constant of the object's type library
    // (wrShutdownBoth); *value receives it.
    bool isConstant(std::string_view name, Variant* value) const;
    bool report(HRESULT hr, const std::string& description);

    IDispatch* m_object;
    std::ostream& m_out;
    std::map<std::string, Variant> m_variables;  // keyed by the lower-case name; nodes stay put
    bool m_failed = false;
};

// eventLine formats an event for printing: "event Name(arg, arg)".
std::string eventLine(std::string_view name, DISPPARAMS* params);
