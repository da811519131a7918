#pragma once
// Application: the process-wide set-up every front end of the renamer needs, in one object.
//
// It owns the Core and everything a front end must start and stop around it, in this order:
// the shell's confirmation callback, the Core and its window, the start of the core (work
// folder, version migration, settings, lists), the context-menu entries, the HTTP client's
// trace and time-out, the episode database's address, the command line, `loaded`; and for a
// window the modal-dialog and pump hooks of its thread. The main window's messages pass through
// it: it takes the instance hand-over ("KQ|PI|C=", "KQ|UD|", instance.h) and gives every
// message to the front end's own hook first (the tray, the size limits). A front end is then
// its widgets plus a CoreView.
//
//   if (Application::handOverToRunningInstance(commandLine)) return 0;  // a second start
//   ApplicationOptions options;
//   options.view = &view;                      // the window, the terminal, a test
//   options.caption = mainCaption();           // "" keeps a headless run out of the hand-over
//   options.confirm = shellConfirmation(...);  // the shell's questions during a file operation
//   Application app(std::move(options));
//   app.start();                               // everything up to the command line
//   app.queueCommandLine({commandLine});
//   app.setLoaded();
//   app.runUntilWorkedThrough();               // headless; a window runs its own event loop
//
// One Application per thread at a time: the hooks it installs are the thread's and the
// confirmation callback the process's; the destructor restores what was there before. Nothing
// here fails: problems are logged as the core logs them.

#include "platform/shell/shell.h"
#include "platform/user/dialog.h"
#include "platform/user/user.h"
#include "renamer/engine/core.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantel {

struct ApplicationOptions {
    // The core's view and stages (nullptr: no view, this build's stages); both must outlive the
    // Application.
    CoreView* view = nullptr;
    PipelineStages* stages = nullptr;
    // The main window's caption: mainCaption() for the desktop window, by which a second start
    // finds it; "" for a front end that must not receive another's command line.
    std::string caption;
    // The episode database's address from the command line ("" for the usual order: the
    // environment, the registry, the service itself; see ApiBase).
    std::string api_base;
    // Answers the shell layer's questions during a file operation (a file in the way); empty
    // declines every question, so nothing is replaced unasked.
    FileOperationConfirm confirm;
    // The thread's pump hook (the window's event processing, run while the core waits) and
    // modal-dialog hook (the window's message boxes); nullptr leaves the thread's as they are.
    PumpHook pump_hook = nullptr;
    void* pump_context = nullptr;
    ModalDialogHook dialog_hook = nullptr;
    void* dialog_context = nullptr;
    // The program the context-menu entries start (its full path); "" writes none. The desktop
    // window names itself; the headless front end writes none.
    std::string context_menu_program;
    // Gets every message of the main window before the core: a value it returns is the
    // message's result and ends its handling. The window puts its tray and size rules here.
    Core::MessageHook window_hook;
};

class Application {
  public:
    // Installs the confirmation callback and the hooks, then creates the Core with its window.
    explicit Application(ApplicationOptions options);
    // Stops routing the HTTP trace into the core's log, removes the hooks it installed and puts
    // the previous confirmation callback back, then destroys the Core.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    Core& core() { return *m_core; }
    const ApplicationOptions& options() const { return m_options; }

    // start: logs the started line, starts the core (startCore), sets up the context-menu
    // entries when a program is named and settings().context is 0, routes the HTTP trace into
    // the core's log, sets the HTTP time-out, and sets the episode database's address (logged at
    // level 2 as "Episode database: " + address). Call once. Never fails.
    void start();

    // queueCommandLine: the command line's paths to add_to_queue, then Timer1 is armed so one
    // pass follows (queueCommandLine of startup.h).
    void queueCommandLine(const std::vector<std::string>& paths);

    // setLoaded: the last step of start-up; from here on the window's tray reacts.
    void setLoaded();

    // runUntilWorkedThrough: the headless front end's message loop: dispatches the thread's
    // messages until the window is closed, or no pass runs and Timer1 is off. Returns false
    // when the loop ended because the thread's queue was told to quit or failed.
    bool runUntilWorkedThrough();

    // handOverToRunningInstance: the start of a second instance. When a desktop instance is
    // running, waits 100 ms, sends it "KQ|PI|C=" + commandLine, lets pending window messages
    // run and returns true: this process is to end. False when no instance runs.
    static bool handOverToRunningInstance(const std::string& commandLine);

  private:
    std::optional<LRESULT> onWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    ApplicationOptions m_options;
    FileOperationConfirm m_previous_confirm;
    std::unique_ptr<Core> m_core;
    bool m_trace_routed = false;
};

}  // namespace vantel
