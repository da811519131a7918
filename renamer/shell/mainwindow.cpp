#include "renamer/shell/mainwindow.h"

#include "renamer/common/version.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/main_commands.h"
#include "renamer/engine/weblinks.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
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

QMessageBox::Icon boxIcon(int icon) {
    switch (icon) {
        case kIconError:
            return QMessageBox::Critical;
        case kIconWarning:
            return QMessageBox::Warning;
        default:
            return QMessageBox::Information;
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

// Boxes. The program's own message and confirmation dialogs replace these plain ones.

bool MainWindow::showMessage(const MessageRequest& request) {
    QMessageBox box(boxIcon(request.icon), qs(request.caption), qs(request.text), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    QCheckBox* dont_show = nullptr;
    if (request.offer_dont_show) {
        dont_show = new QCheckBox("Don't show this again", &box);
        box.setCheckBox(dont_show);
    }
    box.exec();
    return dont_show && dont_show->isChecked();
}

ConfirmDialogAnswer MainWindow::confirmFileOperation(const ConfirmDialogRequest& request) {
    QMessageBox box(QMessageBox::Question, qs(request.caption), qs(request.question),
                    QMessageBox::Ok | QMessageBox::Cancel, isVisible() ? this : nullptr);
    box.setInformativeText(qs(request.from + "\n" + request.to));
    auto* dont_show = new QCheckBox("Don't show this again", &box);
    box.setCheckBox(dont_show);
    ConfirmDialogAnswer answer;
    answer.ok = box.exec() == QMessageBox::Ok;
    answer.dont_show_again = dont_show->isChecked();
    return answer;
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

}  // namespace vantel
