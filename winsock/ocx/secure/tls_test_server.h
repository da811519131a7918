#pragma once
// A TLS server on 127.0.0.1 for the secure channel's tests and benchmark, written with plain
// OpenSSL over blocking sockets so that it shares no code with the channel. It serves one
// connection after the other on a thread of its own, and misbehaves on request.
//
//   TlsTestServer server;
//   TlsServerOptions options;
//   options.certFile = ca.server().certFile;
//   options.keyFile = ca.server().keyFile;
//   ASSERT_TRUE(server.start(options));
//
// Connect to port(), then send command lines:
//   "ECHO n"  read n bytes and send them back
//   "SEND n"  send n bytes of testPattern()
//   "RECV n"  read n bytes, answer "OK n" when they are testPattern(), else "BAD offset"
//   "FILL n"  send n bytes of 'x';  "SINK n"  read n bytes, answer "OK n" (for benchmarks)
//   "PEER"    answer the subject of the client's certificate, or "NONE"
//   "NAME"    answer the server name the client indicated, or "NONE"
//   "JUNK"    write bytes that are no TLS record on the raw socket
//   "BYE"     send close_notify and close;  "DROP"  close without close_notify

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

enum class TlsServerMode {
    Tls,              // the commands above
    Stall,            // accept and never say a word
    NotTls,           // answer like a plain HTTP server
    CloseAfterHello,  // read what the client says first, then close without a word
};

struct TlsServerOptions {
    TlsServerMode mode = TlsServerMode::Tls;
    std::string certFile;  // PEM certificate and key the server presents
    std::string keyFile;
    bool askClientCertificate = false;  // request one (any is accepted) for "PEER"
    int maxVersion = 0;                 // e.g. TLS1_2_VERSION; 0: the highest
    std::string cipherList;             // TLS 1.2 suites, OpenSSL's syntax; "" keeps the default
    std::string groups;                 // key exchange groups, e.g. "ffdhe2048"; "" the default
};

// The byte at offset i of the data "SEND" sends and "RECV" expects.
inline uint8_t testPattern(size_t i) {
    return static_cast<uint8_t>((i * 7) ^ (i >> 11));
}

class TlsTestServer {
  public:
    TlsTestServer() = default;
    // Stops serving and waits for the thread.
    ~TlsTestServer();
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    // Listens on an ephemeral port of 127.0.0.1 and starts serving. False (with error()) when
    // the certificate cannot be loaded or the socket cannot be made.
    bool start(const TlsServerOptions& options);
    int port() const { return m_port; }
    const std::string& error() const { return m_error; }
    // Why the last TLS connection ended early, "" when it ended well.
    std::string lastFailure() const;

  private:
    void serve();
    void serveTls(int fd);
    void setFailure(const std::string& why);

    TlsServerOptions m_options;
    void* m_context = nullptr;  // SSL_CTX
    int m_listenFd = -1;
    std::atomic<int> m_clientFd{-1};
    std::atomic<bool> m_stopping{false};
    int m_port = 0;
    std::thread m_thread;
    std::string m_error;
    mutable std::mutex m_mutex;
    std::string m_failure;
};
