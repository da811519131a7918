// The secure channel over a record of the socket table: the transport made of the layer's own
// calls and waits, the session the record sends and receives through, and the provider.

#include "winsock/ocx/secure/socket_session.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/secure/credentials.h"
#include "winsock/ocx/secure/secure_channel.h"
#include "winsock/ocx/socket/blocking_wait.h"
#include "winsock/ocx/socket/connect.h"
#include "winsock/ocx/socket/listen.h"
#include "winsock/ocx/socket/watch.h"

namespace kvsecure {
namespace {

using kvlink::SocketRecord;
using kvlink::SocketRef;
using kvlink::WaitFor;

// The bytes under TLS: the record's socket through the network library, counted in the
// record's totals, waiting in the layer's pumped wait.
class RecordTransport final : public SecureTransport {
  public:
    explicit RecordTransport(SocketRecord& record) : m_record(record) {}

    // While the handshake runs, its waits show as a connect.
    void setHandshaking(bool on) { m_handshaking = on; }
    // While a send runs, its waits share the call's one deadline (nullptr: each wait its own
    // time-out).
    void setDeadline(const kvlink::CallDeadline* deadline) { m_deadline = deadline; }

    int send(const uint8_t* data, int length) override {
        kvlink::NetworkLibrary& net = kvlink::networkLibrary();
        int sent = net.send(socket(), reinterpret_cast<const char*>(data), length, 0);
        if (sent == SOCKET_ERROR) {
            if (net.getLastError() == WSAEWOULDBLOCK) return 0;
            return kvlink::networkFailure();
        }
        m_record.bytesSent += static_cast<uint64_t>(sent);
        return sent;
    }

    int recv(uint8_t* buffer, int length) override {
        kvlink::NetworkLibrary& net = kvlink::networkLibrary();
        for (;;) {
            int received = net.recv(socket(), reinterpret_cast<char*>(buffer), length, 0);
            if (received != SOCKET_ERROR) {
                m_record.bytesReceived += static_cast<uint64_t>(received);
                return received;
            }
            if (net.getLastError() != WSAEWOULDBLOCK) return kvlink::networkFailure();
            // Readiness that turned out empty: wait again, as the plain receive does.
            int ready = wait(WaitFor::Readable, m_lastReadWait);
            if (ready == 0) return kvlink::failWith(wrErrorOperationTimeout);
            if (ready < 0) return -1;
        }
    }

    int waitReadable(int timeoutSeconds) override {
        m_lastReadWait = timeoutSeconds;
        return wait(WaitFor::Readable, timeoutSeconds);
    }

    int waitWritable(int timeoutSeconds) override {
        return wait(WaitFor::Writable, timeoutSeconds);
    }

    void trace(const std::string& line) override {
        kvlink::networkLibrary().traceWrite(kvtrace::kTraceInfo, "%s", line.c_str());
    }

  private:
    SOCKET socket() const { return static_cast<SOCKET>(m_record.handle); }

    int wait(WaitFor what, int timeoutSeconds) {
        SocketRef record = kvlink::findSocket(m_record.handle);
        if (record.get() != &m_record) {
            // The record has left the table: the socket is being closed and the session ends
            // with what can go out at once. There is nobody left to wait for.
            return kvlink::pollSocket(socket(), what);
        }
        int32_t status = m_handshaking               ? wrStatusConnect
                         : what == WaitFor::Readable ? wrStatusRead
                                                     : wrStatusWrite;
        bool ready = m_deadline ? kvlink::waitOnRecord(record, what, *m_deadline, status)
                                : kvlink::waitOnRecord(record, what, timeoutSeconds, status);
        if (ready) return 1;
        // The channel words a time-out itself; every other failure is in the slot already.
        return SocketErrorCode(SocketError()) == wrErrorOperationTimeout ? 0 : -1;
    }

    SocketRecord& m_record;  // owns the session, so it outlives the transport
    bool m_handshaking = false;
    int m_lastReadWait = 0;
    const kvlink::CallDeadline* m_deadline = nullptr;
};

// What a secure record sends and receives through.
class RecordSession final : public kvlink::SecureSession {
  public:
    RecordSession(SocketRecord& record, std::shared_ptr<const SecureCredentials> credentials)
        : m_transport(record), m_channel(std::move(credentials), m_transport) {}

    int handshake(const std::string& target, int timeoutSeconds) {
        m_transport.setHandshaking(true);
        int result = m_channel.connect(target, timeoutSeconds);
        m_transport.setHandshaking(false);
        return result;
    }

    int acceptHandshake(int timeoutSeconds) {
        m_transport.setHandshaking(true);
        int result = m_channel.accept(timeoutSeconds);
        m_transport.setHandshaking(false);
        return result;
    }

    // A blocking write takes all of its data, as on a plain socket: batch after batch of records
    // until everything went out, a record fails or the call's one time-out passes. *sent holds
    // the data of the batches that went out whole.
    int send(const uint8_t* data, int length, const kvlink::CallDeadline& deadline,
             int* sent) override {
        m_transport.setDeadline(&deadline);
        int done = 0;
        int result = 0;
        do {
            // The time-out given is the record's; the deadline set above cuts every wait.
            int taken = m_channel.send(data + done, length - done, 0);
            if (taken < 0) {
                result = -1;
                break;
            }
            done += taken;
        } while (done < length);
        m_transport.setDeadline(nullptr);
        *sent = done;
        return result < 0 ? -1 : done;
    }

