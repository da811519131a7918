#include "winsock/ocx/secure/secure_channel.h"

#include <openssl/x509v3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/secure/openssl_util.h"
#include "winsock/ocx/secure/session_details.h"

namespace kvsecure {
namespace {

// Received bytes not yet decrypted: room for several full records, so one receive can take
// whatever the socket holds.
constexpr int kInputBuffer = 0x20000;
// Encrypted bytes not yet sent: a whole batch of records with their overhead fits.
constexpr int kOutputBuffer = 0x20000;
// The largest amount of data one TLS record carries.
constexpr int kMaxRecordData = 16384;
// Records encrypted by one send before they go out together: one wait and one socket send for
// the batch instead of one of each per record.
constexpr int kRecordsPerSend = 4;
constexpr int kDefaultHandshakeSeconds = 60;

using Clock = std::chrono::steady_clock;

// Whole seconds left until deadline, rounded up; 0 once it has passed.
int secondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::seconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool isAddress(const std::string& name) {
    ASN1_OCTET_STRING* address = a2i_IPADDRESS(name.c_str());
    ASN1_OCTET_STRING_free(address);
    clearOpenSslErrors();
    return address != nullptr;
}

std::string traceLine(const char* format, long count) {
    char line[64];
    std::snprintf(line, sizeof line, format, count);
    return line;
}

}  // namespace

SecureChannel::SecureChannel(std::shared_ptr<const SecureCredentials> credentials,
                             SecureTransport& transport)
    : m_credentials(std::move(credentials)), m_transport(transport) {}

SecureChannel::~SecureChannel() {
    SSL_free(m_ssl);  // also frees OpenSSL's end of the pair
    BIO_free(m_network);
}

int SecureChannel::fail(int code, const std::string& why) {
    m_failure = why;
    SetSocketError(static_cast<uint32_t>(code));
    return code;
}

int SecureChannel::failFromOpenSsl(int code, const std::string& activity) {
    SecureStatus status = takeOpenSslError(code, activity);
    return fail(status.code, status.message);
}

int SecureChannel::failFromSlot(const std::string& activity) {
    // The transport has stored its error already; it is only read back here.
    int code = static_cast<int>(SocketErrorCode(SocketError()));
    if (code == 0) return fail(wrErrorSecurityContext, activity + ": the connection failed");
    m_failure = activity + ": error " + std::to_string(code);
    return code;
}

int SecureChannel::onVerify(int ok, x509_store_ctx_st* store) {
    if (!ok) {
        auto* ssl = static_cast<SSL*>(
            X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        auto* self = static_cast<SecureChannel*>(SSL_get_app_data(ssl));
        int error = X509_STORE_CTX_get_error(store);
        int status = certificateStatusFor(error);
        if (certificateSeverity(status) > certificateSeverity(self->m_worstCertificate)) {
            self->m_worstCertificate = status;
            self->m_worstResult = error;
        }
    }
    // The handshake always goes on: a certificate that fails the check is reported, not fatal.
    return 1;
}

int SecureChannel::connect(const std::string& targetName, int timeoutSeconds) {
    if (m_state != State::Idle)
        return fail(wrErrorSecurityContext, "the channel has had its handshake");
    if (targetName.empty()) return fail(wrErrorInvalidHostName, "no target name to check");
    if (!m_credentials || m_credentials->role() != SecureRole::Client) {
        return fail(wrErrorSecurityCredentials, "no client credentials");
    }
    if (int error = start()) return error;
    SSL_set_verify(m_ssl, SSL_VERIFY_PEER, &SecureChannel::onVerify);
    bool named;
    if (isAddress(targetName)) {
        // An address is checked against the certificate's address entries and, by the rules of
        // server name indication, never sent as a name.
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), targetName.c_str()) == 1;
    } else {
        SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = SSL_set_tlsext_host_name(m_ssl, targetName.c_str()) == 1 &&
                SSL_set1_host(m_ssl, targetName.c_str()) == 1;
    }
    if (!named) return failFromOpenSsl(wrErrorInvalidHostName, "unusable target name");
    SSL_set_connect_state(m_ssl);

