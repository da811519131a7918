// The stand-in's TLS listener with certificates from TestCa, checked by a verifying OpenSSL
// client: the trusted certificate is accepted for its names and serves the same replies as plain
// HTTP; expired, wrong-host and untrusted ones are refused for the right reason.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "tools/testsupport/loopback_http.h"
#include "tools/testsupport/standin_server.h"
#include "tools/testsupport/test_ca.h"

namespace {

struct TlsResult {
    bool handshake = false;
    long verify = X509_V_OK;
    bool cleanClose = false;  // the server ended with close_notify
    LoopbackReply reply;
};

// One HTTP/1.0 GET over TLS, trusting only caFile and checking the certificate against host.
TlsResult tlsGet(int port, const std::string& caFile, const std::string& host,
                 const std::string& target) {
    TlsResult result;
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL* ssl = SSL_new(ctx);
    in_addr ip{};
    if (inet_pton(AF_INET, host.c_str(), &ip) == 1) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
    } else {
        SSL_set1_host(ssl, host.c_str());
        SSL_set_tlsext_host_name(ssl, host.c_str());
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        SSL_set_fd(ssl, fd);
        result.handshake = SSL_connect(ssl) == 1;
        result.verify = SSL_get_verify_result(ssl);
    }
    if (result.handshake) {
        std::string request =
            "GET " + target + " HTTP/1.0\r\nHost: " + host + "\r\nAccept: */*\r\n\r\n";
        SSL_write(ssl, request.data(), static_cast<int>(request.size()));
        char buffer[16384];
        int n;
        while ((n = SSL_read(ssl, buffer, sizeof buffer)) > 0)
            result.reply.raw.append(buffer, n);
        result.cleanClose = SSL_get_error(ssl, n) == SSL_ERROR_ZERO_RETURN;
        result.reply.outcome = LoopbackOutcome::Closed;
        parseReply(result.reply);
        SSL_shutdown(ssl);
    }
    ERR_clear_error();
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    close(fd);
    return result;
}

}  // namespace

class StandinTlsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_ca = new TestCa;
        s_server = new StandinServer;
        if (!s_ca->create()) {
            s_setupError = s_ca->error();
            return;
        }
        StandinOptions options;
        options.tlsCertFile = s_ca->server().certFile;
        options.tlsKeyFile = s_ca->server().keyFile;
        if (!s_server->start(options)) s_setupError = s_server->error();
    }
    static void TearDownTestSuite() {
        delete s_server;
        delete s_ca;
    }
    void SetUp() override {
        ASSERT_EQ(s_setupError, "");
        ASSERT_TRUE(s_server->reset());
        ASSERT_TRUE(s_server->setTlsCertificate(s_ca->server().certFile, s_ca->server().keyFile));
        ASSERT_GT(s_server->httpsPort(), 0);
    }

    static TestCa* s_ca;
    static StandinServer* s_server;
    static std::string s_setupError;
};

TestCa* StandinTlsTest::s_ca = nullptr;
StandinServer* StandinTlsTest::s_server = nullptr;
std::string StandinTlsTest::s_setupError;

TEST_F(StandinTlsTest, TrustedCertificateServesTheSameReplies) {
    const std::string plain = s_server->get("/search/shows?q=girls").body;
    ASSERT_FALSE(plain.empty());
    for (const char* host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        TlsResult r =
            tlsGet(s_server->httpsPort(), s_ca->caCertFile(), host, "/search/shows?q=girls");
        ASSERT_TRUE(r.handshake);
        EXPECT_EQ(r.verify, X509_V_OK);
        EXPECT_EQ(r.reply.status, 200);
        EXPECT_TRUE(r.reply.body == plain);
        EXPECT_TRUE(r.cleanClose);
    }
    EXPECT_EQ(s_server->requestCount("/search/"), 3);
}

TEST_F(StandinTlsTest, BadCertificatesAreRefusedForTheRightReason) {
    CertFiles lapsed;
    ASSERT_TRUE(s_ca->issue("lapsed", {"127.0.0.1"}, -3, lapsed)) << s_ca->error();
    const struct {
        const char* name;
        CertFiles files;
        long verify;
    } cases[] = {
        {"expired", s_ca->expired(), X509_V_ERR_CERT_HAS_EXPIRED},
        {"issued expired", lapsed, X509_V_ERR_CERT_HAS_EXPIRED},
        {"other host", s_ca->otherHost(), X509_V_ERR_IP_ADDRESS_MISMATCH},
        {"untrusted", s_ca->untrusted(), X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(s_server->setTlsCertificate(c.files.certFile, c.files.keyFile));
        TlsResult r =
            tlsGet(s_server->httpsPort(), s_ca->caCertFile(), "127.0.0.1", "/shows/1/episodes");
        EXPECT_FALSE(r.handshake);
        EXPECT_EQ(r.verify, c.verify) << X509_verify_cert_error_string(r.verify);
    }
    // No request got through a refused handshake.
    EXPECT_EQ(s_server->requestCount(), 0);
}

TEST_F(StandinTlsTest, NotTlsModeAnswersPlainHttpOnTheTlsPort) {
    ASSERT_TRUE(s_server->setMode("not-tls&times=1"));
    TlsResult refused =
        tlsGet(s_server->httpsPort(), s_ca->caCertFile(), "127.0.0.1", "/shows/1/episodes");
    EXPECT_FALSE(refused.handshake);
    // A plain client on the TLS port reads the plain reply.
    ASSERT_TRUE(s_server->setMode("not-tls&times=1"));
    LoopbackReply plain = loopbackGet(s_server->httpsPort(), "/shows/1/episodes");
    EXPECT_EQ(plain.status, 200);
    EXPECT_NE(plain.body.find("plain HTTP"), std::string::npos);
    // One-shot: TLS works again afterwards.
    TlsResult ok =
        tlsGet(s_server->httpsPort(), s_ca->caCertFile(), "127.0.0.1", "/shows/1/episodes");
    EXPECT_TRUE(ok.handshake);
    EXPECT_EQ(ok.reply.status, 200);
}

TEST_F(StandinTlsTest, RedirectsFromPlainToTlsWithTheSamePath) {
    ASSERT_TRUE(s_server->setMode("path=/search/&listener=http&to-https"));
    LoopbackReply r = s_server->get("/search/shows?q=girls");
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.header("Location"), s_server->httpsUrl("/search/shows?q=girls"));
    // The mode was for the plain listener only: the TLS one answers.
    TlsResult followed =
        tlsGet(s_server->httpsPort(), s_ca->caCertFile(), "127.0.0.1", "/search/shows?q=girls");
    EXPECT_EQ(followed.reply.status, 200);
    EXPECT_EQ(s_server->requestCount("/search/"), 2);
}
