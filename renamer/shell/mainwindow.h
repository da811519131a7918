#pragma once
// frmMain: the desktop program's main window, a view of the renamer's core.
//
// The window holds no rules of the renamer: it draws what the core tells it (CoreView: queue
// rows, the two lists, the activity log, message boxes), passes the user's commands to the core
// and to the engine's commands, and does the start-up steps that belong to the toolkit
// (DesktopWindow: the fixed size, the tray icon, full-row lists, "/startup"). Its form is
// mainwindow.ui; every control carries the name the program has always given it (ListView1,
// TabStrip1, List3, mnuOpen, ...).
//
//   MainWindow window;
//   Core core(&window, nullptr, mainCaption());
//   window.attach(&core);
//   startDesktop(core, window, line);
//   window.showAtStart();

#include "renamer/engine/core.h"
#include "renamer/engine/desktop_start.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QIcon;
class QSystemTrayIcon;
class QTreeWidget;

namespace Ui {
class frmMain;
}

namespace vantel {

// programIcon: the program's icon in every size it ships (window, tray, dialogs).
QIcon programIcon();

class MainWindow final : public QMainWindow, public CoreView, public DesktopWindow {
    Q_OBJECT

  public:
    // The open-file dialog: shows title and filter (Qt's form) and returns the chosen files with
    // their full paths, or nothing when cancelled. Tests put their own in its place.
    using FileChooser =
        std::function<QStringList(QWidget* parent, const QString& title, const QString& filter)>;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // attach: the core this window shows; it must outlive the window's use of it.
    void attach(Core* core);
    void setFileChooser(FileChooser chooser) { m_choose_files = std::move(chooser); }
    // useTray: whether addTrayIcon shows an icon: by default only when the desktop has a
    // notification area. Without one, minimising minimises normally (and the log says why).
    void useTray(bool present) { m_tray_wanted = present ? 1 : 0; }
    bool hasTray() const { return m_tray != nullptr; }

    // showAtStart: shows the window once start-up is done: minimised when "/startup" asked for
    // it, else normally.
    void showAtStart();

    // qtFileFilter: a common-dialog filter ("Name|*.a;*.b|All Files|*.*") in Qt's form
    // ("Name (*.a *.b);;All Files (*)").
    static QString qtFileFilter(const std::string& filter);

    // CoreView.
    void queueRowAdded(int32_t index, const std::string& text) override;
    void queueRowChanged(int32_t index, const QueueRowUpdate& row) override;
    void queueRowSelected(int32_t index, bool scroll) override;
    void listRefilled(CoreList list, const std::vector<ListRow>& rows) override;
    void listRowSelected(CoreList list, int32_t row) override;
    void logLineAdded(const std::string& line, int level) override;
    void logCleared() override;
    bool showMessage(const MessageRequest& request) override;
    ConfirmDialogAnswer confirmFileOperation(const ConfirmDialogRequest& request) override;
    void closeMainWindow() override;
    void pumpEvents() override;

    // DesktopWindow.
    void recordWindowSize() override;
    void addTrayIcon() override;
    void setFullRowSelect() override;
    void centreAndMinimise() override;

  public slots:
    void mnuOpen_Click();
    void mnuExit_Click();
    void mnuHelpGuide_Click();
    void mnuUpdate_Click();
    void mnuWeb_Click();
    void mnuShow_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void trayActivated(int reason);
    bool trayClicksAllowed() const;
    QTreeWidget* listView(CoreList list) const;

    std::unique_ptr<Ui::frmMain> m_ui;
    Core* m_core = nullptr;
    FileChooser m_choose_files;
    QSystemTrayIcon* m_tray = nullptr;
    int m_tray_wanted = -1;  // -1: when the desktop has a notification area
    bool m_no_tray_logged = false;
    bool m_start_minimised = false;
    bool m_closed = false;
};

}  // namespace vantel