    int error = handshake(timeoutSeconds > 0 ? timeoutSeconds : kDefaultHandshakeSeconds);
    if (error != 0) return error;
    m_state = State::Established;
    checkCertificate();
    if (m_info.certificateStatus != wrCertificateValid) {
        return fail(wrErrorSecurityCertificate,
                    std::string("certificate: ") + X509_verify_cert_error_string(m_worstResult));
    }
    m_failure.clear();
    return 0;
}

// The session and its buffer pair; the state stays Failed until a handshake succeeds.
int SecureChannel::start() {
    m_state = State::Failed;
    clearOpenSslErrors();
    m_ssl = SSL_new(m_credentials->context());
    if (!m_ssl) return failFromOpenSsl(wrErrorSecurityContext, "cannot start a TLS session");
    BIO* inner = nullptr;
    if (BIO_new_bio_pair(&inner, kOutputBuffer, &m_network, kInputBuffer) != 1) {
        return failFromOpenSsl(wrErrorOutOfMemory, "cannot make the session's buffers");
    }
    SSL_set_bio(m_ssl, inner, inner);
    SSL_set_app_data(m_ssl, this);
    return 0;
}

int SecureChannel::accept(int timeoutSeconds) {
    if (m_state != State::Idle)
        return fail(wrErrorSecurityContext, "the channel has had its handshake");
    if (!m_credentials || m_credentials->role() != SecureRole::Server)
        return fail(wrErrorSecurityCredentials, "no server credentials");
    if (int error = start()) return error;
    SSL_set_accept_state(m_ssl);
    int error = handshake(timeoutSeconds > 0 ? timeoutSeconds : kDefaultHandshakeSeconds);
    if (error != 0) return error;
    m_state = State::Established;
    // No client certificate is asked for: there is no peer certificate to check.
    m_info = describeSession(m_ssl);
    m_info.certificateStatus = wrCertificateNone;
    m_failure.clear();
    return 0;
}

int SecureChannel::handshake(int timeoutSeconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        clearOpenSslErrors();
        int result = SSL_do_handshake(m_ssl);
        int status = result == 1 ? SSL_ERROR_NONE : SSL_get_error(m_ssl, result);
        if (status != SSL_ERROR_NONE && status != SSL_ERROR_WANT_READ &&
            status != SSL_ERROR_WANT_WRITE) {
            SecureStatus why = takeOpenSslError(wrErrorSecurityContext, "TLS handshake");
            // The alert OpenSSL wrote tells the peer why; sending it is only a courtesy.
            flushOutput(1, true);
            return fail(why.code, why.message);
        }
        int left = secondsLeft(deadline);
        if (left == 0) return fail(wrErrorOperationTimeout, "TLS handshake: no answer in time");
        if (int error = flushOutput(left, true)) return error;
        if (status == SSL_ERROR_NONE) return 0;
        if (status == SSL_ERROR_WANT_WRITE) continue;
        bool closed = false;
        if (int error = fillInput(left, closed)) return error;
        if (closed)
            return fail(wrErrorSecurityContext, "TLS handshake: the peer closed the connection");
    }
}

void SecureChannel::checkCertificate() {
    m_info = describeSession(m_ssl);
    if (!SSL_get0_peer_certificate(m_ssl)) {
        m_worstCertificate = wrCertificateInvalid;
        m_worstResult = X509_V_ERR_UNSPECIFIED;
    } else if (m_worstCertificate == 0 && SSL_get_verify_result(m_ssl) != X509_V_OK) {
        // Not seen by the callback (it sees every failure), but never report valid by default.
        m_worstResult = SSL_get_verify_result(m_ssl);
        m_worstCertificate = certificateStatusFor(m_worstResult);
    }
    m_info.certificateStatus = m_worstCertificate ? m_worstCertificate : int{wrCertificateValid};
    m_info.policyResult = m_worstResult;
}

