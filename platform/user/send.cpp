// SendMessage: a direct call on the owner thread, a hand-over and a wait across threads.

#include <poll.h>

#include <functional>

#include "platform/user/internal.h"

namespace vantel::user {

namespace {

// Waits until `done` holds (checked with the state lock held) or `fd` (when not -1) polls
// readable. Answering what others send us while we wait is what keeps two threads that send
// to each other from deadlocking.
void waitAnswering(Queue& self, const std::function<bool()>& done, int fd) {
    for (;;) {
        receiveSentMessages(self);
        {
            auto lock = lockState();
            if (done()) {
                syncReadyLocked(self);
                return;
            }
            if (!self.sent.empty()) continue;
            // Our posted messages wait for our own loop; sleep until the answer or a new sent
            // message arrives, and restore the signal when we return.
            drainLocked(self);
        }
        pollfd pfds[2] = {{self.eventFd.get(), POLLIN, 0}, {fd, POLLIN, 0}};
        ::poll(pfds, fd >= 0 ? 2 : 1, -1);
        if (fd >= 0 && pfds[1].revents != 0) {
            auto lock = lockState();
            syncReadyLocked(self);
            return;
        }
    }
}

}  // namespace

bool waitReadableAnswering(int fd) {
    const auto& self = currentQueue();
    if (!self) {
        pollfd pfd{fd, POLLIN, 0};
        return ::poll(&pfd, 1, -1) == 1;
    }
    waitAnswering(
        *self, [] { return false; }, fd);
    return true;
}

}  // namespace vantel::user

using namespace vantel::user;

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (isRemoteHandle(hwnd)) return sendRemoteMessage(hwnd, msg, wParam, lParam);
    const auto& self = currentQueue();
    if (!self) return 0;
    std::shared_ptr<SentCall> call;
    WNDPROC direct = nullptr;
    {
        auto lock = lockState();
        Window* w = findWindowLocked(hwnd);
        if (!w) return 0;
        if (w->owner == self) {
            direct = w->proc;
        } else {
            if (w->owner->dead) return 0;
            call = std::make_shared<SentCall>();
            *call = SentCall{hwnd, msg, wParam, lParam, 0, false, self};
            w->owner->sent.push_back(call);
            signalLocked(*w->owner);
        }
    }
    if (!call) return direct ? direct(hwnd, msg, wParam, lParam) : 0;
    waitAnswering(
        *self, [&call] { return call->done; }, -1);
    return call->result;
}
