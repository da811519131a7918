// Waiting on one record: the blocked flag, the status, and the abort and cancel requests.

#include "winsock/ocx/socket/blocking_wait.h"

#include <utility>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/binding/wait_state.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {

int networkFailure() {
    SetSocketError(static_cast<uint32_t>(networkLibrary().getLastError()));
    return -1;
}

bool networkFailed() {
    networkFailure();
    return false;
}

int failWith(uint32_t code) {
    SetSocketError(code);
    return -1;
}

bool failedWith(uint32_t code) {
    SetSocketError(code);
    return false;
}

bool waitOnRecord(const SocketRef& record, WaitFor what, int timeoutSeconds, int32_t status,
                  bool* failed, ReadyProbe* probe) {
    // Whole seconds stay whole: the pumped wait runs messages once per second of its limit.
    return waitOnRecordMs(record, what, timeoutSeconds > 0 ? int64_t{timeoutSeconds} * 1000 : -1,
                          status, failed, probe);
}

bool waitOnRecord(const SocketRef& record, WaitFor what, const CallDeadline& deadline,
                  int32_t status, bool* failed, ReadyProbe* probe) {
    return waitOnRecordMs(record, what, deadline.leftMs(), status, failed, probe);
}

bool undisturbed(const SocketRef& record) {
    std::lock_guard lock(socketTableLock());
    return !record->abortRequested && !record->cancelRequested && listedLocked(record);
}

bool waitOnRecordMs(const SocketRef& record, WaitFor what, int64_t timeoutMs, int32_t status,
                    bool* failed, ReadyProbe* probe) {
    // A nested wait fails before it starts; it must not take the flags of the wait it is
    // nested in.
    if (waitState() & kWaitInProgress) return failedWith(wrErrorOperationInProgress);

    int32_t handle = record->handle;
    {
        std::lock_guard lock(socketTableLock());
        record->blocked = true;
        record->status = status;
    }
    int ready = waitForSocketMs(static_cast<SOCKET>(handle), what, timeoutMs, failed, probe);
    uint32_t waitError = ready < 0 ? SocketError() : 0;

    bool aborted, cancelled, listed;
    {
        std::lock_guard lock(socketTableLock());
        record->blocked = false;
        record->status = wrStatusIdle;
        aborted = std::exchange(record->abortRequested, false);
        cancelled = std::exchange(record->cancelRequested, false);
        listed = listedLocked(record);
    }
    // An event handler may have closed the socket while we waited.
    if (!listed) return failedWith(wrErrorInvalidHandle);
    if (aborted) {
        dropRecord(record, 0);
        return failedWith(wrErrorConnectionAborted);
    }
    // The probe's receive or send happened: a Cancel from another thread that came after it
    // is too late, and failing now would lose what the call already did.
    if (cancelled && !(probe && probe->answered)) return failedWith(wrErrorOperationCanceled);
    if (ready < 0) return failedWith(waitError);
    if (ready == 0) return failedWith(wrErrorOperationTimeout);
    return true;
}

bool abandonRecord(const SocketRef& record) {
    uint32_t error = SocketError();
    dropRecord(record, -1);
    SetSocketError(error);
    return false;
}

bool dropRecord(const SocketRef& record, int lingerSeconds) {
    NetworkLibrary& net = networkLibrary();
    SOCKET s = static_cast<SOCKET>(record->handle);
    record->status = wrStatusDisconnect;
    // Whoever takes the record out closes the socket, exactly once: its number may belong to
    // a new socket afterwards.
    if (!removeSocket(record)) return true;
    if (record->secure) {
        // A reset (linger 0, as Abort closes) ends the session as abruptly as the connection;
        // any other close tells the peer that the data ended here.
        if (lingerSeconds != 0) record->secure->shutdown(record->timeoutSeconds);
        record->secure.reset();
    }
    if (lingerSeconds >= 0 && record->stream()) {
        linger value{1, static_cast<u_short>(lingerSeconds)};
        net.setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value),
                       sizeof value);
    }
    bool closed = net.closesocket(s) != SOCKET_ERROR;
    uint32_t error = closed ? 0 : static_cast<uint32_t>(net.getLastError());
    // Nothing more is posted for the socket once it is closed; what is queued is stale.
    discardNetworkEvents(*record);
    if (!closed) return failedWith(error);
    return true;
}

}  // namespace kvlink