int SecureChannel::flushOutput(int timeoutSeconds, bool waitFirst) {
    bool wait = waitFirst;
    while (BIO_ctrl_pending(m_network) > 0) {
        char* pending = nullptr;
        int size = BIO_nread0(m_network, &pending);
        if (size <= 0) break;
        if (wait) {
            int ready = m_transport.waitWritable(timeoutSeconds);
            if (ready == 0)
                return fail(wrErrorOperationTimeout, "sending: the connection took nothing");
            if (ready < 0) return failFromSlot("sending");
        }
        int sent = m_transport.send(reinterpret_cast<const uint8_t*>(pending), size);
        if (sent < 0) return failFromSlot("sending");
        BIO_nread(m_network, &pending, sent);
        // After a partial or refused send the socket must drain before the next try.
        wait = true;
    }
    return 0;
}

int SecureChannel::fillInput(int timeoutSeconds, bool& peerClosed, int most) {
    char* space = nullptr;
    int room = BIO_nwrite0(m_network, &space);
    if (room <= 0) return fail(wrErrorSecurityDecryption, "a record larger than the input buffer");
    if (most > 0) room = std::min(room, most);
    int ready = m_transport.waitReadable(timeoutSeconds);
    if (ready == 0) return fail(wrErrorOperationTimeout, "receiving: nothing arrived in time");
    if (ready < 0) return failFromSlot("receiving");
    int received = m_transport.recv(reinterpret_cast<uint8_t*>(space), room);
    if (received < 0) return failFromSlot("receiving");
    if (received == 0) {
        peerClosed = true;
        return 0;
    }
    BIO_nwrite(m_network, &space, received);
    return 0;
}

int SecureChannel::send(const uint8_t* data, int length, int timeoutSeconds) {
    if (length < 0 || (!data && length > 0)) {
        fail(wrErrorInvalidParameter, "no data to send");
        return -1;
    }
    if (m_state != State::Established) {
        fail(wrErrorSecurityContext, "no secure session to send on");
        return -1;
    }
    if (m_sendBroken) {
        fail(wrErrorSecurityEncryption, "an earlier send stopped inside a record");
        return -1;
    }
    if (length == 0) return 0;
    // Output left by a receive (a key update's answer) goes first.
    if (flushOutput(timeoutSeconds, true) != 0) return -1;
    // Waiting before encrypting means a time-out or a cancel leaves the stream as it was.
    int ready = m_transport.waitWritable(timeoutSeconds);
    if (ready == 0) {
        fail(wrErrorOperationTimeout, "sending: the connection took nothing");
        return -1;
    }
    if (ready < 0) {
        failFromSlot("sending");
        return -1;
    }
    clearOpenSslErrors();
    int taken = 0;
    for (int record = 0; record < kRecordsPerSend && taken < length; ++record) {
        int n = SSL_write(m_ssl, data + taken, std::min(length - taken, kMaxRecordData));
        if (n <= 0) {
            m_sendBroken = true;
            failFromOpenSsl(wrErrorSecurityEncryption, "encrypting");
            return -1;
        }
        taken += n;
        m_transport.trace(traceLine("Encrypted buffer of %ld bytes", n));
    }
    if (flushOutput(timeoutSeconds, false) != 0) {
        // The records are encrypted and partly sent: nothing sent after them could be read.
        m_sendBroken = true;
        return -1;
    }
    return taken;
}

