#include "renamer/shell/mainwindow.h"

#include "renamer/common/version.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/item_menu.h"
#include "renamer/engine/main_commands.h"
#include "renamer/engine/weblinks.h"
#include "renamer/shell/about_dialog.h"
#include "renamer/shell/filter_wizard.h"
#include "renamer/shell/item_dialogs.h"
#include "renamer/shell/message_dialog.h"
#include "renamer/shell/prefs_dialog.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

namespace vantel {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The small icons of the queue rows: 1 done, 2 failed or cancelled, 3 waiting or working.
QIcon rowIcon(int icon) {
    QStyle* style = QApplication::style();
    switch (icon) {
        case 1:
            return style->standardIcon(QStyle::SP_DialogApplyButton);
        case 2:
            return style->standardIcon(QStyle::SP_MessageBoxCritical);
        default:
            return style->standardIcon(QStyle::SP_BrowserReload);
    }
}

QStringList chooseFiles(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}

}  // namespace

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/vantel/vantel-%1.png").arg(size), QSize(size, size));
    return icon;
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::frmMain>()), m_choose_files(chooseFiles) {
    m_ui->setupUi(this);
    setWindowTitle(qs(mainCaption()));
    setWindowIcon(programIcon());
    for (QTreeWidget* list : {m_ui->ListView1, m_ui->ListView2, m_ui->ListView3})
        list->header()->setStretchLastSection(true);
    m_ui->ListView1->setColumnWidth(0, 210);
    m_ui->ListView1->setColumnWidth(1, 320);
    m_ui->mnuTray->setDefaultAction(m_ui->mnuShow);

    connect(m_ui->mnuOpen, &QAction::triggered, this, &MainWindow::mnuOpen_Click);
    connect(m_ui->mnuExit, &QAction::triggered, this, &MainWindow::mnuExit_Click);
    connect(m_ui->mnuExit2, &QAction::triggered, this, &MainWindow::mnuExit_Click);
    connect(m_ui->mnuHelpGuide, &QAction::triggered, this, &MainWindow::mnuHelpGuide_Click);
    connect(m_ui->mnuUpdate, &QAction::triggered, this, &MainWindow::mnuUpdate_Click);
    connect(m_ui->mnuWeb, &QAction::triggered, this, &MainWindow::mnuWeb_Click);
    connect(m_ui->mnuShow, &QAction::triggered, this, &MainWindow::mnuShow_Click);
    connect(m_ui->mnuPrefs, &QAction::triggered, this, &MainWindow::mnuPrefs_Click);
    connect(m_ui->mnuAbout, &QAction::triggered, this, &MainWindow::mnuAbout_Click);

    connect(m_ui->mnuInfo, &QAction::triggered, this, &MainWindow::mnuInfo_Click);
    connect(m_ui->mnuUndo, &QAction::triggered, this, &MainWindow::mnuUndo_Click);
    connect(m_ui->mnuSpecify, &QAction::triggered, this, &MainWindow::mnuSpecify_Click);
    connect(m_ui->mnuRetry, &QAction::triggered, this, &MainWindow::mnuRetry_Click);
    connect(m_ui->mnuEditFilter, &QAction::triggered, this, &MainWindow::mnuEditFilter_Click);
    connect(m_ui->mnuRemFilter, &QAction::triggered, this, &MainWindow::mnuRemFilter_Click);
    connect(m_ui->mnuAddFilter, &QAction::triggered, this, &MainWindow::mnuAddFilter_Click);
    connect(m_ui->mnuAddFilter2, &QAction::triggered, this, &MainWindow::mnuAddFilter_Click);
    connect(m_ui->mnuAddEx, &QAction::triggered, this, &MainWindow::mnuAddEx_Click);
    connect(m_ui->mnuAddEx2, &QAction::triggered, this, &MainWindow::mnuAddEx_Click);
    connect(m_ui->mnuRemEx, &QAction::triggered, this, &MainWindow::mnuRemEx_Click);

    connect(m_ui->Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    connect(m_ui->Command3, &QPushButton::clicked, this, &MainWindow::Command3_Click);
    connect(m_ui->Command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
    connect(m_ui->Command5, &QPushButton::clicked, this, &MainWindow::Command5_Click);
    connect(m_ui->Command6, &QPushButton::clicked, this, &MainWindow::Command6_Click);

    for (QTreeWidget* list : {m_ui->ListView1, m_ui->ListView2, m_ui->ListView3}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, list](const QPoint& pos) { showPopupMenu(list, pos); });
        connect(list, &QTreeWidget::itemDoubleClicked, this,
                [this, list](QTreeWidgetItem* item) { rowDoubleClicked(list, item); });
    }
}

