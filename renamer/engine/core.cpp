#include "renamer/engine/core.h"

#include "renamer/common/reg.h"
#include "renamer/lookup/lookup_config.h"

namespace vantel {

namespace {

constexpr const char* kWindowClass = "VantelCore";

NullView g_null_view;
PipelineStages g_build_stages;

bool registerWindowClass(WNDPROC proc) {
    static const bool registered = [proc] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.lpszClassName = kWindowClass;
        return RegisterClassA(&wc) != 0;
    }();
    return registered;
}

}  // namespace

Core::Core(CoreView* view, PipelineStages* stages, const std::string& caption)
    : m_view(view ? view : &g_null_view),
      m_stages(stages ? stages : &g_build_stages),
      m_wirran([this](const std::string& line, int level) { debug_log(line, level); },
               [this] { pump(); }) {
    m_queue.emplace_back();  // slot 0 never holds an item
    m_log.setListener([this](bool cleared, const std::string& line, int level) {
        if (cleared) m_view->logCleared();
        m_view->logLineAdded(line, level);
    });
    registerWindowClass(&Core::windowProc);
    m_hwnd = CreateWindowExA(0, kWindowClass, caption.c_str(), 0, 0, 0, 0, 0, nullptr, nullptr,
                             nullptr, this);
}

Core::~Core() {
    if (m_hwnd) {
        KillTimer(m_hwnd, kTimer1Id);
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
}

const std::string& Core::apiBase() {
    if (m_api_base.empty()) m_api_base = ApiBase();
    return m_api_base;
}

void Core::setView(CoreView* view) {
    m_view = view ? view : &g_null_view;
}

void Core::setStages(PipelineStages* stages) {
    m_stages = stages ? stages : &g_build_stages;
}

LRESULT Core::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return TRUE;
    }
    auto* core = reinterpret_cast<Core*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!core) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (core->m_message_hook) {
        if (std::optional<LRESULT> result = core->m_message_hook(msg, wParam, lParam))
            return *result;
    }
    switch (msg) {
        case WM_TIMER:
            if (wParam == kTimer1Id) {
                core->Timer1_Timer();
                return 0;
            }
            break;
        case WM_CLOSE:
            // The window itself is destroyed with the core, never here: a pass may be running
            // further up this thread's stack.
            if (core->queryUnload()) core->unloadMainWindow();
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Core::cancelSocketActivity() {
    m_wirran.cancelActivity();
}

std::string Core::controlVersion() {
    return m_wirran.version();
}

void Core::debug_log(const std::string& text, int level) {
    log().debug_log(text, level);
}

void Core::ShowMessage(const std::string& caption, const std::string& text, int icon,
                       int message_id) {
    const std::string skip_name = std::to_string(message_id) + "msgskip$";
    if (message_id >= 1 && modReg::GetSettingInt(skip_name) != 0) return;
    MessageRequest request;
    request.caption = caption;
    request.text = text;
    for (char& c : request.text) {
        if (c == '#') c = '\n';
    }
    request.icon = icon;
    request.offer_dont_show = message_id >= 1;
    bool dont_show_again = false;
    try {
        dont_show_again = m_view->showMessage(request);
    } catch (...) {
        // A view that fails to show the box has not shown it; nothing to remember.
    }
    if (message_id >= 1 && dont_show_again) modReg::SaveSettingInt(skip_name, 1);
}

bool Core::queryUnload() {
    if (!m_flags.busy) return true;
    debug_log("Got quit signal, finishing up...", 1);
    m_flags.quit_requested = true;
    return false;
}

void Core::unloadMainWindow() {
    if (m_unloaded) return;
    m_unloaded = true;
    disableTimer1();
    m_view->closeMainWindow();
}

void Core::pump() {
    m_view->pumpEvents();
}

}  // namespace vantel
