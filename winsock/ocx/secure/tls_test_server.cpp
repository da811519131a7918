#include "winsock/ocx/secure/tls_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <vector>

namespace {

std::string opensslReasons() {
    std::string text;
    while (unsigned long e = ERR_get_error()) {
        const char* reason = ERR_reason_error_string(e);
        text += (text.empty() ? "" : "; ") + std::string(reason ? reason : "unknown");
    }
    return text.empty() ? "no detail" : text;
}

// Reads the raw socket until the peer closes it or the server stops (which shuts it down).
void drain(int fd) {
    char buffer[4096];
    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

// One TLS connection's command loop, over a blocking socket.
class Session {
  public:
    explicit Session(SSL* ssl) : m_ssl(ssl) {}

    bool readLine(std::string& line) {
        size_t end;
        while ((end = m_input.find('\n')) == std::string::npos) {
            if (!fill()) return false;
        }
        line = m_input.substr(0, end);
        m_input.erase(0, end + 1);
        return true;
    }

    // Hands bytes to use (at most want at a time) until count bytes have come.
    template <typename Use>
    bool readBytes(size_t count, Use use) {
        size_t done = 0;
        while (done < count) {
            if (m_input.empty() && !fill()) return false;
            size_t take = std::min(count - done, m_input.size());
            use(m_input.data(), take, done);
            m_input.erase(0, take);
            done += take;
        }
        return true;
    }

    bool write(const void* data, size_t size) {
        return size == 0 || SSL_write(m_ssl, data, static_cast<int>(size)) > 0;
    }
    bool write(const std::string& text) { return write(text.data(), text.size()); }

  private:
    bool fill() {
        char buffer[65536];
        int n = SSL_read(m_ssl, buffer, sizeof buffer);
        if (n <= 0) return false;
        m_input.append(buffer, static_cast<size_t>(n));
        return true;
    }

    SSL* m_ssl;
    std::string m_input;
};

}  // namespace

TlsTestServer::~TlsTestServer() {
    m_stopping = true;
    if (m_listenFd >= 0) shutdown(m_listenFd, SHUT_RDWR);
    int client = m_clientFd.load();
    if (client >= 0) shutdown(client, SHUT_RDWR);
    if (m_thread.joinable()) m_thread.join();
    if (m_listenFd >= 0) close(m_listenFd);
    SSL_CTX_free(static_cast<SSL_CTX*>(m_context));
}

bool TlsTestServer::start(const TlsServerOptions& options) {
    // A client that goes away while the server writes must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    m_options = options;
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    m_context = context;
    if (!context) {
        m_error = "SSL_CTX_new: " + opensslReasons();
        return false;
    }
    if (options.mode == TlsServerMode::Tls &&
        (SSL_CTX_use_certificate_chain_file(context, options.certFile.c_str()) != 1 ||
         SSL_CTX_use_PrivateKey_file(context, options.keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
         (options.maxVersion && SSL_CTX_set_max_proto_version(context, options.maxVersion) != 1) ||
         (!options.cipherList.empty() &&
          SSL_CTX_set_cipher_list(context, options.cipherList.c_str()) != 1) ||
         (!options.groups.empty() &&
          SSL_CTX_set1_groups_list(context, options.groups.c_str()) != 1))) {
        m_error = "server context: " + opensslReasons();
        return false;
    }
    if (options.askClientCertificate) {
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, [](int, X509_STORE_CTX*) { return 1; });
    }
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(m_listenFd, 8) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        m_error = "cannot listen on 127.0.0.1";
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread(&TlsTestServer::serve, this);
    return true;
}

std::string TlsTestServer::lastFailure() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

void TlsTestServer::setFailure(const std::string& why) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failure = why;
}

void TlsTestServer::serve() {
    while (!m_stopping) {
        int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        m_clientFd = fd;
        if (m_stopping) shutdown(fd, SHUT_RDWR);
        switch (m_options.mode) {
            case TlsServerMode::Tls:
                serveTls(fd);
                break;
            case TlsServerMode::Stall:
                drain(fd);
                break;
            case TlsServerMode::NotTls: {
                static const char kReply[] = "HTTP/1.0 400 Bad Request\r\n\r\nplain text\r\n";
                ::send(fd, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
                drain(fd);
                break;
            }
            case TlsServerMode::CloseAfterHello: {
                char hello[4096];
                recv(fd, hello, sizeof hello, 0);
                break;
            }
        }
        m_clientFd = -1;
        close(fd);
    }
}

void TlsTestServer::serveTls(int fd) {
    SSL* ssl = SSL_new(static_cast<SSL_CTX*>(m_context));
    SSL_set_fd(ssl, fd);
    setFailure("");
    if (SSL_accept(ssl) != 1) {
        setFailure("handshake: " + opensslReasons());
        SSL_free(ssl);
        return;
    }
    Session session(ssl);
    std::string line;
    bool closeNotify = false;
    while (session.readLine(line)) {
        size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const size_t count = space == std::string::npos ? 0 : std::stoul(line.substr(space + 1));
        bool ok = true;
        if (command == "ECHO") {
            std::string data;
            ok = session.readBytes(count, [&](const char* p, size_t n, size_t) {
                data.append(p, n);
            }) && session.write(data);
        } else if (command == "SEND") {
            std::vector<uint8_t> chunk(65536);
            for (size_t done = 0; ok && done < count; done += chunk.size()) {
                chunk.resize(std::min(chunk.size(), count - done));
                for (size_t i = 0; i < chunk.size(); ++i)
                    chunk[i] = testPattern(done + i);
                ok = session.write(chunk.data(), chunk.size());
            }
        } else if (command == "FILL") {
            const std::vector<uint8_t> chunk(65536, 'x');
            for (size_t done = 0; ok && done < count; done += chunk.size()) {
                ok = session.write(chunk.data(), std::min(chunk.size(), count - done));
            }
        } else if (command == "SINK") {
            ok = session.readBytes(count, [](const char*, size_t, size_t) {}) &&
                 session.write("OK " + std::to_string(count) + "\n");
        } else if (command == "RECV") {
            size_t bad = std::string::npos;
            ok = session.readBytes(count, [&](const char* p, size_t n, size_t offset) {
                for (size_t i = 0; i < n && bad == std::string::npos; ++i) {
                    if (static_cast<uint8_t>(p[i]) != testPattern(offset + i)) bad = offset + i;
                }
            });
            ok =
                ok && session.write(bad == std::string::npos ? "OK " + std::to_string(count) + "\n"
                                                             : "BAD " + std::to_string(bad) + "\n");
        } else if (command == "PEER") {
            X509* peer = SSL_get1_peer_certificate(ssl);
            char subject[512] = "NONE";
            if (peer) X509_NAME_oneline(X509_get_subject_name(peer), subject, sizeof subject);
            X509_free(peer);
            ok = session.write(std::string(subject) + "\n");
        } else if (command == "NAME") {
            const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
            ok = session.write(std::string(name ? name : "NONE") + "\n");
        } else if (command == "JUNK") {
            // An application-data record header with a body no key decrypts.
            static const char kJunk[] = "\x17\x03\x03\x00\x20junk-junk-junk-junk-junk-junk-ju";
            ok = ::send(fd, kJunk, sizeof kJunk - 1, MSG_NOSIGNAL) > 0;
        } else if (command == "BYE") {
            closeNotify = true;
            break;
        } else {
            break;  // "DROP" and anything unknown: close without a word
        }
        if (!ok) {
            setFailure(command + ": " + opensslReasons());
            break;
        }
    }
    if (closeNotify) SSL_shutdown(ssl);
    ERR_clear_error();
    SSL_free(ssl);
}