MainWindow::~MainWindow() {
    if (m_core) m_core->setView(nullptr);
}

void MainWindow::attach(Core* core) {
    m_core = core;
}

void MainWindow::showAtStart() {
    if (m_start_minimised) {
        showMinimized();
    } else {
        show();
    }
}

QString MainWindow::qtFileFilter(const std::string& filter) {
    const QStringList parts = qs(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        // "*.*" means every file to the common dialog; to Qt it would mean names with a dot.
        for (QString& pattern : patterns) {
            if (pattern == "*.*") pattern = "*";
        }
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

// The queue list.

void MainWindow::queueRowAdded(int32_t index, const std::string& text) {
    QTreeWidget* list = m_ui->ListView1;
    while (list->topLevelItemCount() < index) {
        auto* row = new QTreeWidgetItem(list);
        row->setIcon(0, rowIcon(3));
    }
    QTreeWidgetItem* row = list->topLevelItem(index - 1);
    row->setText(0, qs(text));
    row->setText(2, "Inactive");
}

void MainWindow::queueRowChanged(int32_t index, const QueueRowUpdate& update) {
    QTreeWidgetItem* row = m_ui->ListView1->topLevelItem(index - 1);
    if (!row) return;
    row->setText(2, qs(update.status));
    row->setIcon(0, rowIcon(update.icon));
    if (update.new_name) row->setText(1, qs(*update.new_name));
}

void MainWindow::queueRowSelected(int32_t index, bool scroll) {
    QTreeWidgetItem* row = m_ui->ListView1->topLevelItem(index - 1);
    if (!row) return;
    m_ui->ListView1->setCurrentItem(row);
    if (scroll) m_ui->ListView1->scrollToItem(row);
}

// The filter and exception lists.

QTreeWidget* MainWindow::listView(CoreList list) const {
    return list == CoreList::Filters ? m_ui->ListView2 : m_ui->ListView3;
}

void MainWindow::listRefilled(CoreList list, const std::vector<ListRow>& rows) {
    QTreeWidget* view = listView(list);
    view->clear();
    for (const ListRow& row : rows) {
        auto* item = new QTreeWidgetItem(view);
        item->setData(0, Qt::UserRole, qs(row.key));
        for (size_t column = 0; column < row.columns.size(); ++column)
            item->setText(static_cast<int>(column), qs(row.columns[column]));
    }
}

void MainWindow::listRowSelected(CoreList list, int32_t row) {
    QTreeWidget* view = listView(list);
    if (QTreeWidgetItem* item = view->topLevelItem(row - 1)) view->setCurrentItem(item);
    view->setFocus();
}

// The activity log: the newest line is current (so the list scrolls to it) but not marked.

void MainWindow::logLineAdded(const std::string& line, int) {
    m_ui->List3->addItem(qs(line));
    m_ui->List3->setCurrentRow(m_ui->List3->count() - 1);
    m_ui->List3->clearSelection();
}

void MainWindow::logCleared() {
    m_ui->List3->clear();
}

// Dialogs are modal over whatever is in front: the window, or a dialog that shows a message.

QWidget* MainWindow::dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return isVisible() ? this : nullptr;
}

bool MainWindow::showMessage(const MessageRequest& request) {
    MessageDialog box(request, dialogParent());
    box.exec();
    return box.dontShowAgain();
}

ConfirmDialogAnswer MainWindow::confirmFileOperation(const ConfirmDialogRequest& request) {
    if (!m_core) return {};
    ConfirmDialog dialog(*m_core, request, dialogParent());
    return dialog.ask();
}

// Closing. The core decides (a pass in progress defers the close); once it has unloaded the
// window, the socket control's activity is cancelled, the tray icon goes and the event loop
// ends. The call may come from deep inside a pass, so nothing is destroyed here.

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closed || !m_core) {
        event->accept();
        return;
    }
    if (!m_core->queryUnload()) {
        event->ignore();
        return;
    }
    m_core->unloadMainWindow();
    event->accept();
}

