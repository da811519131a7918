// Posting, taking and dispatching messages.

#include "platform/user/internal.h"

#include <algorithm>

namespace vantel::user {

namespace {

// A queue refuses further posts at this depth, as a stuck consumer must not let a busy
// producer grow memory without bound.
constexpr size_t kMaxPosted = 10000;

enum class Take { Message, Nothing };

// Takes the next message in order: posted messages, then a pending quit, then a due timer.
// Sent messages are not taken here; they run in receiveSentMessages before each take.
Take takeLocked(Queue& q, const Filter& filter, bool remove, const Limit& limit,
                Clock::time_point now, MSG* msg) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (it->seq > limit.maxSeq) break;
        if (!filter.matches(it->msg.hwnd, it->msg.message)) continue;
        *msg = it->msg;
        if (remove) q.posted.erase(it);
        return Take::Message;
    }
    // The quit message ignores the filters, so any message loop sees it.
    if (q.quitPending) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, GetTickCount()};
        if (remove) q.quitPending = false;
        return Take::Message;
    }
    if (takeTimerLocked(q, filter, now, limit.timersDueBy, remove, msg)) return Take::Message;
    return Take::Nothing;
}

// True when hwnd may filter a take of this thread: none, "thread messages only", or a live
// window of the thread.
bool validFilterWindow(HWND hwnd, const Queue& q) {
    if (!hwnd || hwnd == reinterpret_cast<HWND>(-1)) return true;
    auto lock = lockState();
    Window* w = findWindowLocked(hwnd);
    return w && w->owner.get() == &q;
}

}  // namespace

Window* findWindowLocked(HWND hwnd) {
    auto& windows = state().windows;
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

bool postLocked(Queue& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (q.dead || q.posted.size() >= kMaxPosted) return false;
    q.posted.push_back(Posted{MSG{hwnd, message, wParam, lParam, GetTickCount()}, q.nextSeq++});
    signalLocked(q);
    return true;
}

void dropWindowLocked(Queue& q, HWND hwnd) {
    std::erase_if(q.posted, [hwnd](const Posted& p) { return p.msg.hwnd == hwnd; });
    std::erase_if(q.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
    syncReadyLocked(q);
}

int receiveSentMessages(Queue& q) {
    int count = 0;
    for (;;) {
        std::shared_ptr<SentCall> call;
        {
            auto lock = lockState();
            if (q.sent.empty()) break;
            call = std::move(q.sent.front());
            q.sent.pop_front();
        }
        LRESULT result = callWindowProcedure(call->hwnd, call->message, call->wParam, call->lParam);
        auto lock = lockState();
        completeSentLocked(*call, result);
        ++count;
    }
    return count;
}

namespace {

// True when no timer of q may be taken by a look with filter and limit now, and the timer
// descriptor already shows the earliest one (so a look would leave it as it is).
bool nothingDueLocked(const Queue& q, const Filter& filter, const Limit& limit) {
    if (!timerFdCurrentLocked(q)) return false;
    if (q.timers.empty()) return true;
    const Clock::time_point now = Clock::now();
    return std::none_of(q.timers.begin(), q.timers.end(), [&](const Timer& t) {
        return t.due <= now && t.due <= limit.timersDueBy && filter.matches(t.hwnd, WM_TIMER);
    });
}

}  // namespace

bool peekInternal(Queue& q, MSG* msg, const Filter& filter, bool remove, const Limit& limit) {
    {
        // An empty queue whose timers are not due (what a blocking call's look at the queue,
        // and a DoEvents between two steps of work, nearly always find) is answered under one
        // lock: nothing to run, take, signal or re-arm.
        auto lock = lockState();
        if (q.sent.empty() && q.posted.empty() && !q.quitPending && !q.signalled &&
            nothingDueLocked(q, filter, limit))
            return false;
    }
    receiveSentMessages(q);
    auto lock = lockState();
    Take t = takeLocked(q, filter, remove, limit, Clock::now(), msg);
    syncReadyLocked(q);
    return t == Take::Message;
}

LRESULT callWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        auto lock = lockState();
        if (Window* w = findWindowLocked(hwnd)) proc = w->proc;
    }
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

}  // namespace vantel::user

