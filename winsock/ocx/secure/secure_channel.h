#pragma once
// The secure channel: TLS over one connected stream, driven through OpenSSL 3 without OpenSSL
// ever touching the socket. Every byte goes through a SecureTransport, which the socket layer
// implements with its own send and receive (counted, traced) and its own pumped waits (time-out,
// cancel, abort); OpenSSL sees only a pair of in-memory buffers.
//
//   SecureChannel channel(credentials, transport);
//   int error = channel.connect(hostName, record.timeout);   // 0, 12104 (still up), or fatal
//   int n = channel.send(data, length, record.timeout);      // data bytes taken, -1 on failure
//   n = channel.receive(buffer, size, record.timeout);       // bytes, 0 at the peer's end, -1
//
// Every failure is also stored in the socket layer's error slot, as the control expects.
//
// The handshake serves both roles: connect runs it as the client, accept as the server.

#include <cstdint>
#include <memory>
#include <string>

#include "winsock/ocx/secure/connection_info.h"
#include "winsock/ocx/secure/credentials.h"

struct ssl_st;             // OpenSSL's SSL
struct bio_st;             // OpenSSL's BIO
struct x509_store_ctx_st;  // OpenSSL's X509_STORE_CTX

namespace kvsecure {

// What the secure channel needs of the connection under it. The socket layer implements it over
// its record: send and recv are its traced, counted socket calls, the waits its pumped wait.
class SecureTransport {
  public:
    virtual ~SecureTransport() = default;
    // send takes up to length bytes: the number taken (> 0), 0 when the socket would block, or
    // < 0 with the error already in the error slot.
    virtual int send(const uint8_t* data, int length) = 0;
    // recv receives once, up to length bytes: the number received, 0 when the peer closed the
    // connection, or < 0 with the error already in the error slot.
    virtual int recv(uint8_t* buffer, int length) = 0;
    // The waits give > 0 when ready, 0 when timeoutSeconds passed (0 means no limit), and < 0
    // when the wait failed, was cancelled (10004) or aborted, with the error in the error slot.
    virtual int waitReadable(int timeoutSeconds) = 0;
    virtual int waitWritable(int timeoutSeconds) = 0;
    // trace receives the channel's trace lines ("Encrypted buffer of 512 bytes").
    virtual void trace(const std::string& line) {}
};

class SecureChannel {
  public:
    // The credentials are shared; transport must outlive the channel.
    SecureChannel(std::shared_ptr<const SecureCredentials> credentials, SecureTransport& transport);
    ~SecureChannel();
    SecureChannel(const SecureChannel&) = delete;
    SecureChannel& operator=(const SecureChannel&) = delete;

    // connect runs the client handshake for targetName (sent as the server name indication
    // unless it is an address, and checked against the server's certificate), then checks the
    // certificate against the trusted certificates and targetName. The whole handshake must
    // finish within timeoutSeconds (60 when 0). Returns 0 when the channel is up and the
    // certificate valid; wrErrorSecurityCertificate (12104) when the channel is up but the
    // certificate failed the check (info() says how); or, with the channel unusable:
    // wrErrorInvalidHostName (11001) for an empty target, wrErrorOperationTimeout (10060),
    // wrErrorSecurityContext (12102) when the peer does not speak TLS, refuses the handshake or
    // closes the connection, wrErrorOutOfMemory (10012), or the transport's own error (10004
    // cancelled, 10054 reset, ...).
    int connect(const std::string& targetName, int timeoutSeconds);

    // accept runs the server handshake with server credentials, within timeoutSeconds (60 when
    // 0). The client is not asked for a certificate. Returns 0 when the channel is up; otherwise
    // wrErrorSecurityCredentials (12103) without server credentials, and the failures of
    // connect.
    int accept(int timeoutSeconds);

    // send encrypts up to four records' worth (16384 bytes each) of data and sends the whole
    // records. It waits for writability with timeoutSeconds (0: no limit) before encrypting, so
    // a time-out or a cancel there changes nothing; should the records then go out only in part
    // and the wait for the rest fail, the sending side is broken and later sends fail with
    // 12106. Returns the number of data bytes taken, or -1 with the error in the slot:
    // wrErrorSecurityContext (12102) without an established session, wrErrorSecurityEncryption
    // (12106), wrErrorOperationTimeout (10060), or the transport's error.
    int send(const uint8_t* data, int length, int timeoutSeconds);

    // receive returns decrypted data: from input already received first, waiting for
    // readability with timeoutSeconds (0: no limit) and receiving more only when no complete
    // record is there. Returns the number of bytes (at most one record's), 0 when the peer ended
    // the session (close_notify) or closed the connection between records, or -1 with the error
    // in the slot: wrErrorSecurityDecryption (12105) for a corrupt record or a connection closed
    // inside one, wrErrorSecurityContext (12102) before a handshake, wrErrorOperationTimeout
    // (10060), or the transport's.
    int receive(uint8_t* buffer, int length, int timeoutSeconds);

    // shutdown sends close_notify, waiting for writability with timeoutSeconds; the channel
    // takes no more data afterwards. Returns 0, or the error (also in the slot).
    int shutdown(int timeoutSeconds);

    // close ends the session both ways so the stream can go on plain: close_notify is sent (as
    // shutdown), then the peer's close_notify is awaited, within timeoutSeconds (60 when 0) for
    // the whole; data the peer sent before its notice is dropped. The socket is read a byte at a
    // time meanwhile, so nothing after the peer's notice is taken from it; bytes received
    // earlier that follow the notice are plain data: takeLeftover hands them out. Returns 0 once
    // the peer's notice came (or the connection ended); wrErrorOperationTimeout (10060) when it did
    // not come in time; or the failure to send ours or to read (also in the slot).
    int close(int timeoutSeconds);
    std::string takeLeftover();

    // hasBufferedInput tells whether data already received is waiting to be decrypted or read,
    // so a reader need not wait for the socket.
    bool hasBufferedInput() const;

    // The negotiated session and the peer's certificate; zero and empty before a handshake.
    const SecureConnectionInfo& info() const { return m_info; }
    // Why the last failure happened (OpenSSL's reasons), for traces and tests.
    const std::string& lastFailure() const { return m_failure; }
    bool established() const { return m_state == State::Established; }

  private:
    enum class State { Idle, Established, Closed, Failed };

    static int onVerify(int ok, x509_store_ctx_st* store);
    int start();
    int handshake(int timeoutSeconds);
    void checkCertificate();
    int flushOutput(int timeoutSeconds, bool waitFirst);
    // fillInput receives what is there into the input buffer, at most `most` bytes when that is
    // above 0.
    int fillInput(int timeoutSeconds, bool& peerClosed, int most = 0);
    int fail(int code, const std::string& why);
    int failFromOpenSsl(int code, const std::string& activity);
    int failFromSlot(const std::string& activity);

    std::shared_ptr<const SecureCredentials> m_credentials;
    SecureTransport& m_transport;
    ssl_st* m_ssl = nullptr;
    bio_st* m_network = nullptr;  // our end of the buffer pair; OpenSSL holds the other
    State m_state = State::Idle;
    bool m_peerClosed = false;   // the connection under the channel has ended
    bool m_sendBroken = false;   // a send stopped inside a record: the stream cannot go on
    int m_worstCertificate = 0;  // wrCertificate value of the worst problem seen
    long m_worstResult = 0;      // its X509 verification result
    SecureConnectionInfo m_info;
    std::string m_failure;
};

}  // namespace kvsecure
