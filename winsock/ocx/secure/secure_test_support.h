#pragma once
// What the secure channel's tests share: one test CA for the whole program, trusted through
// SSL_CERT_FILE (and an empty SSL_CERT_DIR, so the machine's own CAs play no part), and a client
// that connects a channel over a TestTransport.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"
#include "tools/testsupport/test_ca.h"
#include "winsock/ocx/secure/secure_channel.h"
#include "winsock/ocx/secure/test_transport.h"
#include "winsock/ocx/secure/tls_test_server.h"

class SecureTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // Starts server with mode and the certificate files (default: the valid server one).
    void startServer(TlsServerOptions options = {});

    static TestCa* s_ca;
    static std::string s_setupError;
    std::unique_ptr<TlsTestServer> m_server;

  private:
    TempDir m_emptyDir{"vantel-cadir"};
    std::unique_ptr<ScopedEnv> m_env;
};

struct SecureClient {
    TestTransport transport;
    std::shared_ptr<kvsecure::SecureCredentials> credentials;
    std::unique_ptr<kvsecure::SecureChannel> channel;

    // Acquires credentials, connects the transport to port and runs the handshake. Returns the
    // handshake's result, or the credentials' error; -1 when the socket cannot connect.
    int connect(int port, const std::string& target, int timeoutSeconds = 10, int protocol = 0,
                const std::string& store = "", const std::string& name = "");
    // Sends all of data; false on the first failure.
    bool sendAll(const std::string& data);
    // Receives until want bytes came (never more), the peer ended or a failure; returns them.
    std::string receive(size_t want);
    // Sends a command line and returns the answer line (without "\n").
    std::string ask(const std::string& command);
};
