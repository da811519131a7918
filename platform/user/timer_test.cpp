#include <gtest/gtest.h>

#include <thread>

#include "platform/user/test_support.h"
#include "platform/user/user.h"

using namespace vantel::user::test;
using namespace std::chrono_literals;

namespace {

int countWaitingTimers() {
    int n = 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
        ++n;
    return n;
}

std::vector<UINT_PTR> g_procCalls;
void timerProc(HWND, UINT msg, UINT_PTR id, DWORD) {
    if (msg == WM_TIMER) g_procCalls.push_back(id);
}
void otherProc(HWND, UINT, UINT_PTR id, DWORD) {
    g_procCalls.push_back(1000 + id);
}

}  // namespace

TEST(Timer, FiresRepeatedlyUntilKilled) {
    Recorder r;
    HWND w = makeWindow(&r);
    r.take();
    ASSERT_EQ(SetTimer(w, 4, 10, nullptr), 4u);
    MSG m;
    int ticks = 0;
    while (ticks < 3 && GetMessageA(&m, w, 0, 0) > 0) {
        if (m.message == WM_TIMER && m.wParam == 4) ++ticks;
        DispatchMessageA(&m);
    }
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(r.messages(), (std::vector<UINT>{WM_TIMER, WM_TIMER, WM_TIMER}));
    EXPECT_TRUE(KillTimer(w, 4));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(countWaitingTimers(), 0);
    EXPECT_FALSE(KillTimer(w, 4));
    DestroyWindow(w);
}

TEST(Timer, NeverMoreThanOneWaitingPerTimer) {
    Recorder r;
    HWND w = makeWindow(&r);
    SetTimer(w, 1, 300, nullptr);
    SetTimer(w, 2, 300, nullptr);
    std::this_thread::sleep_for(700ms);
    // Two intervals passed for each, yet each timer has one WM_TIMER waiting.
    EXPECT_EQ(countWaitingTimers(), 2);
    DestroyWindow(w);
}

TEST(Timer, SetTimerOnSameIdRestartsIt) {
    Recorder r;
    HWND w = makeWindow(&r);
    ASSERT_EQ(SetTimer(w, 5, 100000, nullptr), 5u);
    ASSERT_EQ(SetTimer(w, 5, 10, nullptr), 5u);
    MSG m;
    ASSERT_EQ(GetMessageA(&m, w, WM_TIMER, WM_TIMER), 1);
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_TRUE(KillTimer(w, 5));
    EXPECT_FALSE(KillTimer(w, 5));  // one timer, not two
    DestroyWindow(w);
}

TEST(Timer, ALookSeesATimerOnlyOnceItIsDueAndForItsWindow) {
    Recorder r;
    HWND w = makeWindow(&r);
    HWND other = makeWindow(&r);
    ASSERT_EQ(SetTimer(w, 6, 200, nullptr), 6u);
    ASSERT_EQ(SetTimer(w, 7, 100000, nullptr), 7u);
    MSG m;
    // Not due yet: looks find nothing, however often they look.
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    std::this_thread::sleep_for(250ms);
    // Due, but a look at another window's messages does not see it.
    EXPECT_FALSE(PeekMessageA(&m, other, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(m.wParam, 6u);
    // Taken: the next tick is an interval away again.
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    DestroyWindow(other);
    DestroyWindow(w);
}

TEST(Timer, ThreadTimerProcRunsThroughDispatch) {
    g_procCalls.clear();
    UINT_PTR id = SetTimer(nullptr, 0, 10, timerProc);
    ASSERT_NE(id, 0u);
    UINT_PTR second = SetTimer(nullptr, 0, 100000, nullptr);
    EXPECT_NE(second, id);
    MSG m;
    ASSERT_EQ(GetMessageA(&m, nullptr, WM_TIMER, WM_TIMER), 1);
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(m.wParam, id);
    EXPECT_EQ(m.lParam, reinterpret_cast<LPARAM>(&timerProc));
    DispatchMessageA(&m);
    EXPECT_EQ(g_procCalls, std::vector<UINT_PTR>{id});

    // A WM_TIMER whose lParam is not the timer's own procedure calls nothing.
    MSG forged{nullptr, WM_TIMER, id, reinterpret_cast<LPARAM>(&otherProc), 0};
    DispatchMessageA(&forged);
    forged.wParam = 999;
    DispatchMessageA(&forged);
    EXPECT_EQ(g_procCalls, std::vector<UINT_PTR>{id});
    KillTimer(nullptr, id);
    KillTimer(nullptr, second);
}
