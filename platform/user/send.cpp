// SendMessage: a direct call on the owner thread, a hand-over and a wait across threads.

#include "platform/user/internal.h"

using namespace vantel::user;

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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

    for (;;) {
        // Answering what others send us while we wait is what keeps two threads that send to
        // each other from deadlocking.
        receiveSentMessages(*self);
        {
            auto lock = lockState();
            if (call->done) {
                syncReadyLocked(*self);
                return call->result;
            }
            if (!self->sent.empty()) continue;
            // Our posted messages wait for our own loop; sleep until the answer or a new
            // sent message arrives, and restore the signal when we return.
            drainLocked(*self);
        }
        waitSignalled(*self, -1);
    }
}
