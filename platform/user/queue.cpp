// The per-thread message queue: creation on first use, its descriptors and their signalling,
// and its retirement when the thread ends.

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>

#include "platform/user/internal.h"

namespace vantel::user {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int UniqueFd::release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

State& state() {
    // Deliberately leaked: thread-local queues are retired during exit, after static objects
    // of this library could already have been destroyed.
    static State* s = new State;
    return *s;
}

std::unique_lock<std::mutex> lockState() {
    return std::unique_lock<std::mutex>(state().mutex);
}

DWORD currentThreadId() {
    thread_local DWORD id = static_cast<DWORD>(::gettid());
    return id;
}

namespace {

std::shared_ptr<Queue> makeQueue() {
    auto q = std::make_shared<Queue>();
    q->threadId = currentThreadId();
    q->eventFd.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    q->timerFd.reset(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    q->readyFd.reset(::epoll_create1(EPOLL_CLOEXEC));
    if (!q->eventFd.valid() || !q->timerFd.valid() || !q->readyFd.valid()) return nullptr;
    for (int fd : {q->eventFd.get(), q->timerFd.get()}) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        if (::epoll_ctl(q->readyFd.get(), EPOLL_CTL_ADD, fd, &ev) != 0) return nullptr;
    }
    return q;
}

// Ends a thread's queue: its windows go away without further messages (their thread is gone),
// and every SendMessage still waiting on it is answered with 0 so no sender hangs.
void retireQueue(const std::shared_ptr<Queue>& q) {
    std::vector<std::shared_ptr<Window>> windows;
    auto lock = lockState();
    q->dead = true;
    auto& s = state();
    auto it = s.queues.find(q->threadId);
    if (it != s.queues.end() && it->second == q) s.queues.erase(it);
    for (auto w = s.windows.begin(); w != s.windows.end();) {
        if (w->second->owner == q) {
            windows.push_back(std::move(w->second));
            w = s.windows.erase(w);
        } else {
            ++w;
        }
    }
    for (auto& w : s.windows) {
        for (auto& gone : windows) {
            if (w.second->parent == gone->handle) w.second->parent = nullptr;
        }
    }
    for (auto& call : q->sent)
        completeSentLocked(*call, 0);
    q->sent.clear();
    q->posted.clear();
    q->timers.clear();
    // The windows hold the queue; release them before the lock so the queue is freed last.
    lock.unlock();
    windows.clear();
}

// Set once the thread's queue is retired: code of other libraries that runs later in the
// thread's teardown gets no queue rather than touching a destroyed holder.
thread_local bool t_retired = false;

struct QueueHolder {
    std::shared_ptr<Queue> queue;
    ~QueueHolder() {
        t_retired = true;
        if (queue) retireQueue(queue);
    }
};

thread_local QueueHolder t_holder;

}  // namespace

const std::shared_ptr<Queue>& currentQueue() {
    static const auto* none = new std::shared_ptr<Queue>();  // leaked: usable during exit
    if (t_retired) return *none;
    if (!t_holder.queue) {
        auto q = makeQueue();
        if (q) {
            auto lock = lockState();
            state().queues[q->threadId] = q;
            t_holder.queue = std::move(q);
        }
    }
    return t_holder.queue;
}

bool Filter::matches(HWND target, UINT message) const {
    bool windowOk = !hwnd || (hwnd == reinterpret_cast<HWND>(-1) ? !target : target == hwnd);
    bool rangeOk = (min == 0 && max == 0) || (message >= min && message <= max);
    return windowOk && rangeOk;
}

void signalLocked(Queue& queue) {
    if (queue.signalled || queue.dead) return;
    uint64_t one = 1;
    // An eventfd write of 1 cannot fail short of counter overflow, which needs 2^64 writes.
    [[maybe_unused]] ssize_t n = ::write(queue.eventFd.get(), &one, sizeof one);
    queue.signalled = true;
}

void drainLocked(Queue& queue) {
    if (!queue.signalled) return;
    uint64_t count;
    [[maybe_unused]] ssize_t n = ::read(queue.eventFd.get(), &count, sizeof count);
    queue.signalled = false;
}

// Makes the descriptors tell the truth: the event descriptor is signalled exactly while
// something waits, and the timer descriptor is armed for the earliest timer.
void syncReadyLocked(Queue& queue) {
    if (!queue.posted.empty() || !queue.sent.empty() || queue.quitPending) {
        signalLocked(queue);
    } else {
        drainLocked(queue);
    }
    armTimerFdLocked(queue);
}

void completeSentLocked(SentCall& call, LRESULT result) {
    call.result = result;
    call.done = true;
    // The sender may have drained its descriptor before it went to sleep; wake it.
    if (call.sender) signalLocked(*call.sender);
}

void waitSignalled(const Queue& queue, int timeoutMs) {
    pollfd pfd{queue.eventFd.get(), POLLIN, 0};
    // A signal interrupting the wait only makes the caller look at its queue once more.
    ::poll(&pfd, 1, timeoutMs);
}

}  // namespace vantel::user

using namespace vantel::user;

int GetQueueReadyFd() {
    const auto& q = currentQueue();
    return q ? q->readyFd.get() : -1;
}

DWORD GetCurrentThreadId() {
    return currentThreadId();
}
DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}

DWORD GetTickCount() {
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<DWORD>(ms.count());
}
