#include "winsock/ocx/secure/secure_test_support.h"

#include <algorithm>

TestCa* SecureTest::s_ca = nullptr;
std::string SecureTest::s_setupError;

void SecureTest::SetUpTestSuite() {
    if (s_ca) return;
    s_ca = new TestCa;
    if (!s_ca->create()) s_setupError = s_ca->error();
}

void SecureTest::TearDownTestSuite() {
    delete s_ca;
    s_ca = nullptr;
}

void SecureTest::SetUp() {
    ASSERT_EQ(s_setupError, "");
    ASSERT_TRUE(m_emptyDir.ok());
    m_env = std::make_unique<ScopedEnv>(
        EnvChanges{{"SSL_CERT_FILE", s_ca->caCertFile()}, {"SSL_CERT_DIR", m_emptyDir.path()}});
}

void SecureTest::startServer(TlsServerOptions options) {
    if (options.certFile.empty()) {
        options.certFile = s_ca->server().certFile;
        options.keyFile = s_ca->server().keyFile;
    }
    m_server = std::make_unique<TlsTestServer>();
    ASSERT_TRUE(m_server->start(options)) << m_server->error();
}

int SecureClient::connect(int port, const std::string& target, int timeoutSeconds, int protocol,
                          const std::string& store, const std::string& name) {
    kvsecure::SecureStatus acquired =
        kvsecure::acquireClientCredentials(protocol, store, name, credentials);
    if (!acquired.ok()) return acquired.code;
    if (!transport.connect(port)) return -1;
    channel = std::make_unique<kvsecure::SecureChannel>(credentials, transport);
    return channel->connect(target, timeoutSeconds);
}

bool SecureClient::sendAll(const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        int n = channel->send(reinterpret_cast<const uint8_t*>(data.data() + done),
                              static_cast<int>(data.size() - done), 10);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string SecureClient::receive(size_t want) {
    std::string data;
    uint8_t buffer[20000];
    while (data.size() < want) {
        int n = channel->receive(buffer,
                                 static_cast<int>(std::min(want - data.size(), sizeof buffer)), 10);
        if (n <= 0) break;
        data.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
    }
    return data;
}

std::string SecureClient::ask(const std::string& command) {
    if (!sendAll(command + "\n")) return "(send failed)";
    std::string answer;
    uint8_t byte;
    // One byte at a time, so nothing after the line is taken from the channel.
    while (channel->receive(&byte, 1, 10) == 1 && byte != '\n')
        answer += static_cast<char>(byte);
    return answer;
}
