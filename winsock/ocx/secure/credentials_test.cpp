// Credentials: which protocol selections can be offered, and client certificates from PEM files,
// PEM folders and PKCS#12 files, checked by a server that reports what it was shown.
#include "winsock/ocx/secure/credentials.h"

#include <gtest/gtest.h>

#include "tools/testsupport/run_program.h"
#include "tools/testsupport/scoped_env.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/secure/secure_test_support.h"

using namespace kvsecure;

namespace {

class CredentialsTest : public SecureTest {
  protected:
    // A self-signed client certificate for "/C=NL/O=Vantel Tests/CN=Client One" in the store
    // layouts the control accepts, plus files that must be refused.
    void makeStores() {
        ASSERT_TRUE(m_dir.ok());
        const std::string key = m_dir.file("client.key");
        const std::string cert = m_dir.file("client.crt");
        run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
             "-nodes", "-keyout", key, "-out", cert, "-days", "30", "-subj",
             "/C=NL/O=Vantel Tests/CN=Client One", "-addext", "extendedKeyUsage=clientAuth"});
        ASSERT_TRUE(writeFile(m_dir.file("both.pem"), *readFile(cert) + *readFile(key)));
        // A folder: the certificate and key apart, beside a certificate of someone else.
        const std::string folder = m_dir.makeDir("folder");
        ASSERT_TRUE(writeFile(folder + "/a-client.crt", *readFile(cert)));
        ASSERT_TRUE(writeFile(folder + "/b-other.crt", *readFile(s_ca->caCertFile())));
        ASSERT_TRUE(writeFile(folder + "/z-client.key", *readFile(key)));
        run({"openssl", "pkcs12", "-export", "-in", cert, "-inkey", key, "-out",
             m_dir.file("client.p12"), "-passout", "pass:"});
        // PKCS#12 is recognised by its content, whatever the file is called.
        ASSERT_TRUE(writeFile(m_dir.file("client.bin"), *readFile(m_dir.file("client.p12"))));
        run({"openssl", "pkey", "-in", key, "-out", m_dir.file("locked.key"), "-aes256", "-passout",
             "pass:secret"});
        ASSERT_TRUE(writeFile(m_dir.file("locked.pem"),
                              *readFile(cert) + *readFile(m_dir.file("locked.key"))));
    }

    void run(const std::vector<std::string>& argv) {
        ProgramResult r = runProgram(argv);
        ASSERT_EQ(r.exitCode, 0) << argv[1] << ": " << r.err;
    }

    TempDir m_dir{"vantel-stores"};
};

}  // namespace

TEST_F(CredentialsTest, OnlySelectionsWithTlsCanBeOffered) {
    const struct {
        int protocol;
        int error;
        const char* says;
    } cases[] = {
        {0, 0, ""},  // the default, SSL3 | TLS1
        {wrSecureProtocolTLS1, 0, ""},
        {wrSecureProtocolDefault, 0, ""},
        {wrSecureProtocolSSL2 | wrSecureProtocolPCT1 | wrSecureProtocolTLS1, 0, ""},
        {wrSecureProtocolSSL2, wrErrorSecurityCredentials, "SSL 2.0"},
        {wrSecureProtocolSSL3, wrErrorSecurityCredentials, "SSL 3.0"},
        {wrSecureProtocolPCT1, wrErrorSecurityCredentials, "PCT 1.0"},
        {16, wrErrorSecurityCredentials, "only TLS"},  // the SSH bits are not TLS either
    };
    startServer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.protocol);
        std::shared_ptr<SecureCredentials> credentials;
        SetSocketError(0);
        SecureStatus status = acquireClientCredentials(c.protocol, "", "", credentials);
        EXPECT_EQ(status.code, c.error);
        EXPECT_NE(status.message.find(c.says), std::string::npos) << status.message;
        EXPECT_EQ(SocketErrorCode(SocketError()), static_cast<uint32_t>(c.error));
        EXPECT_EQ(credentials != nullptr, c.error == 0);
        if (credentials) {
            SecureClient client;
            EXPECT_EQ(client.connect(m_server->port(), "127.0.0.1", 10, c.protocol), 0);
            EXPECT_EQ(client.channel->info().protocol, wrSecureProtocolTLS1);
        }
    }
}