int SecureChannel::receive(uint8_t* buffer, int length, int timeoutSeconds) {
    if (length < 0 || (!buffer && length > 0)) {
        fail(wrErrorInvalidParameter, "no buffer to receive into");
        return -1;
    }
    if (m_state != State::Established && m_state != State::Closed) {
        fail(wrErrorSecurityContext, "no secure session to receive on");
        return -1;
    }
    if (length == 0) return 0;
    for (;;) {
        clearOpenSslErrors();
        int count = SSL_read(m_ssl, buffer, length);
        if (count > 0) {
            m_transport.trace(traceLine("Decrypted buffer of %ld bytes", count));
            return count;
        }
        int status = SSL_get_error(m_ssl, count);
        if (status == SSL_ERROR_ZERO_RETURN) return 0;  // close_notify
        if (status != SSL_ERROR_WANT_READ && status != SSL_ERROR_WANT_WRITE) {
            m_state = State::Failed;
            failFromOpenSsl(wrErrorSecurityDecryption, "decrypting");
            return -1;
        }
        // What reading produced (a key update's answer) must reach the peer before waiting.
        if (flushOutput(timeoutSeconds, true) != 0) return -1;
        if (status == SSL_ERROR_WANT_WRITE) continue;
        if (m_peerClosed) {
            if (!hasBufferedInput()) return 0;  // closed between records
            fail(wrErrorSecurityDecryption, "the connection closed inside a record");
            return -1;
        }
        if (fillInput(timeoutSeconds, m_peerClosed) != 0) return -1;
    }
}

int SecureChannel::shutdown(int timeoutSeconds) {
    if (m_state == State::Closed) return 0;
    if (m_state != State::Established)
        return fail(wrErrorSecurityContext, "no secure session to end");
    m_state = State::Closed;
    clearOpenSslErrors();
    if (SSL_shutdown(m_ssl) < 0)
        return failFromOpenSsl(wrErrorSecurityContext, "ending the session");
    return flushOutput(timeoutSeconds, true);
}

int SecureChannel::close(int timeoutSeconds) {
    if (m_state == State::Established) {
        if (int error = shutdown(timeoutSeconds)) return error;
    } else if (m_state != State::Closed) {
        return fail(wrErrorSecurityContext, "no secure session to end");
    }
    const int limit = timeoutSeconds > 0 ? timeoutSeconds : kDefaultHandshakeSeconds;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limit);
    uint8_t scratch[4096];
    for (;;) {
        clearOpenSslErrors();
        int n = SSL_read(m_ssl, scratch, sizeof scratch);
        if (n > 0) continue;
        int status = SSL_get_error(m_ssl, n);
        if (status == SSL_ERROR_ZERO_RETURN) return 0;
        if (status != SSL_ERROR_WANT_READ && status != SSL_ERROR_WANT_WRITE)
            return failFromOpenSsl(wrErrorSecurityDecryption, "awaiting the peer's end");
        int left = secondsLeft(deadline);
        if (left == 0) return fail(wrErrorOperationTimeout, "the peer did not end the session");
        if (int error = flushOutput(left, true)) return error;
        if (status == SSL_ERROR_WANT_WRITE) continue;
        if (m_peerClosed) return 0;
        // OpenSSL takes a record's header, then its body, and never more: fed a byte at a time
        // it stops at the end of the peer's notice, and what follows stays in the socket.
        if (int error = fillInput(left, m_peerClosed, 1)) return error;
    }
}

std::string SecureChannel::takeLeftover() {
    std::string bytes;
    if (!m_ssl) return bytes;
    BIO* inner = SSL_get_rbio(m_ssl);
    char piece[4096];
    while (BIO_ctrl_pending(inner) > 0) {
        int n = BIO_read(inner, piece, sizeof piece);
        if (n <= 0) break;
        bytes.append(piece, static_cast<size_t>(n));
    }
    return bytes;
}

bool SecureChannel::hasBufferedInput() const {
    if (!m_ssl) return false;
    BIO* inner = SSL_get_rbio(m_ssl);
    return SSL_has_pending(m_ssl) == 1 || BIO_ctrl_pending(inner) > 0;
}

}  // namespace kvsecure
