// ExternalAddress in a script host, against the reference external-address service on
// 127.0.0.1: the cache within a process, the registry after a restart, a "LastUpdated" in the
// future, and the way through a real HTTP proxy (tinyproxy, started here on 127.0.0.1) named by
// the registry or by http_proxy, and past it for a ProxyOverride match.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/registry/registry.h"
#include "tests/kvhost_fixture.h"
#include "tools/testsupport/standin_server.h"

namespace {

const char* const kSettingsKey = "Software\\Oxbrook\\Kestrine\\CurrentVersion\\Settings";
const char* const kInternetKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const kReported = "198.51.100.23";

void setValue(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void setText(const char* path, const char* name, const std::string& text) {
    setValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void setNumber(const char* path, const char* name, uint32_t value) {
    setValue(path, name, REG_DWORD, &value, sizeof value);
}

// A port of 127.0.0.1 that was free a moment ago.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// tinyproxy in the foreground on 127.0.0.1, passing every request on to an upstream HTTP
// proxy: the reference service, which answers absolute request targets as a proxy would. So
// the service host's name is never resolved here and its port may be 80 as the lookup fixes it.
class Tinyproxy {
  public:
    Tinyproxy(const std::string& folder, int upstreamPort) : m_log(folder + "/tinyproxy.log") {
        m_port = freePort();
        std::string config = folder + "/tinyproxy.conf";
        std::ofstream(config) << "Port " << m_port << "\nListen 127.0.0.1\nTimeout 30\n"
                              << "LogFile \"" << m_log << "\"\nLogLevel Info\nMaxClients 8\n"
                              << "Allow 127.0.0.1\nUpstream http 127.0.0.1:" << upstreamPort
                              << "\n";
        SpawnSpec launch;
        launch.argv = {"tinyproxy", "-d", "-c", config};
        launch.newProcessGroup = true;
        if (spawnProgram(launch, m_pid) != 0) {
            m_pid = -1;
            return;
        }
        // Ready when it accepts; it either does so soon or has exited.
        for (int i = 0; i < 200 && !accepts(m_port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~Tinyproxy() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool running() const { return m_pid > 0 && accepts(m_port); }
    int port() const { return m_port; }
    std::string log() const {
        std::ifstream in(m_log);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::string m_log;
    int m_port = 0;
    pid_t m_pid = -1;
};

class KvhostExternal : public KvhostProgram {
  protected:
    void SetUp() override {
        KvhostProgram::SetUp();
        for (const char* name :
             {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "no_proxy", "NO_PROXY"})
            m_env.unset(name);
        ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
        StandinOptions options;
        options.program = VANTEL_XIPV4_PROGRAM;
        options.extraArgs = {"--address", kReported};
        ASSERT_TRUE(m_service.start(options)) << m_service.error();
    }
    std::string direct() const { return "127.0.0.1:" + std::to_string(m_service.httpPort()); }
    int requests() { return m_service.requestCount("/cgi-bin/xipv4.cgi"); }

    StandinServer m_service;
};

}  // namespace

TEST_F(KvhostExternal, CachedInTheProcessThenInTheRegistry) {
    // Nothing configured and nothing cached: empty, and the lookup's error stays behind.
    ProgramResult run = kvhost("? ExternalAddress\n? LastError\n");
    EXPECT_EQ(run.out, "\n0\n") << run.err;

    setText(kSettingsKey, "ExternalAddressServices", direct());
    run = kvhost("? ExternalAddress\n? ExternalAddress\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::string(kReported) + "\n" + kReported + "\n");
    EXPECT_EQ(requests(), 1) << "the second read made no request";

    // A new process: the registry serves it.
    run = kvhost("? ExternalAddress\n");
    EXPECT_EQ(run.out, std::string(kReported) + "\n");
    EXPECT_EQ(requests(), 1);

    // A "LastUpdated" in the future is ignored: a fresh lookup is made.
    setNumber(kSettingsKey, "LastUpdated", static_cast<uint32_t>(std::time(nullptr)) + 7200);
    run = kvhost("? ExternalAddress\n");
    EXPECT_EQ(run.out, std::string(kReported) + "\n");
    EXPECT_EQ(requests(), 2);
    EXPECT_EQ(m_service.lastRequest("/cgi-bin/").substr(0, 33),
              "GET /cgi-bin/xipv4.cgi HTTP/1.0\r\n");
}

TEST_F(KvhostExternal, ThroughARealProxyNamedByTheRegistry) {
    Tinyproxy proxy(m_dir.path(), m_service.httpPort());
    if (!proxy.running()) GTEST_SKIP() << "tinyproxy cannot be started (scripts/install-deps.sh)";
    // The service's name is for the proxy to reach; here it resolves nowhere.
    setText(kSettingsKey, "ExternalAddressServices", "xipv4.example.test");
    setNumber(kInternetKey, "ProxyEnable", 1);
    setText(kInternetKey, "ProxyServer",
            "http=127.0.0.1:" + std::to_string(proxy.port()) + ";ftp=127.0.0.1:1");
    ProgramResult run = kvhost("? ExternalAddress\n");
    EXPECT_EQ(run.out, std::string(kReported) + "\n") << run.err;
    EXPECT_EQ(requests(), 1);
    EXPECT_NE(proxy.log().find("GET http://xipv4.example.test:80/cgi-bin/xipv4.cgi HTTP/1.0"),
              std::string::npos)
        << proxy.log();
    EXPECT_NE(m_service.lastRequest("/cgi-bin/").find("tinyproxy"), std::string::npos)
        << "the proxy's Via header";
}

TEST_F(KvhostExternal, ThroughARealProxyNamedByHttpProxy) {
    Tinyproxy proxy(m_dir.path(), m_service.httpPort());
    if (!proxy.running()) GTEST_SKIP() << "tinyproxy cannot be started (scripts/install-deps.sh)";
    setText(kSettingsKey, "ExternalAddressServices", "xipv4.example.test");
    m_env.set("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()) + "/");
    ProgramResult run = kvhost("? ExternalAddress\n");
    EXPECT_EQ(run.out, std::string(kReported) + "\n") << run.err;
    EXPECT_EQ(requests(), 1);
    EXPECT_NE(proxy.log().find("GET http://xipv4.example.test:80/cgi-bin/xipv4.cgi HTTP/1.0"),
              std::string::npos)
        << proxy.log();
}

TEST_F(KvhostExternal, AProxyOverrideMatchGoesDirect) {
    Tinyproxy proxy(m_dir.path(), m_service.httpPort());
    if (!proxy.running()) GTEST_SKIP() << "tinyproxy cannot be started (scripts/install-deps.sh)";
    setText(kSettingsKey, "ExternalAddressServices", direct());
    setNumber(kInternetKey, "ProxyEnable", 1);
    // An entry without a scheme applies to every port, so only the override keeps it out.
    setText(kInternetKey, "ProxyServer", "127.0.0.1:" + std::to_string(proxy.port()));
    setText(kInternetKey, "ProxyOverride", "*.example.test;127.0.0.*");
    ProgramResult run = kvhost("? ExternalAddress\n");
    EXPECT_EQ(run.out, std::string(kReported) + "\n") << run.err;
    EXPECT_EQ(requests(), 1);
    const std::string head = m_service.lastRequest("/cgi-bin/");
    EXPECT_EQ(head.substr(0, 33), "GET /cgi-bin/xipv4.cgi HTTP/1.0\r\n");
    EXPECT_EQ(head.find("tinyproxy"), std::string::npos) << head;
    EXPECT_EQ(proxy.log().find("GET http://"), std::string::npos) << proxy.log();
}
