// kvhost: a command-line host for the Wirran control. It creates the control by ProgID through
// the registry, gives it a client site in user mode, connects a sink that prints its events,
// and runs a script of late-bound calls, one per line (runner.h, script.h).
//
//   kvhost [--progid PROGID|{CLSID}] [--design-mode] [--members] [SCRIPT|-]
//
// Exit status: 0 when every line ran, 1 when a line failed (a parse error or a failing
// HRESULT) or the control cannot be created, 2 for a bad command line.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/com/activation.h"
#include "platform/com/connpt.h"
#include "platform/com/olesite.h"
#include "platform/user/user.h"
#include "tools/kvhost/event_host.h"
#include "tools/kvhost/members.h"
#include "tools/kvhost/runner.h"
#include "winsock/ocx/interface/iwirran.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kHelp =
    R"HELP(usage: kvhost [--progid PROGID|{CLSID}] [--design-mode] [--members] [SCRIPT|-]

Creates the control (default ProgID Kestrine.Wirran) and runs SCRIPT (standard input when it is
absent or "-"): one late-bound call per line, each invoked by name through IDispatch.

  Name = value          property put
  ? Name                property get (or a script variable), printed
  ? Name(arg, ...)      property get with arguments, printed
  Name arg, arg, ...    method call; its result is printed (Name(arg, ...) also works)
  # comment             comments and blank lines are ignored
  NAME.Member ...       any of the above for the instance made by "create NAME"

Host commands (the message loop runs only here and briefly between lines; a control that works
by events needs them):
  wait MS               run the message loop for MS milliseconds, printing events as they come
  waitfor EVENT MS      run it until EVENT fires; after MS without it print
                        "timeout waiting for EVENT" and count the line as failed. An EVENT
                        raised earlier and not yet waited for counts too (so "Connect" then
                        "waitfor OnConnect" never misses it); inside an "on" handler only one
                        raised after the handler started counts
  on EVENT COMMAND      run the one-line COMMAND each time EVENT fires, right after its event
                        line, with the event's arguments in the variables arg1, arg2, ...; a
                        handler is not entered again while it runs
  on EVENT              remove that handler
  create NAME           make a further control instance, addressed as NAME.Member ...; its
                        events print as "event NAME.OnX(...)" and are named NAME.OnX in
                        waitfor and on


An argument is a number (decimal, or hexadecimal as &H2734), True or False, a quoted string
(escapes \r \n \t \" \\ and \xHH for the character U+00HH), an empty place between commas for
an omitted optional argument, or a bare name: the NAME of an instance made by "create",
passed as the object; a constant of the control's type library (wrShutdownBoth,
wrProtocolUdp); or else a script variable, passed by reference, so outputs land in it;
"? name" prints it.

Output, one line each, in order: a value as text (strings as they are, booleans True/False,
numbers in decimal, arrays as {1, 2, 3}); a failing call as "error 0x%08X: description"; each
event the control raises as "event Name(arg, ...)".

Options:
  --progid ID      create another class, by ProgID or by {CLSID}
  --design-mode    the client site reports design mode (ambient UserMode FALSE)
  --members        list the control's members and events from its type information, one per
                   line (name, parameters, type, [kind DISPID], help), and run no script
  --help           this text

Exit status: 0 when every line ran, 1 when a line failed or the control cannot be created,
2 for a bad command line.

An event-driven echo client:
  Blocking = False
  on OnConnect Write "hello"
  on OnRead Read reply, 100
  Connect "127.0.0.1", 7
  waitfor OnRead 5000
  ? reply

Example:
  Timeout = 4
  ? Version
  Read buffer, 2048
  ? LastError
  ? LastErrorString
prints
  6.0.6000.0
  event OnError(10057, No connection established with remote host)
  -1
  10057
  No connection established with remote host
)HELP";

struct Options {
    std::string progId = kWirranIndependentProgId;
    std::string script = "-";
    bool designMode = false;
    bool members = false;
};

