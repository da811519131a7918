#include "renamer/shell/desktop_app.h"

#include "renamer/common/version.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/application.h"
#include "renamer/shell/mainwindow.h"
#include "renamer/shell/queue_pump.h"

#include <QApplication>
#include <QMessageBox>

namespace vantel {

namespace {

// The shell's questions during a file operation (a file in the way of a move or copy), asked
// of the user. Nothing is replaced unless the user says so.
bool askUser(const ConfirmRequest& request) {
    QString question;
    switch (request.kind) {
        case ConfirmKind::Overwrite:
            question = QString("Replace the existing file?\n%1\nwith\n%2")
                           .arg(QString::fromStdString(request.destination),
                                QString::fromStdString(request.source));
            break;
        case ConfirmKind::MergeFolder:
            question = QString("Merge the folder\n%1\ninto the existing folder\n%2?")
                           .arg(QString::fromStdString(request.source),
                                QString::fromStdString(request.destination));
            break;
        case ConfirmKind::CreateFolder:
            question =
                QString("Create the folder\n%1?").arg(QString::fromStdString(request.destination));
            break;
        case ConfirmKind::Delete:
            question = QString("Delete\n%1?").arg(QString::fromStdString(request.source));
            break;
    }
    return QMessageBox::question(QApplication::activeWindow(), kAppTitle, question) ==
           QMessageBox::Yes;
}

}  // namespace

DesktopApp::DesktopApp(MainWindow& window)
    : m_window(window), m_pump(std::make_unique<QueuePump>()) {
    ApplicationOptions options;
    options.view = &window;
    options.caption = mainCaption();
    options.confirm = askUser;
    options.pump_hook = &QueuePump::processQtEvents;
    options.context_menu_program = programFolder() + "/vantel";
    m_window.setProgramPath(options.context_menu_program);
    m_app = std::make_unique<Application>(std::move(options));
    m_window.attach(&m_app->core());
}

DesktopApp::~DesktopApp() {
    m_window.attach(nullptr);
    m_app->core().setView(nullptr);
}

Core& DesktopApp::core() {
    return m_app->core();
}

bool DesktopApp::start(const CommandLine& line) {
    if (!m_app->core().hwnd()) {
        QMessageBox::critical(
            nullptr, kFatalStartupCaption,
            QString::fromStdString(fatalStartupMessage("the main window could not be created")));
        return false;
    }
    startDesktop(*m_app, m_window, line);
    m_window.showAtStart();
    return true;
}

}  // namespace vantel
