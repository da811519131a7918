// Host integration: the pump hook and DoEvents.

#include "platform/user/internal.h"

using namespace vantel::user;

namespace {

thread_local PumpHook t_hook = nullptr;
thread_local void* t_hookContext = nullptr;
thread_local bool t_inHook = false;

}  // namespace

void SetPumpHook(PumpHook hook, void* context) {
    t_hook = hook;
    t_hookContext = context;
}

void PumpHostEvents() {
    // A host's event processing may itself end up in a wait that pumps; running the hook again
    // inside itself would only recurse, so the inner call does nothing.
    if (!t_hook || t_inHook) return;
    t_inHook = true;
    t_hook(t_hookContext);
    t_inHook = false;
}

void DoEvents() {
    const auto& q = currentQueue();
    if (q) {
        // Only what is waiting now runs; messages posted meanwhile wait for the next call.
        Limit limit;
        {
            auto lock = lockState();
            limit.maxSeq = q->nextSeq - 1;
        }
        limit.timersDueBy = Clock::now();
        MSG msg;
        while (peekInternal(*q, &msg, Filter{}, true, limit)) {
            if (msg.message == WM_QUIT) {
                // The quit belongs to the loop that called us; leave it for that loop.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!msg.hwnd && msg.message != WM_TIMER) {
                // A thread message has no window to go to: put it back for the thread's own loop
                // instead of losing it.
                PostThreadMessageA(currentThreadId(), msg.message, msg.wParam, msg.lParam);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    PumpHostEvents();
}
