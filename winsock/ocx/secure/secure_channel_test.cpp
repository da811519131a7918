// The secure channel against real TLS servers on 127.0.0.1 with certificates made at test time.
#include "winsock/ocx/secure/secure_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>

#include "winsock/ocx/secure/secure_test_support.h"
#include "winsock/ocx/base/error_slot.h"

using namespace kvsecure;
using ::testing::MatchesRegex;

using SecureChannelTest = SecureTest;

namespace {

std::string pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(testPattern(i));
    return data;
}

TlsServerOptions serving(const CertFiles& files) {
    TlsServerOptions options;
    options.certFile = files.certFile;
    options.keyFile = files.keyFile;
    return options;
}

TlsServerOptions inMode(TlsServerMode mode) {
    TlsServerOptions options;
    options.mode = mode;
    return options;
}

TlsServerOptions tls12(const char* suites) {
    TlsServerOptions options;
    options.maxVersion = TLS1_2_VERSION;
    options.cipherList = suites;
    return options;
}

TlsServerOptions tls13(const char* groups) {
    TlsServerOptions options;
    options.groups = groups;
    return options;
}

long countLines(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.starts_with(prefix); });
}

}  // namespace

TEST_F(SecureChannelTest, ValidCertificateCarriesDataBothWays) {
    startServer();
    for (const char* target : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(target);
        SecureClient client;
        ASSERT_EQ(client.connect(m_server->port(), target), 0) << client.channel->lastFailure();
        const SecureConnectionInfo& info = client.channel->info();
        EXPECT_EQ(info.certificateStatus, wrCertificateValid);
        EXPECT_EQ(info.policyResult, X509_V_OK);
        EXPECT_EQ(info.protocol, wrSecureProtocolTLS1);
        EXPECT_EQ(info.versionName, "TLSv1.3");
        // OpenSSL's first TLS 1.3 choice: TLS_AES_256_GCM_SHA384 over X25519.
        EXPECT_EQ(info.cipher, wrSecureCipherAES);
        EXPECT_EQ(info.cipherStrength, 256);
        EXPECT_EQ(info.hash, wrSecureHashSHA);
        EXPECT_EQ(info.hashStrength, 384);
        EXPECT_EQ(info.keyExchange, wrSecureKeyExchangeECDH);
        EXPECT_EQ(info.issuer, "CN=Vantel Test CA");
        EXPECT_EQ(info.subject, "CN=127.0.0.1");
        EXPECT_THAT(info.issued, MatchesRegex("20[0-9][0-9]-[01][0-9]-[0-3][0-9] [0-9:]{8}"));
        EXPECT_THAT(info.expires, MatchesRegex("20[0-9][0-9]-[01][0-9]-[0-3][0-9] [0-9:]{8}"));
        EXPECT_LT(info.issued, info.expires);

        ASSERT_TRUE(client.sendAll("ECHO 5\nhello"));
        EXPECT_EQ(client.receive(5), "hello");
        EXPECT_EQ(client.transport.traceLines,
                  (std::vector<std::string>{"Encrypted buffer of 12 bytes",
                                            "Decrypted buffer of 5 bytes"}));
        EXPECT_FALSE(client.channel->hasBufferedInput());
        // Part of a record read: the rest waits in the channel, not in the socket.
        ASSERT_TRUE(client.sendAll("ECHO 3\nxyz"));
        EXPECT_EQ(client.receive(1), "x");
        EXPECT_TRUE(client.channel->hasBufferedInput());
        EXPECT_EQ(client.receive(2), "yz");
        EXPECT_FALSE(client.channel->hasBufferedInput());
        // A name is indicated to the server; an address never is.
        EXPECT_EQ(client.ask("NAME"), target == std::string("localhost") ? "localhost" : "NONE");
        EXPECT_EQ(client.ask("BYE"), "");
    }
}

