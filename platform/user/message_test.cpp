#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

#include "platform/user/test_support.h"
#include "platform/user/user.h"

using namespace vantel::user::test;
using namespace std::chrono_literals;

namespace {

bool readable(int fd, int timeoutMs) {
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, timeoutMs) == 1;
}

void drainQueue() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace

TEST(Queue, PostedMessagesThenQuitThenTimer) {
    Recorder r;
    HWND w = makeWindow(&r);
    UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
    ASSERT_NE(timer, 0u);
    std::this_thread::sleep_for(50ms);
    PostMessageA(w, WM_USER + 1, 1, 0);
    PostMessageA(nullptr, WM_USER + 2, 2, 0);
    PostQuitMessage(7);
    // Posted after the quit request, still ahead of the quit message.
    PostMessageA(w, WM_USER + 3, 3, 0);

    MSG m;
    std::vector<std::pair<UINT, WPARAM>> order;
    for (int i = 0; i < 5; ++i) {
        BOOL got = GetMessageA(&m, nullptr, 0, 0);
        EXPECT_EQ(got, m.message == WM_QUIT ? 0 : 1);
        order.emplace_back(m.message, m.wParam);
    }
    std::vector<std::pair<UINT, WPARAM>> expected{
        {WM_USER + 1, 1}, {WM_USER + 2, 2}, {WM_USER + 3, 3}, {WM_QUIT, 7}, {WM_TIMER, timer}};
    EXPECT_EQ(order, expected);
    KillTimer(nullptr, timer);
    DestroyWindow(w);
}

TEST(Queue, FiltersByWindowAndRange) {
    Recorder r;
    HWND w1 = makeWindow(&r);
    HWND w2 = makeWindow(&r);
    struct Case {
        HWND hwnd;
        UINT min, max;
        UINT expected;  // 0: nothing matches
    } cases[] = {
        {w2, 0, 0, WM_USER + 2},
        {nullptr, WM_APP, WM_APP, WM_APP},
        {reinterpret_cast<HWND>(-1), 0, 0, WM_APP},
        {w1, WM_USER + 3, WM_USER + 9, WM_USER + 3},
        {w2, WM_USER + 3, WM_USER + 9, 0},
        {nullptr, WM_USER + 4, WM_APP - 1, 0},
    };
    for (const auto& c : cases) {
        drainQueue();
        PostMessageA(w1, WM_USER + 1, 0, 0);
        PostMessageA(w2, WM_USER + 2, 0, 0);
        PostMessageA(nullptr, WM_APP, 0, 0);
        PostMessageA(w1, WM_USER + 3, 0, 0);
        MSG m{};
        BOOL got = PeekMessageA(&m, c.hwnd, c.min, c.max, PM_REMOVE);
        EXPECT_EQ(got, c.expected ? TRUE : FALSE) << "expected " << c.expected;
        if (got) {
            EXPECT_EQ(m.message, c.expected);
        }
        // What the filter skipped is still there, in order.
        int left = 0;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            ++left;
        EXPECT_EQ(left, got ? 3 : 4);
    }
    DestroyWindow(w1);
    DestroyWindow(w2);
}

TEST(Queue, PeekWithoutRemoveLeavesMessageAndQuit) {
    PostMessageA(nullptr, WM_USER, 5, 6);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER);
    EXPECT_EQ(m.lParam, 6);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));

    PostQuitMessage(2);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST(Queue, RejectsBadArgumentsAndDeadTargets) {
    Recorder r;
    HWND dead = makeWindow(&r);
    DestroyWindow(dead);
    HWND foreign = nullptr;
    DWORD foreignThread = 0;
    std::thread([&] {
        foreign = makeWindow(&r);
        foreignThread = GetCurrentThreadId();
    }).join();

    MSG m;
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(GetMessageA(&m, dead, 0, 0), -1);
    EXPECT_FALSE(PeekMessageA(&m, dead, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PostMessageA(dead, WM_USER, 0, 0));
    // The thread has ended, so its window and queue are gone.
    EXPECT_FALSE(IsWindow(foreign));
    EXPECT_FALSE(PostThreadMessageA(foreignThread, WM_USER, 0, 0));
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0));
    drainQueue();
}

TEST(Queue, RefusesPostsBeyondDepthLimit) {
    int accepted = 0;
    while (accepted < 20000 && PostMessageA(nullptr, WM_USER, 0, 0))
        ++accepted;
    EXPECT_EQ(accepted, 10000);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PostMessageA(nullptr, WM_USER, 0, 0));
    drainQueue();
}

TEST(ReadyFd, ReadableWhilePostedMessageWaits) {
    int fd = GetQueueReadyFd();
    ASSERT_GE(fd, 0);
    drainQueue();
    EXPECT_FALSE(readable(fd, 0));
    DWORD self = GetCurrentThreadId();
    std::thread([self] { PostThreadMessageA(self, WM_USER, 0, 0); }).join();
    EXPECT_TRUE(readable(fd, 5000));
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(readable(fd, 0));
}

TEST(ReadyFd, ReadableWhenTimerFallsDue) {
    int fd = GetQueueReadyFd();
    drainQueue();
    UINT_PTR id = SetTimer(nullptr, 0, 20, nullptr);
    EXPECT_TRUE(readable(fd, 5000));
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
    // Restarted with a long interval, nothing is due any more.
    SetTimer(nullptr, id, 100000, nullptr);
    EXPECT_FALSE(readable(fd, 0));
    KillTimer(nullptr, id);
    EXPECT_FALSE(readable(fd, 0));
}

TEST(ReadyFd, FilteredWaitKeepsOtherMessagesSignalled) {
    Recorder r;
    HWND w1 = makeWindow(&r);
    HWND w2 = makeWindow(&r);
    int fd = GetQueueReadyFd();
    PostMessageA(w1, WM_USER + 1, 0, 0);
    std::thread poster([w2] {
        std::this_thread::sleep_for(20ms);
        PostMessageA(w2, WM_USER + 2, 0, 0);
    });
    MSG m;
    ASSERT_EQ(GetMessageA(&m, w2, 0, 0), 1);
    EXPECT_EQ(m.message, WM_USER + 2);
    poster.join();
    // The message for w1 that the filtered wait skipped must still show on the descriptor.
    EXPECT_TRUE(readable(fd, 0));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, w1);
    DestroyWindow(w1);
    DestroyWindow(w2);
}
