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
#include <string>

class QIcon;
class QMenu;
class QPoint;
class QTreeWidgetItem;
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
    // setProgramPath: the program the context-menu entries start (the preferences set them up).
    void setProgramPath(std::string program) { m_program = std::move(program); }
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
    void mnuPrefs_Click();
    void mnuAbout_Click();

    // The pop-up menus' commands, on the row the menu was opened for (queue) or the list's
    // selected row (filters, exceptions).
    void mnuInfo_Click();
    void mnuUndo_Click();
    void mnuSpecify_Click();
    void mnuRetry_Click();
    void mnuEditFilter_Click();
    void mnuRemFilter_Click();
    void mnuAddFilter_Click();
    void mnuAddEx_Click();
    void mnuRemEx_Click();

    // The buttons beside the filter list (Command2 "Add New", Command3 "Move Up", Command1
    // "Move Down") and the exceptions list (Command6, Command4, Command5).
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();

  public:
    // prepareList3: readies the queue list's pop-up menu for item row (its entries enabled and
    // captioned by the item's state) and remembers the row for its commands.
    void prepareList3(int32_t row);
    // The pop-up menu a right click at pos on list (ListView1, 2 or 3) shows: "List3" on a queue
    // item (prepared), "List" or "List4" on a filter or an exception, "List2" or "List5" on an
    // empty list; nullptr when nothing is shown.
    QMenu* popupMenuAt(QTreeWidget* list, const QPoint& pos);

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
    static int32_t selectedRow(const QTreeWidget* list);
    void showPopupMenu(QTreeWidget* list, const QPoint& pos);
    void rowDoubleClicked(QTreeWidget* list, QTreeWidgetItem* item);
    void openFilterWizard(int32_t id);
    void openManual(int32_t row);
    // Move Up / Move Down on list's selected row through the core's command.
    void moveSelected(QTreeWidget* list, void (Core::*move)(int32_t), bool up);
    QWidget* dialogParent();

    std::unique_ptr<Ui::frmMain> m_ui;
    Core* m_core = nullptr;
    FileChooser m_choose_files;
    std::string m_program;
    int32_t m_menu_row = 0;  // the queue row the pop-up menu was opened for
    QSystemTrayIcon* m_tray = nullptr;
    int m_tray_wanted = -1;  // -1: when the desktop has a notification area
    bool m_no_tray_logged = false;
    bool m_start_minimised = false;
    bool m_closed = false;
};

}  // namespace vantel
