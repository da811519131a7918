#pragma once
// What the event-driven benchmarks share: a host's message loop with a deadline.

#include <poll.h>

#include <functional>

#include "platform/user/user.h"

// messageLoop runs the thread's messages, sleeping on the queue's descriptor between them, until
// done() holds or ms pass; it returns done().
inline bool messageLoop(const std::function<bool()>& done, int ms) {
    DWORD start = GetTickCount();
    while (!done()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        int left = ms - static_cast<int>(GetTickCount() - start);
        if (done() || left <= 0) break;
        pollfd ready{GetQueueReadyFd(), POLLIN, 0};
        poll(&ready, 1, left);
    }
    return done();
}