void MainWindow::closeMainWindow() {
    if (m_closed) return;
    m_closed = true;
    if (m_core) m_core->cancelSocketActivity();
    if (m_tray) m_tray->hide();
    hide();
    QCoreApplication::exit(0);
}

void MainWindow::pumpEvents() {
    // The core's window messages first, then Qt's events (the pump hook).
    CoreView::pumpEvents();
}

// Start-up steps.

void MainWindow::recordWindowSize() {
    setFixedSize(size());
}

void MainWindow::addTrayIcon() {
    const bool present =
        m_tray_wanted < 0 ? QSystemTrayIcon::isSystemTrayAvailable() : m_tray_wanted == 1;
    if (!present) {
        if (!m_no_tray_logged && m_core) {
            m_core->debug_log(
                "No notification area on this desktop: minimising keeps the window on the "
                "taskbar",
                1);
        }
        m_no_tray_logged = true;
        return;
    }
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(kAppTitle);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { trayActivated(reason); });
    m_tray->show();
}

void MainWindow::setFullRowSelect() {
    for (QTreeWidget* list : {m_ui->ListView1, m_ui->ListView2, m_ui->ListView3}) {
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setAllColumnsShowFocus(true);
    }
}

void MainWindow::centreAndMinimise() {
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move((area.width() - width()) / 2, (area.height() - height()) / 2);
    }
    m_start_minimised = true;
}

// The tray: clicks count only once start-up is done and while no dialog is open.

bool MainWindow::trayClicksAllowed() const {
    return m_core && m_core->flags().loaded && !QApplication::activeModalWidget();
}

void MainWindow::trayActivated(int reason) {
    if (!trayClicksAllowed()) return;
    if (reason == QSystemTrayIcon::Context) {
        activateWindow();
        m_ui->mnuTray->popup(QCursor::pos());
    } else if (reason == QSystemTrayIcon::DoubleClick) {
        mnuShow_Click();
    }
}

// Minimising hides the window to the tray (when there is one); "Show"/"Hide" follows.

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const bool minimised = isMinimized();
    m_ui->mnuShow->setText(minimised ? "Show" : "Hide");
    if (minimised && m_tray)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) hide();
        });
}

void MainWindow::mnuShow_Click() {
    if (isMinimized() || !isVisible()) {
        showNormal();
        activateWindow();
        raise();
    } else {
        showMinimized();
    }
}

// Commands.

void MainWindow::mnuOpen_Click() {
    if (!m_core) return;
    // Tray clicks are ignored while the dialog is open.
    m_core->flags().loaded = false;
    const QStringList chosen = m_choose_files(
        this, kOpenFileTitle, qtFileFilter(openFileFilter(m_core->settings().types)));
    m_core->flags().loaded = true;
    std::vector<std::string> paths;
    for (const QString& path : chosen)
        paths.push_back(path.toStdString());
    queueFiles(*m_core, paths);
}

void MainWindow::mnuExit_Click() {
    close();
}

void MainWindow::mnuHelpGuide_Click() {
    if (!m_core) return;
    const std::string help = helpFilePath(*m_core);
    if (!help.empty()) openDocument(help);
}

void MainWindow::mnuUpdate_Click() {
    if (m_core) runUpdater(m_core->hwnd());
}

void MainWindow::mnuWeb_Click() {
    openWebsite();
}

// Files dropped onto the window or the queue list are queued one by one, in the dropped order.

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (!m_core || !event->mimeData()->hasUrls()) return;
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    }
    event->acceptProposedAction();
    queueFiles(*m_core, paths);
}

// Preferences and about.

void MainWindow::mnuPrefs_Click() {
    if (!m_core) return;
    PrefsDialog prefs(*m_core, m_program, dialogParent());
    prefs.exec();
}

void MainWindow::mnuAbout_Click() {
    if (!m_core) return;
    AboutDialog about(*m_core, dialogParent());
    about.exec();
}

// The lists' pop-up menus. A right click on a row opens the list's menu for that row; on a list
// without rows, the menu holding only its "Add" entry.

int32_t MainWindow::selectedRow(const QTreeWidget* list) {
    QTreeWidgetItem* item = list->currentItem();
    return item ? list->indexOfTopLevelItem(item) + 1 : 0;
}