    int receive(uint8_t* buffer, int length, int timeoutSeconds) override {
        return m_channel.receive(buffer, length, timeoutSeconds);
    }

    bool hasBufferedInput() const override { return m_channel.hasBufferedInput(); }

    void shutdown(int timeoutSeconds) override {
        uint32_t error = SocketError();
        m_channel.shutdown(timeoutSeconds);
        SetSocketError(error);
    }

    // Ends the session both ways on a socket that goes on: the failure is the caller's to hear.
    int end(int timeoutSeconds) { return m_channel.close(timeoutSeconds); }
    std::string takeLeftover() { return m_channel.takeLeftover(); }

    const SecureConnectionInfo& info() const { return m_channel.info(); }

  private:
    RecordTransport m_transport;
    SecureChannel m_channel;
};

// Acquires credentials and runs the handshake on record; the session goes into the record when
// the channel is up.
int secureRecord(SocketRecord& record, int protocol, const std::string& store,
                 const std::string& name, const std::string& target) {
    std::shared_ptr<SecureCredentials> credentials;
    SecureStatus acquired = acquireClientCredentials(protocol, store, name, credentials);
    if (!acquired.ok()) return acquired.code;
    auto session = std::make_shared<RecordSession>(record, credentials);
    int result = session->handshake(target, record.timeoutSeconds);
    if (result != 0 && result != wrErrorSecurityCertificate) return result;
    record.secure = session;
    return result;
}

uint32_t providerLoad() {
    return static_cast<uint32_t>(loadSecurity());
}

uint32_t providerHandshake(SocketRecord& record, const kvlink::ConnectRequest& request) {
    return static_cast<uint32_t>(secureRecord(record, request.secureProtocol,
                                              request.certificateStore, request.certificateName,
                                              request.host));
}

// The server side of an accepted connection: its credentials, then the handshake in accept
// state; the session goes into the record when the channel is up.
uint32_t providerAccept(SocketRecord& record, const kvlink::AcceptRequest& request) {
    std::shared_ptr<SecureCredentials> credentials;
    SecureStatus acquired = acquireServerCredentials(
        request.secureProtocol, request.certificateStore, request.certificateName, credentials);
    if (!acquired.ok()) return static_cast<uint32_t>(acquired.code);
    auto session = std::make_shared<RecordSession>(record, credentials);
    int result = session->acceptHandshake(record.timeoutSeconds);
    if (result != 0) return static_cast<uint32_t>(result);
    record.secure = session;
    return 0;
}

int failWithCode(uint32_t code) {
    SetSocketError(code);
    return static_cast<int>(code);
}

}  // namespace

const kvlink::SecureProvider& socketSecureProvider() {
    static const kvlink::SecureProvider provider{providerLoad, providerHandshake, providerAccept};
    return provider;
}

int startSecureSession(int32_t handle, int protocol, const std::string& store,
                       const std::string& name) {
    SocketRef record = kvlink::findSocket(handle);
    if (!record) return static_cast<int>(SocketErrorCode(SocketError()));
    if (!record->stream() || !record->connected) return failWithCode(wrErrorNotConnected);
    if (record->secure) return failWithCode(wrErrorSecurityContext);
    if (int error = loadSecurity()) return error;
    // An event-driven socket hears nothing of the handshake's own traffic: its notifications
    // are held while it runs, and data that came with it is announced afterwards.
    bool wasHeld = record->held;
    record->held = true;
    int result;
    if (record->accepted) {
        kvlink::AcceptRequest request;
        request.secureProtocol = protocol;
        request.certificateStore = store;
        request.certificateName = name;
        result = static_cast<int>(providerAccept(*record, request));
        if (result != 0) SetSocketError(static_cast<uint32_t>(result));
    } else {
        result = secureRecord(*record, protocol, store, name, record->hostName);
    }
    record->held = wasHeld;
    if (record->secure) kvlink::repostBufferedRead(record);
    return result;
}

int endSecureSession(int32_t handle) {
    SocketRef record = kvlink::findSocket(handle);
    if (!record) return static_cast<int>(SocketErrorCode(SocketError()));
    auto session = std::dynamic_pointer_cast<RecordSession>(record->secure);
    if (!session) return 0;
    // The session stays in the record while the peer's notice is awaited, so its records are
    // read as records; plain bytes that followed the notice go to the read-ahead.
    int error = session->end(record->timeoutSeconds);
    record->secure.reset();
    std::string plain = session->takeLeftover();
    if (!plain.empty()) {
        if (!record->streamBuffer) record->streamBuffer = std::make_unique<kvlink::StreamBuffer>();
        kvlink::StreamBuffer& buffer = *record->streamBuffer;
        size_t n =
            std::min(plain.size(), kvlink::kStreamBufferSize - buffer.position - buffer.unread);
        std::memcpy(buffer.data + buffer.position + buffer.unread, plain.data(), n);
        buffer.unread += n;
    }
    return error;
}

bool readSecureSession(int32_t handle, SecureConnectionInfo* info) {
    SocketRef record = kvlink::findSocket(handle);
    if (!record) return false;
    auto* session = dynamic_cast<const RecordSession*>(record->secure.get());
    *info = session ? session->info() : SecureConnectionInfo{};
    return true;
}

}  // namespace kvsecure
