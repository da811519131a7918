// PumpedSelect: one-second slices of the network library's select, with the thread's messages
// and the host's pump hook run between them.

#include "winsock/ocx/socket/pumped_wait.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/binding/wait_state.h"
#include "winsock/ocx/socket/socket_record.h"

namespace kvlink {
namespace {

// A queue holds at most this many messages; a slice that takes more is looking at messages
// posted by the handlers it runs, which wait for the next slice.
constexpr int kMostMessagesPerSlice = 10000;

// The three sets as they were given, to be restored before each slice (select keeps only the
// ready sockets in them).
// Only the counted handles are copied: a set is mostly one socket in room for 64.
struct SavedSets {
    SavedSets(FD_SET* r, FD_SET* w, FD_SET* e) : sets{r, w, e} {
        for (int i = 0; i < 3; ++i)
            if (sets[i]) copyHandles(*sets[i], &copies[i]);
    }
    void restore() {
        for (int i = 0; i < 3; ++i)
            if (sets[i]) copyHandles(copies[i], sets[i]);
    }
    static void copyHandles(const FD_SET& from, FD_SET* to) {
        // A count beyond the array is kept as it was given, for select to refuse.
        to->fd_count = from.fd_count;
        std::copy_n(from.fd_array, std::min<u_int>(from.fd_count, FD_SETSIZE), to->fd_array);
    }
    void clear() {
        for (FD_SET* set : sets)
            if (set) FD_ZERO(set);
    }
    FD_SET* sets[3];
    FD_SET copies[3];  // only the counted part of each is ever written or read
};

// Dispatches the messages waiting for this thread. Returns true when a quit message was among
// them: it is posted again for the thread's own loop, and the wait must end.
//
// A message for the thread itself (no window) belongs to the thread's loop: it is set aside and
// posted back once the queue is empty. Posting it back at once would put it ahead of a quit
// that is only delivered when nothing else is posted, and the quit would never be seen. (A
// thread timer's tick is dispatched: it calls its timer procedure, and another tick comes.)
bool runWaitingMessages() {
    std::vector<MSG> setAside;
    bool quit = false;
    MSG msg;
    for (int taken = 0; taken < kMostMessagesPerSlice; ++taken) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_QUIT) {
            quit = true;
            break;
        }
        if (!msg.hwnd && msg.message != WM_TIMER) {
            setAside.push_back(msg);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    for (const MSG& kept : setAside)
        PostThreadMessageA(GetCurrentThreadId(), kept.message, kept.wParam, kept.lParam);
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
    return quit;
}

int fail(uint32_t code) {
    SetSocketError(code);
    return SOCKET_ERROR;
}

// A wait that runs no messages: one select, traced, its error stored.
int plainSelect(FD_SET* r, FD_SET* w, FD_SET* e, const timeval* limit) {
    NetworkLibrary& net = networkLibrary();
    int result = net.select(0, r, w, e, limit);
    if (result == SOCKET_ERROR) SetSocketError(static_cast<uint32_t>(net.getLastError()));
    return result;
}

}  // namespace

int PumpedSelect(FD_SET* readSet, FD_SET* writeSet, FD_SET* exceptSet, const timeval* limit,
                 ReadyProbe* probe) {
    if (!waitSlotAllocated()) return fail(wrErrorNetworkNotInitialized);
    if (limit && limit->tv_sec == 0 && limit->tv_usec == 0)
        return plainSelect(readSet, writeSet, exceptSet, limit);
    uint32_t state = waitState();
    if (state & kWaitInProgress) return fail(wrErrorOperationInProgress);
    if (state & kWaitNoPump) return plainSelect(readSet, writeSet, exceptSet, limit);

    setWaitBits(kWaitInProgress);
    NetworkLibrary& net = networkLibrary();
    SavedSets saved(readSet, writeSet, exceptSet);
    int64_t slices = INT32_MAX;
    long remainder = 0;
    if (limit) {
        slices = static_cast<int64_t>(limit->tv_sec) + limit->tv_usec / 1000000;
        remainder = limit->tv_usec % 1000000;
    }

    int result = 0;
    int error = 0;
    while (slices > 0) {
        saved.restore();
        --slices;
        bool quit = runWaitingMessages();
        PumpHostEvents();
        if (waitState() & kWaitCancelRequested) {
            clearWaitBits(kWaitInProgress | kWaitCancelRequested);
            saved.clear();
            return fail(wrErrorOperationCanceled);
        }
        // A quit ends the wait: one last look at the sockets, without waiting.
        if (quit) {
            slices = 0;
            remainder = 0;
        }
        if (probe && !quit) {
            bool ready = probe->ready();
            probe->answered = ready;
            probe = nullptr;
            if (ready) {
                result = 1;
                break;
            }
        }
        timeval slice{quit ? 0 : 1, 0};
        result = net.selectUntraced(0, readSet, writeSet, exceptSet, &slice);
        if (result == SOCKET_ERROR) error = net.getLastError();
        if (result != 0) break;
    }
    clearWaitBits(kWaitInProgress | kWaitCancelRequested);
    if (result == 0 && remainder > 0) {
        saved.restore();
        timeval rest{0, remainder};
        result = net.selectUntraced(0, readSet, writeSet, exceptSet, &rest);
        if (result == SOCKET_ERROR) error = net.getLastError();
    }
    net.traceSelect(result, 0, readSet, writeSet, exceptSet, limit);
    if (result == SOCKET_ERROR) return fail(static_cast<uint32_t>(error));
    return result;
}

int waitForSocket(SOCKET s, WaitFor what, int timeoutSeconds, bool* failed) {
    return waitForSocketMs(s, what, timeoutSeconds > 0 ? int64_t{timeoutSeconds} * 1000 : -1,
                           failed);
}

int waitForSocketMs(SOCKET s, WaitFor what, int64_t timeoutMs, bool* failed, ReadyProbe* probe) {
    FD_SET ready, problems;
    FD_ZERO(&ready);
    FD_ZERO(&problems);
    FD_SET(s, &ready);
    FD_SET* exceptSet = nullptr;
    if (what == WaitFor::Connected) {
        FD_SET(s, &problems);
        exceptSet = &problems;
    }
    timeval limit{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    const timeval* wait = timeoutMs >= 0 ? &limit : nullptr;
    int result = what == WaitFor::Readable ? PumpedSelect(&ready, nullptr, exceptSet, wait, probe)
                                           : PumpedSelect(nullptr, &ready, exceptSet, wait, probe);
    if (failed) *failed = result > 0 && FD_ISSET(s, &problems);
    return result > 0 ? 1 : result;
}

int pollSocket(SOCKET s, WaitFor what) {
    FD_SET set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval now{0, 0};
    int result = what == WaitFor::Readable ? plainSelect(&set, nullptr, nullptr, &now)
                                           : plainSelect(nullptr, &set, nullptr, &now);
    return result > 0 ? 1 : result;
}

}  // namespace kvlink
