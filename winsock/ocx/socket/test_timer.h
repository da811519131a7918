#pragma once
// For tests: a message loop that runs for a while, and an action run from a WM_TIMER of a
// window of the calling thread, the way a host's timer or event handler runs inside a blocking
// call's wait.
//
//   TimerAction cancel(50, [&] { control->Cancel(&error); });
//   control->Read(...);   // the wait dispatches the timer, and the handler cancels it

#include <poll.h>

#include <functional>

#include "platform/user/user.h"

namespace socket_test {

// Runs an action from a WM_TIMER of a window of the calling thread, ms after construction (and
// again every ms while repeat is set). The window lives as long as the object.
class TimerAction {
  public:
    TimerAction(unsigned ms, std::function<void()> action, bool repeat = false)
        : m_action(std::move(action)), m_repeat(repeat) {
        static const ATOM registered = [] {
            WNDCLASSA wc{0, &TimerAction::windowProc, "KvlinkTestTimer"};
            return RegisterClassA(&wc);
        }();
        (void)registered;
        m_window = CreateWindowExA(0, "KvlinkTestTimer", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                   nullptr, nullptr);
        SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetTimer(m_window, 1, ms, nullptr);
    }
    ~TimerAction() { DestroyWindow(m_window); }
    TimerAction(const TimerAction&) = delete;
    TimerAction& operator=(const TimerAction&) = delete;

    int runs() const { return m_runs; }

  private:
    static LRESULT windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_TIMER) {
            auto* self = reinterpret_cast<TimerAction*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
            if (self) {
                if (!self->m_repeat) KillTimer(hwnd, 1);
                ++self->m_runs;
                self->m_action();
            }
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    std::function<void()> m_action;
    bool m_repeat;
    HWND m_window = nullptr;
    int m_runs = 0;
};

// Runs the calling thread's messages until done() holds or ms pass, as a host's message loop
// does; returns done().
inline bool pumpUntil(const std::function<bool()>& done, int ms = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (done()) return true;
        int left = ms - static_cast<int>(GetTickCount() - start);
        if (left <= 0) return done();
        pollfd ready{GetQueueReadyFd(), POLLIN, 0};
        poll(&ready, 1, left < 20 ? left : 20);
    }
}

inline void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

}  // namespace socket_test
