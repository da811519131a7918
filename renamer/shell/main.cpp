// vantel: the desktop program. An uninstall run or a second start ends before any window (a
// second start hands its command line to the running one); a normal run shows the main window
// over the renamer's core and runs until the window is closed.

#include "renamer/engine/desktop_start.h"
#include "renamer/shell/desktop_app.h"
#include "renamer/shell/mainwindow.h"

#include <QApplication>

#include <string>
#include <vector>

using namespace vantel;

int main(int argc, char** argv) {
    const CommandLine line = readCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (startOrHandOver(line) != StartKind::Normal) return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName("Vantel");
    // The installed desktop entry is named after the AppStream id.
    QApplication::setDesktopFileName("io.github.vantel.Vantel");
    QApplication::setWindowIcon(programIcon());
    // The window hides to the tray: closing the last visible window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    MainWindow window;
    DesktopApp desktop(window);
    if (!desktop.start(line)) return 1;
    return QApplication::exec();
}
