#include <gtest/gtest.h>

#include "platform/user/test_support.h"
#include "platform/user/user.h"

using namespace vantel::user::test;

namespace {

void countingHook(void* context) {
    ++*static_cast<int*>(context);
    PumpHostEvents();  // a host whose event processing ends up pumping again
}

// Posts itself another message each time it hears one.
int g_echoes = 0;
LRESULT echoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER) {
        ++g_echoes;
        PostMessageA(hwnd, WM_USER, 0, 0);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

TEST(DoEvents, DispatchesWaitingMessagesAndPostsQuitAgain) {
    Recorder r;
    HWND w = makeWindow(&r);
    r.take();
    int pumps = 0;
    SetPumpHook(countingHook, &pumps);
    PostMessageA(w, WM_USER + 1, 0, 0);
    PostQuitMessage(3);
    PostMessageA(w, WM_USER + 2, 0, 0);
    DoEvents();
    EXPECT_EQ(r.messages(), (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    EXPECT_EQ(pumps, 1);
    // The quit is still there for the loop that owns it.
    MSG m;
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.wParam, 3u);
    SetPumpHook(nullptr, nullptr);
    DoEvents();
    EXPECT_EQ(pumps, 1);
    DestroyWindow(w);
}

TEST(DoEvents, LeavesMessagesPostedWhileItRuns) {
    g_echoes = 0;
    WNDCLASSA wc{0, echoProc, "VantelEchoWindow"};
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "VantelEchoWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                             nullptr);
    PostMessageA(w, WM_USER, 0, 0);
    DoEvents();
    EXPECT_EQ(g_echoes, 1);
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, w, WM_USER, WM_USER, PM_NOREMOVE));
    DestroyWindow(w);
}

TEST(DoEvents, PutsThreadMessageBack) {
    Recorder r;
    HWND w = makeWindow(&r);
    r.take();
    PostMessageA(nullptr, WM_APP, 1, 0);
    PostMessageA(w, WM_USER, 0, 0);
    DoEvents();
    // The thread message ended the pass; nothing was lost and nothing ran twice.
    EXPECT_TRUE(r.messages().empty());
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, w);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_APP);
    EXPECT_EQ(m.wParam, 1u);
    DestroyWindow(w);
}