// parseOptions: 0 to go on, else the exit status (after printing help or usage).
int parseOptions(int argc, char** argv, Options* options) {
    bool haveScript = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return -1;
        } else if (arg == "--progid" && i + 1 < argc) {
            options->progId = argv[++i];
        } else if (arg == "--design-mode") {
            options->designMode = true;
        } else if (arg == "--members") {
            options->members = true;
        } else if ((arg.size() > 1 && arg[0] == '-') || haveScript) {
            std::fprintf(stderr,
                         "usage: kvhost [--progid ID] [--design-mode] [--members] [SCRIPT|-]\n");
            return kUsage;
        } else {
            options->script = arg;
            haveScript = true;
        }
    }
    return 0;
}

HRESULT classOf(const std::string& id, CLSID* clsid) {
    if (!id.empty() && id[0] == '{') return guidFromString(id, clsid) ? S_OK : CO_E_CLASSSTRING;
    return clsidFromProgId(id, clsid);
}

int runScript(std::istream& in, ScriptRunner& runner, EventHost& events) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        bool ok = true;
        if (!events.hostCommand(line, number, &ok)) runner.runLine(line, number);
        std::cout.flush();
        // Let the control's window hear its timer and its sockets between lines.
        DoEvents();
    }
    return runner.failed() ? kFailed : 0;
}

// Creates a control of the class and gives it a client site in the chosen mode; *keep holds
// the site.
HRESULT createControl(const CLSID& clsid, bool designMode, ComPtr<IDispatch>* control,
                      ComPtr<IUnknown>* keep) {
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control->putVoid());
    if (FAILED(hr)) return hr;
    ComPtr<AmbientSite> site = AmbientSite::create();
    site->setUserMode(!designMode);
    if (auto object = control->as<IOleObject>()) object->SetClientSite(site.get());
    *keep = ComPtr<IUnknown>(static_cast<IOleClientSite*>(site.get()));
    return S_OK;
}

void releaseSite(IDispatch* control) {
    if (auto object = ComPtr<IDispatch>(control).as<IOleObject>()) object->SetClientSite(nullptr);
}

int host(const Options& options) {
    CLSID clsid;
    HRESULT hr = classOf(options.progId, &clsid);
    ComPtr<IDispatch> control;
    ComPtr<IUnknown> site;
    if (SUCCEEDED(hr)) hr = createControl(clsid, options.designMode, &control, &site);
    if (FAILED(hr)) {
        std::fprintf(stderr, "kvhost: cannot create %s: error 0x%08X: %s\n", options.progId.c_str(),
                     static_cast<unsigned>(hr), hresultText(hr).c_str());
        std::string why = comLastLoadError();
        if (!why.empty()) std::fprintf(stderr, "kvhost: %s\n", why.c_str());
        return kFailed;
    }

    if (options.members) {
        hr = listMembers(control.get(), std::cout);
        if (FAILED(hr))
            std::fprintf(stderr, "kvhost: no type information: error 0x%08X: %s\n",
                         static_cast<unsigned>(hr), hresultText(hr).c_str());
        releaseSite(control.get());
        return FAILED(hr) ? kFailed : 0;
    }

    ScriptRunner runner(control.get(), std::cout);
    std::vector<ComPtr<IDispatch>> created;
    int status;
    {
        EventHost events(runner, std::cout, [&](ComPtr<IDispatch>* more, ComPtr<IUnknown>* keep) {
            HRESULT made = createControl(clsid, options.designMode, more, keep);
            if (SUCCEEDED(made)) created.push_back(*more);
            return made;
        });
        events.attach("", control.get());
        if (options.script == "-") {
            status = runScript(std::cin, runner, events);
        } else {
            std::ifstream file(options.script);
            if (!file) {
                std::fprintf(stderr, "kvhost: cannot read %s\n", options.script.c_str());
                status = kFailed;
            } else {
                status = runScript(file, runner, events);
            }
        }
    }
    for (const ComPtr<IDispatch>& more : created)
        releaseSite(more.get());
    releaseSite(control.get());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (int status = parseOptions(argc, argv, &options); status != 0)
        return status < 0 ? 0 : status;
    CoInitialize(nullptr);
    int status = host(options);
    CoUninitialize();
    return status;
}
