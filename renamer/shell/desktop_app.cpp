#include "renamer/shell/desktop_app.h"

#include "renamer/common/version.h"
#include "renamer/engine/core.h"
#include "renamer/lookup/lookup_config.h"
#include "renamer/shell/mainwindow.h"
#include "renamer/shell/queue_pump.h"

#include <QMessageBox>

DesktopApp::DesktopApp(MainWindow& window)
    : m_window(window),
      m_pump(std::make_unique<QueuePump>()),
      m_core(std::make_unique<Core>(&window, nullptr, mainCaption())) {
    m_window.attach(m_core.get());
}

DesktopApp::~DesktopApp() {
    m_window.attach(nullptr);
    m_core->setView(nullptr);
}

bool DesktopApp::start(const CommandLine& line) {
    if (!m_core->hwnd()) {
        QMessageBox::critical(
            nullptr, kFatalStartupCaption,
            QString::fromStdString(fatalStartupMessage("the main window could not be created")));
        return false;
    }
    startDesktop(*m_core, m_window, line);
    RouteHttpTrace(m_core->log());
    ConfigureHttpTimeout();
    m_core->debug_log("Episode database: " + m_core->apiBase(), 2);
    m_window.showAtStart();
    return true;
}
