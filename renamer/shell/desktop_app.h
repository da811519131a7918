#pragma once
// DesktopApp: what joins the window to the renamer for one run of the desktop program: the
// queue pump, and the engine's Application (which owns the core, created with the caption
// "Vantel 4.0" by which a second start finds it) set up for a window: Qt's event processing as
// the pump hook, the window's questions for the shell's file operations, the context-menu
// entries naming this program.
//
//   MainWindow window;
//   DesktopApp app(window);
//   if (!app.start(line)) return 1;   // the fatal start-up box has been shown
//   return qApp->exec();

#include "renamer/engine/desktop_start.h"

#include <memory>

namespace vantel {

class Application;
class Core;
class MainWindow;
class QueuePump;

class DesktopApp {
  public:
    explicit DesktopApp(MainWindow& window);
    ~DesktopApp();
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    // start: the start-up steps from the caption on, then shows the window. False when the
    // program cannot go on: the fatal start-up box has been shown and the caller ends.
    bool start(const CommandLine& line);

    Core& core();

  private:
    MainWindow& m_window;
    std::unique_ptr<QueuePump> m_pump;
    std::unique_ptr<Application> m_app;
};

}  // namespace vantel