void MainWindow::prepareList3(int32_t row) {
    m_menu_row = row;
    const QueueMenuState menu = m_core ? queueMenuState(*m_core, row) : QueueMenuState{};
    m_ui->mnuUndo->setText(QString::fromStdString(menu.undo_caption));
    m_ui->mnuUndo->setEnabled(menu.undo_enabled);
    m_ui->mnuInfo->setEnabled(menu.info_enabled);
    m_ui->mnuSpecify->setEnabled(menu.specify_enabled);
}

QMenu* MainWindow::popupMenuAt(QTreeWidget* list, const QPoint& pos) {
    QTreeWidgetItem* item = list->itemAt(pos);
    if (list == m_ui->ListView1) {
        if (!item) return nullptr;
        prepareList3(list->indexOfTopLevelItem(item) + 1);
        return m_ui->mnuList3;
    }
    const bool filters = list == m_ui->ListView2;
    if (list->topLevelItemCount() == 0) return filters ? m_ui->mnuList2 : m_ui->mnuList5;
    if (!item) return nullptr;
    list->setCurrentItem(item);
    return filters ? m_ui->mnuList : m_ui->mnuList4;
}

void MainWindow::showPopupMenu(QTreeWidget* list, const QPoint& pos) {
    if (QMenu* menu = popupMenuAt(list, pos)) menu->popup(list->viewport()->mapToGlobal(pos));
}

// A double click: a finished or failed queue item shows its details, a filter opens the wizard
// on it, an exception does nothing.
void MainWindow::rowDoubleClicked(QTreeWidget* list, QTreeWidgetItem* item) {
    if (!m_core || !item) return;
    const int32_t row = list->indexOfTopLevelItem(item) + 1;
    if (list == m_ui->ListView1) {
        if (m_core->validIndex(row) && hasItemInfo(m_core->item(row).state)) {
            m_menu_row = row;
            mnuInfo_Click();
        }
    } else if (list == m_ui->ListView2) {
        openFilterWizard(row);
    }
}

void MainWindow::mnuInfo_Click() {
    if (!m_core || !m_core->validIndex(m_menu_row)) return;
    InfoDialog info(m_core->item(m_menu_row), dialogParent());
    info.exec();
}

void MainWindow::mnuUndo_Click() {
    if (m_core) m_core->mnuUndo_Click(m_menu_row);
}

void MainWindow::mnuSpecify_Click() {
    openManual(m_menu_row);
}

void MainWindow::mnuRetry_Click() {
    if (m_core) m_core->mnuRetry_Click();
}

void MainWindow::openFilterWizard(int32_t id) {
    if (!m_core) return;
    FilterWizard wizard(*m_core, dialogParent());
    wizard.setID(id);
    wizard.exec();
}

void MainWindow::openManual(int32_t row) {
    if (!m_core) return;
    ManualDialog manual(*m_core, row, dialogParent());
    manual.exec();
}

void MainWindow::mnuEditFilter_Click() {
    const int32_t row = selectedRow(m_ui->ListView2);
    if (row >= 1) openFilterWizard(row);
}

void MainWindow::mnuRemFilter_Click() {
    if (m_core) m_core->removeFilter(selectedRow(m_ui->ListView2));
}

void MainWindow::mnuAddFilter_Click() {
    openFilterWizard(0);
}

void MainWindow::mnuAddEx_Click() {
    openManual(0);
}

void MainWindow::mnuRemEx_Click() {
    if (m_core) m_core->removeException(selectedRow(m_ui->ListView3));
}

// The buttons. Move Up on the first row (or with none selected) only gives the list the focus.

void MainWindow::moveSelected(QTreeWidget* list, void (Core::*move)(int32_t), bool up) {
    const int32_t row = selectedRow(list);
    if (up && (row <= 1 || !m_core)) {
        list->setFocus();
        return;
    }
    if (row >= 1 && m_core) (m_core->*move)(row);
}

void MainWindow::Command2_Click() {
    openFilterWizard(0);
}

void MainWindow::Command3_Click() {
    moveSelected(m_ui->ListView2, &Core::moveFilterUp, true);
}

void MainWindow::Command1_Click() {
    moveSelected(m_ui->ListView2, &Core::moveFilterDown, false);
}

void MainWindow::Command6_Click() {
    openManual(0);
}

void MainWindow::Command4_Click() {
    moveSelected(m_ui->ListView3, &Core::moveExceptionUp, true);
}

void MainWindow::Command5_Click() {
    moveSelected(m_ui->ListView3, &Core::moveExceptionDown, false);
}

}  // namespace vantel
