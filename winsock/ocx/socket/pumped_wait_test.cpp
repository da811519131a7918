// The pumped wait: messages and the host's hook run between slices, and what they may do to it.

#include "winsock/ocx/socket/pumped_wait.h"

#include "winsock/ocx/binding/wait_state.h"
#include "winsock/ocx/socket/close.h"
#include "winsock/ocx/socket/socket_test_support.h"

using namespace kvlink;
using socket_test::connectTo;
using socket_test::lastCode;
using socket_test::TimerAction;

namespace {

// A connection whose peer never sends: waiting for it to become readable always times out.
struct SilentConnection {
    LoopbackServer server{[](PeerConnection& peer) { peer.hold(); }};
    int32_t handle = connectTo(server.port());
    ~SilentConnection() { closeSocket(handle, 0); }
    SOCKET socket() const { return static_cast<SOCKET>(handle); }
};

}  // namespace

TEST(PumpedSelect, RunsTimersAndTheHostHookWhileWaiting) {
    SilentConnection silent;
    ASSERT_NE(silent.handle, wrInvalidSocket);
    TimerAction ticks(
        100, [] {}, true);
    static int hookCalls = 0;
    SetPumpHook([](void*) { ++hookCalls; }, nullptr);

    EXPECT_EQ(waitForSocket(silent.socket(), WaitFor::Readable, 2), 0) << "timed out";
    SetPumpHook(nullptr, nullptr);
    EXPECT_GE(ticks.runs(), 1);
    EXPECT_GE(hookCalls, 2) << "once per one-second slice";
    EXPECT_EQ(waitState(), 0u) << "the wait's bits are cleared";
}

TEST(PumpedSelect, ANestedWaitFailsAndTheOuterOneGoesOn) {
    SilentConnection silent;
    ASSERT_NE(silent.handle, wrInvalidSocket);
    int nested = 0;
    uint32_t nestedError = 0;
    TimerAction inner(50, [&] {
        nested = waitForSocket(silent.socket(), WaitFor::Readable, 5);
        nestedError = lastCode();
    });
    EXPECT_EQ(waitForSocket(silent.socket(), WaitFor::Readable, 2), 0);
    ASSERT_EQ(inner.runs(), 1);
    EXPECT_EQ(nested, -1);
    EXPECT_EQ(nestedError, wrErrorOperationInProgress);
}

TEST(PumpedSelect, CancelFromAHandlerEndsTheWait) {
    SilentConnection silent;
    ASSERT_NE(silent.handle, wrInvalidSocket);
    bool cancelled = false;
    TimerAction cancel(50, [&] { cancelled = cancelWait(); });
    EXPECT_EQ(waitForSocket(silent.socket(), WaitFor::Readable, 0), -1) << "no limit, yet it ends";
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(lastCode(), wrErrorOperationCanceled);
    EXPECT_EQ(waitState(), 0u);
    // Outside a wait there is nothing to cancel.
    EXPECT_FALSE(cancelWait());
    EXPECT_EQ(lastCode(), wrErrorOperationNotBlocking);
}

TEST(PumpedSelect, AQuitEndsTheWaitAndIsKeptForTheThreadsLoop) {
    SilentConnection silent;
    ASSERT_NE(silent.handle, wrInvalidSocket);
    const UINT kThreadMessage = WM_APP + 7;
    PostThreadMessageA(GetCurrentThreadId(), kThreadMessage, 42, 0);
    PostQuitMessage(3);

    // Without a limit only the quit can end this wait; it reads as a time-out.
    EXPECT_EQ(waitForSocket(silent.socket(), WaitFor::Readable, 0), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, kThreadMessage) << "a thread message is put back, not dispatched";
    EXPECT_EQ(msg.wParam, 42u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(PumpedSelect, ReadySocketsComeBackAtOnce) {
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("x");
        peer.hold();
    });
    int32_t handle = connectTo(server.port());
    ASSERT_NE(handle, wrInvalidSocket);
    // The write side is ready at once, the read side once the byte has come.
    EXPECT_EQ(waitForSocket(static_cast<SOCKET>(handle), WaitFor::Writable, 5), 1);
    EXPECT_EQ(waitForSocket(static_cast<SOCKET>(handle), WaitFor::Readable, 5), 1);
    EXPECT_EQ(pollSocket(static_cast<SOCKET>(handle), WaitFor::Readable), 1);
    closeSocket(handle, 0);
}

TEST(PumpedSelect, WithPumpingSwitchedOffNoMessageRuns) {
    SilentConnection silent;
    ASSERT_NE(silent.handle, wrInvalidSocket);
    TimerAction tick(50, [] {});
    setWaitBits(kWaitNoPump);
    EXPECT_EQ(waitForSocket(silent.socket(), WaitFor::Readable, 1), 0);
    clearWaitBits(kWaitNoPump);
    EXPECT_EQ(tick.runs(), 0);
}
