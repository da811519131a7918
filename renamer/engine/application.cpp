#include "renamer/engine/application.h"

#include "renamer/engine/instance.h"
#include "renamer/engine/open_with_entry.h"
#include "renamer/engine/shell_entries.h"
#include "renamer/engine/startup.h"
#include "renamer/http/modhttp.h"
#include "renamer/lookup/lookup_config.h"

#include <chrono>
#include <thread>

namespace vantel {

Application::Application(ApplicationOptions options) : m_options(std::move(options)) {
    m_previous_confirm = setFileOperationConfirm(m_options.confirm);
    if (m_options.pump_hook) SetPumpHook(m_options.pump_hook, m_options.pump_context);
    if (m_options.dialog_hook) SetModalDialogHook(m_options.dialog_hook, m_options.dialog_context);
    m_core = std::make_unique<Core>(m_options.view, m_options.stages, m_options.caption);
    m_core->setMessageHook([this](UINT msg, WPARAM wParam, LPARAM lParam) {
        return onWindowMessage(msg, wParam, lParam);
    });
}

Application::~Application() {
    // The trace hook writes into the core's log, which goes with the core.
    if (m_trace_routed) modHTTP::SetTraceHook(nullptr);
    m_core->setMessageHook(nullptr);
    if (m_options.dialog_hook) SetModalDialogHook(nullptr, nullptr);
    if (m_options.pump_hook) SetPumpHook(nullptr, nullptr);
    setFileOperationConfirm(m_previous_confirm);
    m_core.reset();
}

void Application::start() {
    Core& core = *m_core;
    core.debug_log(startedLine(), 1);
    startCore(core);
    if (!m_options.context_menu_program.empty() &&
        setUpShellEntries(core, shellCommand(m_options.context_menu_program))) {
        // The registry entries mean nothing to a Linux file manager: its entry goes with them.
        writeOpenWithEntry(core.settings().types, m_options.context_menu_program);
    }
    RouteHttpTrace(core.log());
    m_trace_routed = true;
    ConfigureHttpTimeout();
    ConfigureHttpDeadline();
    core.setApiBase(ApiBase(m_options.api_base));
    core.debug_log("Episode database: " + core.apiBase(), 2);
}

void Application::queueCommandLine(const std::vector<std::string>& paths) {
    vantel::queueCommandLine(*m_core, paths);
}

void Application::setLoaded() {
    m_core->flags().loaded = true;
}

bool Application::runUntilWorkedThrough() {
    Core& core = *m_core;
    MSG msg;
    while (!core.unloaded() && (core.flags().busy || core.timer1Enabled())) {
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

bool Application::handOverToRunningInstance(const std::string& commandLine) {
    if (!findRunningInstance()) return false;
    // The running instance may still be starting: give it a moment before it is sent work.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!SendToRunningInstance(std::string(kHandOverPrefix) + commandLine)) return false;
    DoEvents();
    return true;
}

std::optional<LRESULT> Application::onWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_options.window_hook) {
        if (std::optional<LRESULT> result = m_options.window_hook(msg, wParam, lParam))
            return result;
    }
    if (msg == WM_COPYDATA) {
        if (auto text = instanceMessageText(reinterpret_cast<const COPYDATASTRUCT*>(lParam)))
            actOnInstanceMessage(*m_core, *text);
        return 0;
    }
    return std::nullopt;
}

}  // namespace vantel
