// Send and receive: the wait, then the network library's call, and the record's totals.

#include "winsock/ocx/socket/transfer.h"

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/watch.h"

namespace kvlink {
namespace {

bool badArguments(const void* buffer, int length, int flags) {
    return flags != 0 || length < 0 || (!buffer && length > 0);
}

// A blocking stream's receive or send, tried without waiting where the wait's first select would
// run (after the wait's messages). On a busy connection the data or the room is nearly always
// there already, and the select is saved. Nothing there: the wait goes on as always.
class TryFirst final : public ReadyProbe {
  public:
    TryFirst(const SocketRef& record, char* into, int length)
        : m_record(record), m_into(into), m_from(nullptr), m_length(length) {}
    TryFirst(const SocketRef& record, const char* from, int length)
        : m_record(record), m_into(nullptr), m_from(from), m_length(length) {}

    // Only for a stream with something to move, and never while calls are traced: the trace
    // shows the wait and the call as it always has.
    static bool worthwhile(const SocketRecord& record, int length) {
        return record.stream() && length > 0 && !networkLibrary().tracingTransfers();
    }

    bool ready() override {
        // A handler run by the wait's messages may have closed the socket or asked to cancel or
        // abort: the wait goes on and acts on that, and the data stays where it is.
        if (!undisturbed(m_record)) return false;
        NetworkLibrary& net = networkLibrary();
        SOCKET s = static_cast<SOCKET>(m_record->handle);
        m_result = m_into ? net.recv(s, m_into, m_length, MSG_WS2_NOWAIT)
                          : net.send(s, m_from, m_length, MSG_WS2_NOWAIT);
        if (m_result != SOCKET_ERROR) return true;
        m_error = net.getLastError();
        // A library that does not know the flag refuses it: wait as always.
        return m_error != WSAEWOULDBLOCK && m_error != WSAEOPNOTSUPP && m_error != WSAEINVAL;
    }

    // What the call's own receive or send would have returned, its error stored as that would.
    int result() const {
        if (m_result == SOCKET_ERROR) SetSocketError(static_cast<uint32_t>(m_error));
        return m_result;
    }

  private:
    const SocketRef& m_record;
    char* m_into;
    const char* m_from;
    int m_length;
    int m_result = SOCKET_ERROR;
    int m_error = 0;
};

}  // namespace

int socketReceive(int32_t handle, uint8_t* buffer, int length, int flags, uint32_t* fromAddress,
                  uint16_t* fromPort) {
    if (badArguments(buffer, length, flags) || !buffer) return failWith(wrErrorInvalidParameter);
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    // A listening socket has no stream: its readiness means a connection waits.
    if (record->listening) return failWith(wrErrorNotConnected);
    if (std::shared_ptr<SecureSession> session = record->secure) {
        int received = session->receive(buffer, length, record->timeoutSeconds);
        // The end of the secure session is the end of the stream.
        if (received == 0 && length > 0) record->closedByPeer = true;
        if (received > 0) repostBufferedRead(record);
        return received;
    }

    NetworkLibrary& net = networkLibrary();
    SOCKET s = static_cast<SOCKET>(handle);
    char* into = reinterpret_cast<char*>(buffer);
    for (;;) {
        TryFirst first(record, into, length);
        if (!record->eventDriven() &&
            !waitOnRecord(record, WaitFor::Readable, record->timeoutSeconds, wrStatusRead, nullptr,
                          TryFirst::worthwhile(*record, length) ? &first : nullptr))
            return -1;
        // Nothing asked for, nothing taken: a receive of 0 bytes would look like the peer's end.
        if (length == 0) return 0;
        int received;
        sockaddr_in from{};
        if (first.answered) {
            received = first.result();
            if (received == SOCKET_ERROR) return -1;
        } else if (record->stream()) {
            received = net.recv(s, into, length, 0);
        } else {
            int fromSize = sizeof from;
            received =
                net.recvfrom(s, into, length, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        }
        if (received == SOCKET_ERROR) {
            // Readiness that another reader used up: in blocking mode, wait again.
            if (net.getLastError() == WSAEWOULDBLOCK && !record->eventDriven()) continue;
            return networkFailure();
        }
        if (received == 0 && record->stream()) record->closedByPeer = true;
        record->bytesReceived += static_cast<uint64_t>(received);
        if (!record->stream()) {
            if (fromAddress) *fromAddress = from.sin_addr.s_addr;
            if (fromPort) *fromPort = net.ntohs(from.sin_port);
        }
        return received;
    }
}

int socketSend(int32_t handle, const uint8_t* data, int length, int flags, uint32_t* stoppedBy,
               uint32_t toAddress, uint16_t toPort) {
    if (stoppedBy) *stoppedBy = 0;
    if (badArguments(data, length, flags)) return failWith(wrErrorInvalidParameter);
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    if (record->listening) return failWith(wrErrorNotConnected);
    const CallDeadline deadline(record->timeoutSeconds);
    // What went before a failure is the result: sent again, it would reach the peer twice.
    auto stopped = [&](int sent) {
        if (sent == 0) return -1;
        if (stoppedBy) *stoppedBy = SocketError();
        return sent;
    };
    if (std::shared_ptr<SecureSession> session = record->secure) {
        int sent = 0;
        if (session->send(data, length, deadline, &sent) < 0) return stopped(sent);
        return sent;
    }

    NetworkLibrary& net = networkLibrary();
    SOCKET s = static_cast<SOCKET>(handle);
    const char* from = reinterpret_cast<const char*>(data);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = toAddress != 0 ? toAddress : record->remoteAddress;
    to.sin_port = net.htons(toPort != 0 ? toPort : record->remotePort);
    int sent = 0;
    do {
        TryFirst first(record, from + sent, length - sent);
        if (!record->eventDriven() &&
            !waitOnRecord(record, WaitFor::Writable, deadline, wrStatusWrite, nullptr,
                          TryFirst::worthwhile(*record, length - sent) ? &first : nullptr))
            return stopped(sent);
        int n;
        if (first.answered) {
            n = first.result();
            if (n == SOCKET_ERROR) return stopped(sent);
        } else {
            n = record->stream() ? net.send(s, from + sent, length - sent, 0)
                                 : net.sendto(s, from + sent, length - sent, 0,
                                              reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
        if (n == SOCKET_ERROR) {
            if (net.getLastError() == WSAEWOULDBLOCK && !record->eventDriven()) continue;
            networkFailure();
            return stopped(sent);
        }
        sent += n;
        record->bytesSent += static_cast<uint64_t>(n);
        // Event-driven mode sends once; the owner hears by event when there is room again.
        if (record->eventDriven()) return sent;
    } while (sent < length);
    return sent;
}

int socketReadable(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    if (record->secure && record->secure->hasBufferedInput()) return 1;
    return pollSocket(static_cast<SOCKET>(handle), WaitFor::Readable);
}

int socketWritable(int32_t handle) {
    SocketRef record = findSocket(handle);
    if (!record) return -1;
    return pollSocket(static_cast<SOCKET>(handle), WaitFor::Writable);
}

}  // namespace kvlink