TEST_F(CredentialsTest, ClientCertificateComesFromEveryKindOfStore) {
    makeStores();
    TlsServerOptions asking;
    asking.askClientCertificate = true;
    startServer(asking);
    const struct {
        const char* store;
        const char* name;
    } cases[] = {
        {"both.pem", "Client One"},
        {"folder", "client one"},
        {"client.p12", "O=Vantel Tests"},
        {"client.bin", "CN=Client One"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.store);
        SecureClient client;
        ASSERT_EQ(client.connect(m_server->port(), "127.0.0.1", 10, 0, m_dir.file(c.store), c.name),
                  0);
        EXPECT_EQ(client.credentials->certificateSubject(), "CN=Client One, O=Vantel Tests, C=NL");
        EXPECT_EQ(client.ask("PEER"), "/C=NL/O=Vantel Tests/CN=Client One");
    }
    // Without a name no certificate is shown, whatever the store.
    SecureClient client;
    ASSERT_EQ(client.connect(m_server->port(), "127.0.0.1", 10, 0, m_dir.file("both.pem"), ""), 0);
    EXPECT_EQ(client.ask("PEER"), "NONE");
}

TEST_F(CredentialsTest, UnusableStoresFailWithTheCredentialsError) {
    makeStores();
    const struct {
        const char* why;
        std::string store;
        const char* name;
        const char* says;
    } cases[] = {
        {"missing store", m_dir.file("nowhere.pem"), "Client One", "not a file or folder"},
        {"no store given: the user's store MY, here missing", "", "Client One",
         "Kestrine/certs/MY"},
        {"nobody of that name", m_dir.file("both.pem"), "Someone Else", "no certificate for"},
        {"certificate without its key", m_dir.file("client.crt"), "Client One", "private key"},
        {"encrypted key", m_dir.file("locked.pem"), "Client One", "private key"},
        {"not a certificate file", m_dir.file("client.key"), "Client One", "no certificate for"},
    };
    ScopedEnv data({{"XDG_DATA_HOME", m_dir.path()}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::shared_ptr<SecureCredentials> credentials;
        SetSocketError(0);
        SecureStatus status = acquireClientCredentials(0, c.store, c.name, credentials);
        EXPECT_EQ(status.code, wrErrorSecurityCredentials);
        EXPECT_NE(status.message.find(c.says), std::string::npos) << status.message;
        EXPECT_EQ(SocketError(), SocketErrorHresult(wrErrorSecurityCredentials));
        EXPECT_EQ(credentials, nullptr);
    }
}

TEST_F(CredentialsTest, AStoreNameIsAFolderOfTheUsersStoresAndAServerNeedsACertificate) {
    makeStores();
    ScopedEnv data({{"XDG_DATA_HOME", m_dir.path()}});
    const std::string certs = m_dir.makeDir("Kestrine") + "/certs";
    ASSERT_TRUE(m_dir.makeDir("Kestrine/certs/MY").size() > 0);
    ASSERT_TRUE(m_dir.makeDir("Kestrine/certs/Web").size() > 0);
    ASSERT_TRUE(writeFile(certs + "/MY/both.pem", *readFile(m_dir.file("both.pem"))));
    std::shared_ptr<SecureCredentials> credentials;
    // An empty store is MY, an empty name its only certificate with a key.
    ASSERT_EQ(acquireServerCredentials(0, "", "", credentials).code, 0);
    EXPECT_EQ(credentials->role(), SecureRole::Server);
    EXPECT_NE(credentials->certificateSubject().find("CN=Client One"), std::string::npos);
    EXPECT_EQ(acquireServerCredentials(0, "MY", "client one", credentials).code, 0);
    // A server shows a certificate or none can be made.
    SecureStatus empty = acquireServerCredentials(0, "Web", "", credentials);
    EXPECT_EQ(empty.code, wrErrorSecurityCredentials);
    EXPECT_EQ(credentials, nullptr);
}