TEST_F(SecureChannelTest, CertificateProblemsAreReportedWithTheChannelUp) {
    const struct {
        const char* name;
        CertFiles files;
        const char* target;
        int status;
        long result;
    } cases[] = {
        {"expired", s_ca->expired(), "127.0.0.1", wrCertificateExpired,
         X509_V_ERR_CERT_HAS_EXPIRED},
        {"issued for another host", s_ca->otherHost(), "127.0.0.1", wrCertificateNoMatch,
         X509_V_ERR_IP_ADDRESS_MISMATCH},
        {"asked for another name", s_ca->server(), "wrong.invalid", wrCertificateNoMatch,
         X509_V_ERR_HOSTNAME_MISMATCH},
        {"untrusted issuer", s_ca->untrusted(), "localhost", wrCertificateUntrusted,
         X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT},
        // Two problems at once: the more fundamental one is reported, whichever OpenSSL met last.
        {"expired and another name", s_ca->expired(), "wrong.invalid", wrCertificateExpired,
         X509_V_ERR_CERT_HAS_EXPIRED},
        {"untrusted and another name", s_ca->untrusted(), "wrong.invalid", wrCertificateUntrusted,
         X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startServer(serving(c.files));
        SecureClient client;
        SetSocketError(0);
        ASSERT_EQ(client.connect(m_server->port(), c.target), wrErrorSecurityCertificate)
            << client.channel->lastFailure();
        EXPECT_EQ(SocketError(), SocketErrorHresult(wrErrorSecurityCertificate));
        EXPECT_TRUE(client.channel->established());
        EXPECT_EQ(client.channel->info().certificateStatus, c.status);
        EXPECT_EQ(client.channel->info().policyResult, c.result);
        // The connection stays usable: the application decides what to do.
        ASSERT_TRUE(client.sendAll("ECHO 3\nabc"));
        EXPECT_EQ(client.receive(3), "abc");
    }
}

TEST_F(SecureChannelTest, PeersThatDoNotCompleteAHandshakeFailIt) {
    const struct {
        const char* name;
        TlsServerMode mode;
        int timeout;
        int error;
    } cases[] = {
        // A silent server meets the time-out.
        {"never answers", TlsServerMode::Stall, 1, wrErrorOperationTimeout},
        // Bytes that are no TLS make OpenSSL give up at once; the long time-out is never met.
        {"answers plain HTTP", TlsServerMode::NotTls, 30, wrErrorSecurityContext},
        {"closes after the hello", TlsServerMode::CloseAfterHello, 30, wrErrorSecurityContext},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startServer(inMode(c.mode));
        SecureClient client;
        SetSocketError(0);
        EXPECT_EQ(client.connect(m_server->port(), "127.0.0.1", c.timeout), c.error);
        EXPECT_EQ(SocketError(), SocketErrorHresult(static_cast<uint32_t>(c.error)));
        EXPECT_FALSE(client.channel->established());
        EXPECT_NE(client.channel->lastFailure(), "");
        EXPECT_EQ(client.channel->send(reinterpret_cast<const uint8_t*>("x"), 1, 1), -1);
        EXPECT_EQ(SocketErrorCode(SocketError()), static_cast<uint32_t>(wrErrorSecurityContext));
    }
}

TEST_F(SecureChannelTest, LargeTransfersCrossManyRecordsBothWays) {
    startServer();
    SecureClient client;
    client.transport.keepTrace = true;
    ASSERT_EQ(client.connect(m_server->port(), "localhost"), 0);
    const size_t size = 8u << 20;
    const std::string data = pattern(size);

    ASSERT_TRUE(client.sendAll("SEND " + std::to_string(size) + "\n"));
    std::string received = client.receive(size);
    ASSERT_EQ(received.size(), size);
    EXPECT_TRUE(received == data);
    // Every record is decrypted on its own: 16 KiB at most each.
    EXPECT_GE(countLines(client.transport.traceLines, "Decrypted buffer of"), 512);

    ASSERT_TRUE(client.sendAll("RECV " + std::to_string(size) + "\n" + data));
    EXPECT_EQ(client.ask(""), "OK " + std::to_string(size)) << m_server->lastFailure();
    EXPECT_GE(countLines(client.transport.traceLines, "Encrypted buffer of 16384 bytes"), 512);
    EXPECT_GT(client.transport.bytesSent, static_cast<long long>(size));
}

TEST_F(SecureChannelTest, CancelledWaitsEndTheCallAndKeepTheStream) {
    startServer();
    {
        SecureClient client;
        client.transport.cancelAt = 1;
        EXPECT_EQ(client.connect(m_server->port(), "127.0.0.1"), wrErrorOperationCanceled);
        EXPECT_FALSE(client.channel->established());
    }
    SecureClient client;
    ASSERT_EQ(client.connect(m_server->port(), "127.0.0.1"), 0);
    uint8_t buffer[16];
    const uint8_t data[] = "ECHO 2\nok";

    client.transport.cancelAt = client.transport.waits + 1;
    EXPECT_EQ(client.channel->receive(buffer, sizeof buffer, 5), -1);
    EXPECT_EQ(SocketError(), SocketErrorHresult(wrErrorOperationCanceled));
    EXPECT_EQ(client.channel->send(data, sizeof data - 1, 5), -1);
    EXPECT_EQ(SocketError(), SocketErrorHresult(wrErrorOperationCanceled));

    // Neither cancel touched the stream: the same request goes through afterwards.
    client.transport.cancelAt = 0;
    EXPECT_EQ(client.channel->send(data, sizeof data - 1, 5), static_cast<int>(sizeof data - 1));
    EXPECT_EQ(client.receive(2), "ok");
}

TEST_F(SecureChannelTest, HowThePeerEndsDecidesTheReceiveResult) {
    const struct {
        const char* command;
        int result;
        int error;
    } cases[] = {
        {"BYE", 0, 0},                   // close_notify
        {"DROP", 0, 0},                  // the connection closed between records
        {"JUNK", -1, wrErrorSecurityDecryption},  // a record no key decrypts
    };
    startServer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        SecureClient client;
        ASSERT_EQ(client.connect(m_server->port(), "127.0.0.1"), 0);
        ASSERT_TRUE(client.sendAll(std::string(c.command) + "\n"));
        uint8_t buffer[64];
        SetSocketError(0);
        EXPECT_EQ(client.channel->receive(buffer, sizeof buffer, 5), c.result);
        EXPECT_EQ(SocketErrorCode(SocketError()), static_cast<uint32_t>(c.error));
        if (c.result == 0) {
            // An ended session stays ended, without waiting for the socket.
            int waits = client.transport.waits;
            EXPECT_EQ(client.channel->receive(buffer, sizeof buffer, 5), 0);
            EXPECT_EQ(client.transport.waits, waits);
        }
    }
}

