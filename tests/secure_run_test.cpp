// vantel-cli over HTTPS through the real socket control: the service's http address redirecting
// to https ends in a correct rename, and a certificate made out to another host fails the item.
// The stand-in serves TLS with a certificate of a test CA that the control trusts through
// OpenSSL's SSL_CERT_FILE. While the control has no secure channel (Connect answers 12101),
// these tests are skipped, saying so.

#include "tests/cli_run.h"

#include "tools/testsupport/test_ca.h"

namespace {

TestCa* g_ca = nullptr;

class SecureRun : public CliRun {
  protected:
    static void SetUpTestSuite() {
        g_ca = new TestCa;
        ASSERT_TRUE(g_ca->create()) << g_ca->error();
        StandinOptions options;
        options.tlsCertFile = g_ca->server().certFile;
        options.tlsKeyFile = g_ca->server().keyFile;
        startServer(options);
    }
    static void TearDownTestSuite() {
        CliRun::TearDownTestSuite();
        delete g_ca;
        g_ca = nullptr;
    }

    void SetUp() override {
        CliRun::SetUp();
        ASSERT_TRUE(server().setTlsCertificate(g_ca->server().certFile, g_ca->server().keyFile));
        m_env["SSL_CERT_FILE"] = g_ca->caCertFile();
        m_env["SSL_CERT_DIR"] = m_dir.makeDir("no-certificates");
    }

    // Runs the program; skips the test when the control cannot secure a connection at all.
    CliReport runSecure(const std::vector<std::string>& args) {
        CliReport run = runCli(args);
        if (run.logged("(error 12101)")) skipped = true;
        return run;
    }
    bool skipped = false;
};

TEST_F(SecureRun, AnHttpAddressRedirectedToHttpsEndsInARename) {
    touch("tv/Under.the.Dome.S01E02.mkv");
    mode("listener=http&to-https");
    CliReport run = runSecure({dir("tv")});
    if (skipped) GTEST_SKIP() << "the control has no secure channel yet (12101)";
    CliLine line = run.item("Under.the.Dome.S01E02.mkv");
    EXPECT_EQ(line.status, "Done") << run.run.err;
    EXPECT_EQ(line.detail, dir("tv/Under the Dome - 1x02 - The Fire.mkv"));
    // Both requests went to http first, then to https.
    EXPECT_EQ(requests("/search/shows"), 2);
    EXPECT_EQ(requests("/shows/1/episodes"), 2);
    EXPECT_TRUE(run.logged("HTTP: Following 302 redirect..."));
}

TEST_F(SecureRun, ACertificateForAnotherHostFailsTheItem) {
    ASSERT_TRUE(server().setTlsCertificate(g_ca->otherHost().certFile, g_ca->otherHost().keyFile));
    touch("tv/Under.the.Dome.S01E02.mkv");
    CliReport run = runSecure({"--api", server().httpsUrl(), dir("tv")});
    if (skipped) GTEST_SKIP() << "the control has no secure channel yet (12101)";
    EXPECT_EQ(run.item("Under.the.Dome.S01E02.mkv").status, "Failed");
    // The control keeps the connection (a certificate problem is no connect failure); the
    // client reads its status, wrCertificateNoMatch, and refuses to use it.
    EXPECT_TRUE(run.logged("HTTP: The certificate of 127.0.0.1 is not valid (status 2)"))
        << run.run.err;
    EXPECT_EQ(requests("/search/shows"), 0);  // nothing was asked over it
    EXPECT_TRUE(readFile(dir("tv/Under.the.Dome.S01E02.mkv")));
}

}  // namespace
