#pragma once
// The blocking part that connect, send and receive share: mark the record blocked with its
// status, wait for the socket in PumpedSelect, then look the record up again and act on what
// Abort and Cancel asked meanwhile. Internal to the socket layer.
//
// This header is the Winsock view (winsock2.h).

#include "winsock/ocx/socket/call_deadline.h"
#include "winsock/ocx/socket/pumped_wait.h"
#include "winsock/ocx/socket/socket_table.h"

namespace kvlink {

// waitOnRecord waits until the record's socket is ready for what (timeoutSeconds 0: no limit),
// with record->status set to status meanwhile and back to idle afterwards. True when ready (for
// WaitFor::Connected, *failed tells whether the connect failed). False with the error in the
// error slot: wrErrorConnectionAborted (10053) when Abort asked, after closing the socket and
// removing its record; wrErrorOperationCanceled (10004) when Cancel asked;
// wrErrorOperationTimeout (10060) when nothing became ready in time; wrErrorInvalidHandle (10038)
// when the record went away meanwhile; or the wait's own failure (10036 for a nested wait, which
// leaves the record as it was).
//
// A probe (see PumpedSelect) may do the call's work where the wait's first select would run; one
// that answered has done it, and a Cancel asked after that no longer fails the call.
bool waitOnRecord(const SocketRef& record, WaitFor what, int timeoutSeconds, int32_t status,
                  bool* failed = nullptr, ReadyProbe* probe = nullptr);
// waitOnRecordMs is waitOnRecord with the limit in milliseconds: below 0 no limit, 0 a check
// that runs no messages.
bool waitOnRecordMs(const SocketRef& record, WaitFor what, int64_t timeoutMs, int32_t status,
                    bool* failed = nullptr, ReadyProbe* probe = nullptr);

// The same wait with what is left of a call's deadline.
bool waitOnRecord(const SocketRef& record, WaitFor what, const CallDeadline& deadline,
                  int32_t status, bool* failed = nullptr, ReadyProbe* probe = nullptr);

// undisturbed tells a probe whether it may act: the record is still in the table (an event
// handler run by the wait may have closed it, and its number may be another socket's now) and
// no Abort or Cancel is waiting for it.
bool undisturbed(const SocketRef& record);

// dropRecord ends a socket: status Disconnect, out of the table, the secure session ended (the
// peer told so, unless lingerSeconds is 0), the linger time set when lingerSeconds >= 0 (0
// resets the connection), the socket closed. False with the network library's error in the
// slot when the close itself failed.
bool dropRecord(const SocketRef& record, int lingerSeconds);

// abandonRecord drops a socket whose set-up failed part-way (dropRecord with no linger change),
// keeping the failure's error in the slot; always false, for `return abandonRecord(record);`.
bool abandonRecord(const SocketRef& record);

// networkFailure stores the calling thread's network error in the error slot and returns -1;
// networkFailed does the same and returns false.
int networkFailure();
bool networkFailed();

// failWith stores code in the error slot and returns -1; failedWith does the same for a bool
// result and returns false.
int failWith(uint32_t code);
bool failedWith(uint32_t code);

}  // namespace kvlink