TEST_F(SecureChannelTest, ServerChoicesMapOntoTheEnumerations) {
    const struct {
        const char* name;
        TlsServerOptions options;
        int cipher, cipherBits, hash, hashBits, keyExchange;
    } cases[] = {
        {"TLS 1.2 AES-GCM", tls12("ECDHE-ECDSA-AES128-GCM-SHA256"), wrSecureCipherAES, 128,
         wrSecureHashSHA, 256, wrSecureKeyExchangeECDH},
        {"TLS 1.2 AES-CBC with SHA-1", tls12("ECDHE-ECDSA-AES256-SHA"), wrSecureCipherAES, 256,
         wrSecureHashSHA, 160, wrSecureKeyExchangeECDH},
        {"TLS 1.2 ChaCha20", tls12("ECDHE-ECDSA-CHACHA20-POLY1305"), wrSecureCipherUnknown, 256,
         wrSecureHashSHA, 256, wrSecureKeyExchangeECDH},
        {"TLS 1.3 finite-field group", tls13("ffdhe2048"), wrSecureCipherAES, 256, wrSecureHashSHA,
         384, wrSecureKeyExchangeDH},
        {"TLS 1.3 P-384", tls13("P-384"), wrSecureCipherAES, 256, wrSecureHashSHA, 384,
         wrSecureKeyExchangeECDH},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        startServer(c.options);
        SecureClient client;
        ASSERT_EQ(client.connect(m_server->port(), "127.0.0.1"), 0)
            << client.channel->lastFailure() << " / " << m_server->lastFailure();
        const SecureConnectionInfo& info = client.channel->info();
        EXPECT_EQ(info.protocol, wrSecureProtocolTLS1);
        EXPECT_EQ(info.cipher, c.cipher) << info.suiteName;
        EXPECT_EQ(info.cipherStrength, c.cipherBits);
        EXPECT_EQ(info.hash, c.hash);
        EXPECT_EQ(info.hashStrength, c.hashBits);
        EXPECT_EQ(info.keyExchange, c.keyExchange);
    }
}

TEST_F(SecureChannelTest, MisuseFailsWithTheControlsCodes) {
    startServer();
    SecureClient client;
    ASSERT_EQ(client.connect(m_server->port(), ""), wrErrorInvalidHostName);
    EXPECT_EQ(SocketError(), SocketErrorHresult(wrErrorInvalidHostName));

    // A fresh channel: nothing goes over it before its handshake.
    SecureChannel idle(client.credentials, client.transport);
    uint8_t buffer[8];
    EXPECT_EQ(idle.receive(buffer, sizeof buffer, 1), -1);
    EXPECT_EQ(SocketErrorCode(SocketError()), static_cast<uint32_t>(wrErrorSecurityContext));
    EXPECT_EQ(idle.send(buffer, -1, 1), -1);
    EXPECT_EQ(SocketErrorCode(SocketError()), static_cast<uint32_t>(wrErrorInvalidParameter));
    EXPECT_EQ(idle.shutdown(1), wrErrorSecurityContext);
    EXPECT_EQ(client.transport.waits, 0);
}
