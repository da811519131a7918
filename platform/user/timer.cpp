// Timers. A timer is not a queued message: a take synthesises WM_TIMER from a timer that has
// fallen due, so at most one WM_TIMER per timer is ever waiting, and taking it schedules the
// next one.

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>

#include "platform/user/internal.h"

namespace vantel::user {

namespace {

// The interval limits of the Windows timer: shorter intervals are raised to 10 ms.
constexpr UINT kMinIntervalMs = 10;
constexpr UINT kMaxIntervalMs = 0x7FFFFFFF;

Timer* findTimerLocked(Queue& q, HWND hwnd, UINT_PTR id) {
    for (auto& t : q.timers) {
        if (t.hwnd == hwnd && t.id == id) return &t;
    }
    return nullptr;
}

timespec toTimespec(Clock::time_point at) {
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    // A zero value would disarm the timer; a time in the past fires at once, which is meant.
    if (ns <= 0) ns = 1;
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

bool takeTimerLocked(Queue& q, const Filter& filter, Clock::time_point now, Clock::time_point dueBy,
                     bool remove, MSG* msg) {
    Timer* best = nullptr;
    for (auto& t : q.timers) {
        if (t.due > now || t.due > dueBy || !filter.matches(t.hwnd, WM_TIMER)) continue;
        if (!best || t.due < best->due) best = &t;
    }
    if (!best) return false;
    *msg =
        MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), GetTickCount()};
    if (remove) {
        // Keep the period, but after a stall start afresh rather than firing a burst.
        best->due += best->interval;
        if (best->due <= now) best->due = now + best->interval;
        armTimerFdLocked(q);
    }
    return true;
}

int timerWaitMsLocked(const Queue& q, const Filter& filter, Clock::time_point now) {
    auto earliest = Clock::time_point::max();
    for (const auto& t : q.timers) {
        if (filter.matches(t.hwnd, WM_TIMER)) earliest = std::min(earliest, t.due);
    }
    if (earliest == Clock::time_point::max()) return -1;
    if (earliest <= now) return 0;
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(earliest - now).count();
    return static_cast<int>(std::min<decltype(wait)>(wait, kMaxIntervalMs));
}

bool anyTimerDueLocked(const Queue& q, Clock::time_point now) {
    return std::any_of(q.timers.begin(), q.timers.end(),
                       [now](const Timer& t) { return t.due <= now; });
}

namespace {

Clock::time_point earliestDueLocked(const Queue& q) {
    auto earliest = Clock::time_point::max();
    for (const auto& t : q.timers)
        earliest = std::min(earliest, t.due);
    return earliest;
}

}  // namespace

bool timerFdCurrentLocked(const Queue& q) {
    const Clock::time_point earliest = earliestDueLocked(q);
    const bool want = earliest != Clock::time_point::max();
    return want == q.timerArmed && (!want || earliest == q.timerArmedFor);
}

void armTimerFdLocked(Queue& q) {
    // Unchanged means the descriptor already shows the right state: pending for a future time,
    // readable for a time that has passed and whose timer nobody has taken yet.
    if (q.dead || timerFdCurrentLocked(q)) return;
    const Clock::time_point earliest = earliestDueLocked(q);
    const bool want = earliest != Clock::time_point::max();
    uint64_t expirations;
    [[maybe_unused]] ssize_t n = ::read(q.timerFd.get(), &expirations, sizeof expirations);
    itimerspec due{};
    if (want) due.it_value = toTimespec(earliest);
    ::timerfd_settime(q.timerFd.get(), TFD_TIMER_ABSTIME, &due, nullptr);
    q.timerArmed = want;
    q.timerArmedFor = earliest;
}

TIMERPROC timerProcLocked(const Queue& q, HWND hwnd, UINT_PTR id) {
    for (const auto& t : q.timers) {
        if (t.hwnd == hwnd && t.id == id) return t.proc;
    }
    return nullptr;
}

}  // namespace vantel::user

using namespace vantel::user;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    const auto& q = currentQueue();
    if (!q) return 0;
    auto lock = lockState();
    if (hwnd) {
        Window* w = findWindowLocked(hwnd);
        if (!w || w->owner != q) return 0;
    }
    Timer* t = findTimerLocked(*q, hwnd, id);
    if (!t && !hwnd) {
        // A thread timer gets an id of our choosing unless the caller names one it has.
        do {
            id = q->nextThreadTimerId++;
        } while (id == 0 || findTimerLocked(*q, nullptr, id));
    }
    if (!t) {
        q->timers.push_back(Timer{hwnd, id, {}, nullptr, {}});
        t = &q->timers.back();
    }
    auto ms = std::clamp(elapseMs, kMinIntervalMs, kMaxIntervalMs);
    t->interval = std::chrono::milliseconds(ms);
    t->proc = proc;
    t->due = Clock::now() + t->interval;
    armTimerFdLocked(*q);
    return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    const auto& q = currentQueue();
    if (!q) return FALSE;
    auto lock = lockState();
    auto before = q->timers.size();
    std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (q->timers.size() == before) return FALSE;
    armTimerFdLocked(*q);
    return TRUE;
}
