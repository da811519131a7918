// Close, cancel and abort.

#include "winsock/ocx/socket/close.h"

#include "winsock/ocx/binding/wait_state.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/base/error_slot.h"

namespace kvlink {
namespace {

// Asks the calling thread's wait to end when it is the wait on record: a wait blocks its own
// thread, so a record waited on from this thread is the one this thread's wait is for. (Another
// thread's wait on a shareable record sees the flag when its wait ends.)
void endThreadWait(const SocketRecord& record) {
    if (record.owner == GetCurrentThreadId() && (waitState() & kWaitInProgress))
        setWaitBits(kWaitCancelRequested);
}

}  // namespace

bool closeSocket(int32_t handle, int32_t lingerSeconds) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    bool blocked;
    {
        std::lock_guard lock(socketTableLock());
        blocked = record->blocked;
    }
    if (blocked || (waitState() & kWaitInProgress)) return failedWith(wrErrorOperationInProgress);
    int linger = (lingerSeconds > 0 && !record->eventDriven()) ? lingerSeconds : -1;
    return dropRecord(record, linger);
}

bool cancelSocket(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    std::lock_guard lock(socketTableLock());
    // A flag left on a socket that is not waiting would fail its next call, long after the
    // Cancel it belonged to.
    if (!record->blocked) return true;
    record->cancelRequested = true;
    endThreadWait(*record);
    return true;
}

bool cancelWait() {
    if (!(waitState() & kWaitInProgress)) return failedWith(wrErrorOperationNotBlocking);
    setWaitBits(kWaitCancelRequested);
    return true;
}

bool abortSocket(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    {
        std::lock_guard lock(socketTableLock());
        if (record->blocked) {
            record->abortRequested = true;
            endThreadWait(*record);
            return true;
        }
    }
    // The reset is the point of an abort; a failing close leaves nothing to report.
    dropRecord(record, 0);
    return true;
}

}  // namespace kvlink