using namespace vantel::user;

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) {
        const auto& q = currentQueue();
        if (!q) return FALSE;
        auto lock = lockState();
        return postLocked(*q, nullptr, msg, wParam, lParam) ? TRUE : FALSE;
    }
    auto lock = lockState();
    Window* w = findWindowLocked(hwnd);
    // Posting under the lock keeps a post from landing after DestroyWindow purged the queue.
    return w && postLocked(*w->owner, hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The calling thread gets a queue on demand; another thread must already have one.
    if (threadId == currentThreadId() && !currentQueue()) return FALSE;
    auto lock = lockState();
    auto& queues = state().queues;
    auto it = queues.find(threadId);
    if (it == queues.end()) return FALSE;
    return postLocked(*it->second, nullptr, msg, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
    const auto& q = currentQueue();
    if (!q) return;
    auto lock = lockState();
    q->quitPending = true;
    q->quitCode = exitCode;
    signalLocked(*q);
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    const auto& q = currentQueue();
    if (!msg || !q || !validFilterWindow(hwnd, *q)) return FALSE;
    Filter filter{hwnd, filterMin, filterMax};
    return peekInternal(*q, msg, filter, (removeMsg & PM_REMOVE) != 0, Limit{}) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    const auto& q = currentQueue();
    if (!msg || !q) return -1;
    Filter filter{hwnd, filterMin, filterMax};
    for (;;) {
        // A filter window destroyed while we wait would otherwise leave us waiting forever.
        if (!validFilterWindow(hwnd, *q)) return -1;
        receiveSentMessages(*q);
        int timeoutMs;
        {
            auto lock = lockState();
            auto now = Clock::now();
            if (takeLocked(*q, filter, true, Limit{}, now, msg) == Take::Message) {
                syncReadyLocked(*q);
                return msg->message == WM_QUIT ? 0 : 1;
            }
            if (!q->sent.empty()) continue;
            // Messages that do not match the filter stay queued; clear the signal so only
            // something new wakes us, and restore it when we return.
            drainLocked(*q);
            armTimerFdLocked(*q);
            timeoutMs = timerWaitMsLocked(*q, filter, now);
        }
        waitSignalled(*q, timeoutMs);
    }
}

BOOL WaitMessage() {
    const auto& q = currentQueue();
    if (!q) return FALSE;
    Filter any;
    for (;;) {
        // A message sent by another thread counts as activity: its handler may have changed
        // what the caller waits for.
        if (receiveSentMessages(*q) > 0) break;
        int timeoutMs;
        {
            auto lock = lockState();
            auto now = Clock::now();
            if (!q->posted.empty() || q->quitPending || anyTimerDueLocked(*q, now)) break;
            if (!q->sent.empty()) continue;
            drainLocked(*q);
            timeoutMs = timerWaitMsLocked(*q, any, now);
        }
        waitSignalled(*q, timeoutMs);
    }
    auto lock = lockState();
    syncReadyLocked(*q);
    return TRUE;
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    const auto& q = currentQueue();
    if (!q) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a procedure this thread registered for that timer is called: a posted WM_TIMER
        // with an arbitrary lParam must not become a call to an arbitrary address.
        TIMERPROC proc;
        {
            auto lock = lockState();
            proc = timerProcLocked(*q, msg->hwnd, msg->wParam);
        }
        if (proc && reinterpret_cast<LPARAM>(proc) == msg->lParam) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
            return 0;
        }
    }
    if (!msg->hwnd) return 0;
    WNDPROC proc = nullptr;
    {
        auto lock = lockState();
        Window* w = findWindowLocked(msg->hwnd);
        if (w && w->owner == q) proc = w->proc;
    }
    return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}
