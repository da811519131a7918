#pragma once
// The desktop program's start-up and uninstall, in the order the program has always followed,
// without any window toolkit: the toolkit's own steps (the window's size, the tray icon, the
// lists' selection style, centring and minimising) are asked of a DesktopWindow at their places.
//
//   CommandLine line = readCommandLine(args);
//   switch (startOrHandOver(line)) {            // steps 1 and 2
//       case StartKind::Uninstall: case StartKind::HandedOver: return 0;
//       case StartKind::Normal: break;
//   }
//   Application app(options);                   // caption mainCaption(), before anything can find
//   it startDesktop(app, window, line);            // the rest, in order
//
// Nothing here fails: problems are logged, as the core does.

#include "renamer/engine/application.h"

#include <string>
#include <vector>

namespace vantel {

// The start-up steps that belong to the window toolkit.
class DesktopWindow {
  public:
    virtual ~DesktopWindow() = default;
    // Fixes the window's size at its present width and height: it cannot be resized.
    virtual void recordWindowSize() {}
    // Shows the tray icon (or logs why there is none).
    virtual void addTrayIcon() {}
    // The three lists select whole rows.
    virtual void setFullRowSelect() {}
    // Centres the window on the screen and minimises it ("/startup").
    virtual void centreAndMinimise() {}
    // The help page the "Vantel Help" command opens ("" when there is none).
    virtual void setHelpFile(const std::string& path) {}
};

// The switches, found by a case-sensitive search anywhere in the command line.
inline constexpr const char* kUninstallSwitch = "/uninstall";
inline constexpr const char* kStartupSwitch = "/startup";

struct CommandLine {
    std::string text;  // the whole command line as one text, switches included
    bool uninstall = false;
    bool startup = false;
};

// readCommandLine: the program's arguments (without its name) joined by blanks into one text,
// which the queue takes as one path (a path given as one argument keeps its blanks).
CommandLine readCommandLine(const std::vector<std::string>& args);

enum class StartKind {
    Uninstall,   // the uninstall ran; the process ends without a window
    HandedOver,  // another instance runs and has the command line now; the process ends
    Normal,      // go on with the window
};

// startOrHandOver: steps 1 and 2. With "/uninstall" runs runUninstall. Otherwise, when another
// instance of this user runs, hands it the command line (Application::handOverToRunningInstance)
// and says HandedOver. Never fails.
StartKind startOrHandOver(const CommandLine& line);

// runUninstall: removes the context-menu entries of the stored types and of folders with the
// desktop entry, the program's registry key, and the work folder ("Vantel" in the application
// data folder) with its contents. It deletes nothing else: no file of the current folder.
// Every step runs even when one before it failed.
void runUninstall();

// startDesktop: the start-up after the caption, on an Application made with the caption
// mainCaption() and the window as its view: the window's fixed size, the application's start
// (the start line, work folder, version migration, settings, lists, and the context-menu entries
// when "context" is 0), the tray icon, the help page, full-row lists, the command line into the
// queue with Timer1 armed, "/startup" (centre and minimise), and `loaded`.
void startDesktop(Application& app, DesktopWindow& window, const CommandLine& line);

// helpFilePath: the help page in the program's data folder ("vantel-help.html"), or "" after
// logging "Help File not found in program directory" (level 1).
std::string helpFilePath(Core& core);

// fatalStartupMessage: the text of the fatal start-up box (caption "Error loading Vantel").
inline constexpr const char* kFatalStartupCaption = "Error loading Vantel";
std::string fatalStartupMessage(const std::string& description);

}  // namespace vantel
