// select with Winsock's sets, over poll(2).
//
// Winsock's select differs from the POSIX one in ways callers rely on: the sets are counted arrays
// of handles, the first argument is ignored, the sets come back holding only the ready sockets
// and the result counts them all; a non-blocking connect that failed shows in the exception set
// (not as writable), and so does out-of-band data. A socket that is neither connected nor
// listening is never ready, where Linux would call an unconnected stream socket writable.

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <memory_resource>
#include <vector>

#include "platform/ws2/api.h"
#include "platform/ws2/errors.h"
#include "platform/ws2/exports.h"
#include "platform/ws2/sys.h"

namespace ws2 {
namespace {

using Lock = std::lock_guard<std::mutex>;
using Clock = std::chrono::steady_clock;

enum Want : unsigned { kRead = 1, kWrite = 2, kExcept = 4 };

struct Watched {
    SOCKET handle;
    SocketRef entry;
    unsigned want = 0;
    unsigned ready = 0;
    bool quiet = false;  // nothing wanted can become true any more: left out of the poll
};

constexpr short kTrouble = POLLERR | POLLHUP;
constexpr long kLongestWaitSeconds = 1000000000;  // about 31 years

// The poll events that answer the wanted conditions of an entry in its present state; a negative
// descriptor leaves it out of the poll. A socket that is neither connected, connecting nor
// listening has nothing to wait for (Linux would report an unconnected stream socket at once).
pollfd pollItemFor(const Watched& w) {
    SocketState state = w.entry->state;
    if (w.quiet || state == SocketState::Fresh || state == SocketState::ConnectFailed) {
        return {-1, 0, 0};
    }
    short events = 0;
    if (w.want & kRead) events |= POLLIN | POLLRDHUP;
    if (w.want & kWrite) events |= POLLOUT;
    if (w.want & kExcept) events |= POLLPRI;
    if (state == SocketState::Connecting) events |= POLLOUT;
    return {w.entry->fd, events, 0};
}

// Which of the wanted conditions hold, given the poll result. Table lock held.
unsigned readiness(const Watched& w, short revents) {
    const SocketEntry& e = *w.entry;
    unsigned ready = 0;
    switch (e.state) {
        case SocketState::Fresh:
        case SocketState::Connecting:
            break;
        case SocketState::ConnectFailed:
            ready |= kExcept;
            break;
        case SocketState::Listening:
            if ((revents & POLLIN) || !e.deferred.empty()) ready |= kRead;
            break;
        case SocketState::Connected:
        case SocketState::Datagram:
            if (revents & (POLLIN | POLLRDHUP | kTrouble)) ready |= kRead;
            if (revents & POLLOUT) ready |= kWrite;
            if (revents & POLLPRI) ready |= kExcept;
            break;
    }
    return ready & w.want;
}

// Collects the sockets of one set; false (with the error set) for a bad handle or count.
bool collect(FD_SET* set, Want want, std::pmr::vector<Watched>* watched) {
    if (!set) return true;
    if (set->fd_count > FD_SETSIZE) {
        fail(WSAEINVAL);
        return false;
    }
    for (u_int i = 0; i < set->fd_count; ++i) {
        SOCKET handle = set->fd_array[i];
        bool known = false;
        for (Watched& w : *watched) {
            if (w.handle == handle) {
                w.want |= want;
                known = true;
                break;
            }
        }
        if (known) continue;
        SocketRef entry = findSocket(handle);
        if (!entry) {
            fail(WSAENOTSOCK);
            return false;
        }
        watched->push_back({handle, std::move(entry), static_cast<unsigned>(want), 0, false});
    }
    return true;
}

// Rewrites a set to hold its ready sockets, in their order, each once; returns how many. The
// ready ones are a subsequence of the set, so it is compacted where it stands.
int rewrite(FD_SET* set, Want want, const std::pmr::vector<Watched>& watched) {
    if (!set) return 0;
    u_int kept = 0;
    for (u_int i = 0; i < set->fd_count; ++i) {
        SOCKET handle = set->fd_array[i];
        bool ready = false;
        for (const Watched& w : watched) {
            if (w.handle == handle) {
                ready = (w.ready & want) != 0;
                break;
            }
        }
        bool seen = false;
        for (u_int j = 0; j < kept && !seen; ++j)
            seen = set->fd_array[j] == handle;
        if (ready && !seen) set->fd_array[kept++] = handle;
    }
    set->fd_count = kept;
    return static_cast<int>(kept);
}

// Milliseconds poll may still wait: -1 for ever, else what is left of the limit (at least 0).
int remainingMs(bool forever, Clock::time_point deadline) {
    if (forever) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace

void settleConnect(SOCKET s, SocketEntry& entry, short events) {
    if (entry.state != SocketState::Connecting) return;
    if (events & kTrouble) {
        int error = 0;
        sys::takeSocketError(entry.fd, &error);
        // A refused loopback connect can lose its error to an earlier reader; it still failed.
        if (error == 0) error = ECONNREFUSED;
        entry.state = SocketState::ConnectFailed;
        entry.connectError = error;
        entry.pendingError = error;
    } else if (events & POLLOUT) {
        entry.state = SocketState::Connected;
    } else {
        return;
    }
    // Without a WSAAsyncSelect registration the caller learns the outcome here, so no FD_CONNECT
    // is owed to a registration made later.
    if (!entry.async) entry.connectOwed = false;
    watchUpdate(s, entry);
}

}  // namespace ws2

using namespace ws2;

int wsSelect(int /*nfds: ignored, as on Windows*/, FD_SET* readfds, FD_SET* writefds,
             FD_SET* exceptfds, const timeval* timeout) {
    if (!requireStarted()) return SOCKET_ERROR;
    if (timeout && (timeout->tv_sec < 0 || timeout->tv_usec < 0)) return fail(WSAEINVAL);
    // Most waits are on one socket or a few: their lists live on the stack.
    alignas(std::max_align_t) char scratch[2048];
    std::pmr::monotonic_buffer_resource arena(scratch, sizeof scratch);
    std::pmr::vector<Watched> watched(&arena);
    {
        Lock lock(tableLock());
        if (!collect(readfds, kRead, &watched) || !collect(writefds, kWrite, &watched) ||
            !collect(exceptfds, kExcept, &watched)) {
            return SOCKET_ERROR;
        }
    }
    // Windows refuses a select with nothing to wait for.
    if (watched.empty()) return fail(WSAEINVAL);

    // A limit beyond any clock's reach (a caller's "very long") waits for ever too.
    bool forever = timeout == nullptr || timeout->tv_sec > kLongestWaitSeconds;
    bool zeroLimit = !forever && timeout->tv_sec == 0 && timeout->tv_usec == 0;
    Clock::time_point deadline;
    // The first pass only looks: a poll that may not wait registers no waits and reads no clock,
    // so a socket that is already ready (the usual case for a stream being read or written in
    // pieces) costs about half of a waiting poll. The limit counts from the end of that look.
    bool looked = false;
    std::pmr::vector<pollfd> polled(watched.size(), &arena);
    int total = 0;
    for (;;) {
        {
            Lock lock(tableLock());
            for (size_t i = 0; i < watched.size(); ++i)
                polled[i] = pollItemFor(watched[i]);
        }
        int r = poll(polled.data(), polled.size(), looked ? remainingMs(forever, deadline) : 0);
        if (r < 0 && errno != EINTR) return failFromErrno();
        if (r < 0) continue;
        {
            Lock lock(tableLock());
            total = 0;
            for (size_t i = 0; i < watched.size(); ++i) {
                Watched& w = watched[i];
                short revents = polled[i].revents;
                bool wasConnecting = w.entry->state == SocketState::Connecting;
                settleConnect(w.handle, *w.entry, revents);
                w.ready = readiness(w, revents);
                if (w.ready) ++total;
                // A hang-up or error is lasting; one that makes no wanted condition true would
                // wake every poll, so the socket sits out the rest of the wait.
                if (!w.ready && !wasConnecting && (revents & (kTrouble | POLLRDHUP | POLLNVAL))) {
                    w.quiet = true;
                }
            }
        }
        if (total > 0 || zeroLimit) break;
        if (!looked) {
            looked = true;
            if (!forever) {
                deadline = Clock::now() + std::chrono::seconds(timeout->tv_sec) +
                           std::chrono::microseconds(timeout->tv_usec);
            }
            continue;
        }
        // A connect that settled as no wanted condition sends the wait round again until the
        // time is up.
        if (remainingMs(forever, deadline) == 0) break;
    }
    return rewrite(readfds, kRead, watched) + rewrite(writefds, kWrite, watched) +
           rewrite(exceptfds, kExcept, watched);
}
