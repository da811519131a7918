#pragma once
// The socket layer's one way of waiting: PumpedSelect, a readiness wait over Winsock sets that
// keeps the calling thread's windows alive. It waits in one-second slices; before each slice it
// dispatches the thread's waiting messages and calls the host's pump hook, so a user interface
// stays responsive, and an event or timer handler run there can end the wait (Cancel, Abort).
//
//   FD_SET readable;
//   FD_ZERO(&readable);
//   FD_SET(s, &readable);
//   timeval limit{4, 0};
//   int ready = PumpedSelect(&readable, nullptr, nullptr, &limit);  // 0: timed out
//
// Only one such wait can run on a thread at a time: a handler that starts another blocking call
// inside it gets 10036. A quit message (WM_QUIT) seen while waiting is posted again, for the
// thread's own loop, and ends the wait as a time-out does; a message posted to the thread
// without a window is posted back too (after the slice's messages, so it never hides a quit),
// and nothing the thread's loop expects is lost.
//
// This header is the Winsock view (winsock2.h): keep it out of translation units that include
// the POSIX socket headers.

#include <cstdint>

#include "platform/ws2/winsock2.h"

namespace kvlink {

// A look that may stand in for the first select of a wait on one socket: it runs where that select
// would, after the first slice's messages and the host's pump, and says whether the socket was
// ready. A probe that answers true ends the wait as a select that found the socket would (and
// has usually done the call's work, a receive or a send that did not have to wait); false lets
// the wait go on as always. PumpedSelect marks a probe that ended the wait as answered.
class ReadyProbe {
  public:
    virtual bool ready() = 0;
    bool answered = false;

  protected:
    ~ReadyProbe() = default;
};

// PumpedSelect waits until a socket of the sets is ready or limit passes (nullptr: no limit).
// The sets come back holding the ready sockets. Returns their number, 0 when the limit passed
// (or a quit message ended the wait), or -1 with the error in the error slot:
// wrErrorNetworkNotInitialized (10093) before the network library was ever started,
// wrErrorOperationInProgress (10036) while another wait runs on this thread,
// wrErrorOperationCanceled (10004) when cancelWait() or a cancel asked it to end, or the network
// library's own error. A limit of exactly zero polls once, and a thread that switched pumping
// off (kWaitNoPump) waits plainly; neither runs messages.
// A probe, when given, is asked once in place of the first slice's select (a wait too short for
// a slice, or one that runs no messages, never asks it); the sets then come back as given.
int PumpedSelect(FD_SET* readSet, FD_SET* writeSet, FD_SET* exceptSet, const timeval* limit,
                 ReadyProbe* probe = nullptr);

// What waitForSocket waits for.
enum class WaitFor { Readable, Writable, Connected };

// waitForSocket waits for one socket with PumpedSelect: readable, writable, or the end of a
// connect (writable, or in the exception set when it failed). timeoutSeconds 0 means no limit.
// Returns 1 when ready, 0 on time-out, -1 on failure (as PumpedSelect). For Connected, *failed
// (when given) tells whether the socket came back in the exception set.
int waitForSocket(SOCKET s, WaitFor what, int timeoutSeconds, bool* failed = nullptr);

// waitForSocketMs is waitForSocket with the limit in milliseconds: below 0 no limit, 0 a poll
// that runs no messages.
int waitForSocketMs(SOCKET s, WaitFor what, int64_t timeoutMs, bool* failed = nullptr,
                    ReadyProbe* probe = nullptr);

// pollSocket checks once, without waiting or running messages: 1 ready, 0 not, -1 failure.
int pollSocket(SOCKET s, WaitFor what);

}  // namespace kvlink
