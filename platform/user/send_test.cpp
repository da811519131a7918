#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/user/test_support.h"
#include "platform/user/user.h"

using namespace vantel::user::test;

namespace {

constexpr UINT kFinished = WM_APP + 100;

// Answers WM_USER with the owning thread's id and counts what it handled.
std::atomic<int> g_handled{0};
LRESULT countingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER) {
        ++g_handled;
        return static_cast<LRESULT>(GetCurrentThreadId()) + static_cast<LRESULT>(wParam);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND makeCountingWindow() {
    static ATOM atom = [] {
        WNDCLASSA wc{0, countingProc, "VantelCountingWindow"};
        return RegisterClassA(&wc);
    }();
    (void)atom;
    return CreateWindowExA(0, "VantelCountingWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                           nullptr);
}

// Runs a thread owning one counting window; its loop ends on WM_QUIT.
struct WindowThread {
    std::promise<HWND> ready;
    std::thread thread;
    HWND hwnd = nullptr;
    DWORD id = 0;

    WindowThread() {
        auto f = ready.get_future();
        thread = std::thread([this] {
            ready.set_value(makeCountingWindow());
            MSG m;
            while (GetMessageA(&m, nullptr, 0, 0) > 0)
                DispatchMessageA(&m);
        });
        hwnd = f.get();
        id = GetWindowThreadProcessId(hwnd, nullptr);
    }
    ~WindowThread() {
        PostThreadMessageA(id, WM_QUIT, 0, 0);
        thread.join();
    }
};

}  // namespace

TEST(Send, SameThreadCallsProcedureDirectly) {
    HWND w = makeCountingWindow();
    EXPECT_EQ(SendMessageA(w, WM_USER, 5, 0), static_cast<LRESULT>(GetCurrentThreadId()) + 5);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(w);
    EXPECT_EQ(SendMessageA(w, WM_USER, 5, 0), 0);
}

TEST(Send, OtherThreadRunsProcedureOnOwner) {
    WindowThread owner;
    EXPECT_EQ(SendMessageA(owner.hwnd, WM_USER, 3, 0), static_cast<LRESULT>(owner.id) + 3);
}

TEST(Send, BothDirectionsAtOnceDoNotDeadlock) {
    constexpr int kEach = 200;
    g_handled = 0;
    std::promise<HWND> aReady, bReady;
    std::future<HWND> aWindow = aReady.get_future(), bWindow = bReady.get_future();
    auto run = [&](std::promise<HWND>& mine, std::future<HWND>& theirs) {
        HWND own = makeCountingWindow();
        mine.set_value(own);
        HWND other = theirs.get();
        int wrong = 0;
        DWORD otherThread = GetWindowThreadProcessId(other, nullptr);
        for (int i = 0; i < kEach; ++i) {
            if (SendMessageA(other, WM_USER, 0, 0) != static_cast<LRESULT>(otherThread)) ++wrong;
        }
        PostMessageA(other, kFinished, 0, 0);
        // Keep answering the other side until it has finished too.
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0 && m.message != kFinished)
            DispatchMessageA(&m);
        DestroyWindow(own);
        return wrong;
    };
    auto a = std::async(std::launch::async, [&] { return run(aReady, bWindow); });
    auto b = std::async(std::launch::async, [&] { return run(bReady, aWindow); });
    EXPECT_EQ(a.get(), 0);
    EXPECT_EQ(b.get(), 0);
    EXPECT_EQ(g_handled.load(), 2 * kEach);
}

TEST(Send, ReceiverMaySendBackToWaitingSender) {
    Recorder r;
    r.answers[WM_USER + 1] = 40;
    HWND mine = makeWindow(&r);
    r.take();
    WindowThread other;
    // Subclass the other thread's window so that WM_USER + 7 asks us a question first.
    static HWND s_back;
    static WNDPROC s_previous;
    s_back = mine;
    s_previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(other.hwnd, GWLP_WNDPROC));
    SetWindowLongPtrA(other.hwnd, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) {
                          if (m == WM_USER + 7) return SendMessageA(s_back, WM_USER + 1, 0, 0) + 2;
                          return CallWindowProcA(s_previous, h, m, w, l);
                      }));
    EXPECT_EQ(SendMessageA(other.hwnd, WM_USER + 7, 0, 0), 42);
    EXPECT_EQ(r.messages(), std::vector<UINT>{WM_USER + 1});
    DestroyWindow(mine);
}

TEST(Send, HandledInsidePeekWithoutBeingReturned) {
    Recorder r;
    r.answers[WM_USER] = 77;
    HWND w = makeWindow(&r);
    r.take();
    int fd = GetQueueReadyFd();
    auto result = std::async(std::launch::async, [w] { return SendMessageA(w, WM_USER, 1, 0); });
    pollfd pfd{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 5000), 1);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(result.get(), 77);
    EXPECT_EQ(r.take(), (std::vector<Seen>{{w, WM_USER, 1}}));
    DestroyWindow(w);
}

TEST(Send, ReceiverThreadEndingAnswersZero) {
    std::promise<HWND> made;
    std::thread receiver([&] {
        HWND w = makeCountingWindow();
        int fd = GetQueueReadyFd();
        made.set_value(w);
        // Wait until the message has arrived, then end without ever taking it.
        pollfd pfd{fd, POLLIN, 0};
        ::poll(&pfd, 1, 5000);
    });
    HWND w = made.get_future().get();
    EXPECT_EQ(SendMessageA(w, WM_USER, 1, 0), 0);
    receiver.join();
    EXPECT_FALSE(IsWindow(w));
}
