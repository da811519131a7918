#include "renamer/http/modhttp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "renamer/http/fake_wirran.h"
#include "tools/testsupport/standin_server.h"

namespace vantel {

namespace {

using modHTTP::GetData;

class GetDataTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_server = new StandinServer;
        s_started = s_server->start();
    }
    static void TearDownTestSuite() {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_started) << s_server->error();
        ASSERT_TRUE(s_server->reset()) << s_server->error();
        modHTTP::ResetLastHost();
        modHTTP::SetLimits({});
        modHTTP::SetTraceHook(
            [this](const std::string& text, int level) { m_trace.push_back(text); });
    }
    void TearDown() override {
        modHTTP::SetTraceHook(nullptr);
        modHTTP::SetLimits({});
    }

    StandinServer& server() { return *s_server; }
    void mode(const std::string& query) {
        ASSERT_TRUE(server().setMode(query)) << server().error();
    }

    std::string get(std::string url, std::string* error = nullptr) {
        return GetData(url, m_host, "", error);
    }
    std::string getTarget(const std::string& target) { return get(server().httpUrl(target)); }
    // What the stand-in sends for target, read without the client under test.
    std::string directBody(const std::string& target) { return server().get(target).body; }

    bool traced(const std::string& text) const {
        return std::find(m_trace.begin(), m_trace.end(), text) != m_trace.end();
    }
    bool tracedPrefix(const std::string& prefix) const {
        return std::any_of(m_trace.begin(), m_trace.end(),
                           [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
    }
    const std::vector<std::string>& calls() const { return m_host.wirran->calls(); }

    static StandinServer* s_server;
    static bool s_started;
    FakeHost m_host;
    std::vector<std::string> m_trace;
};

StandinServer* GetDataTest::s_server = nullptr;
bool GetDataTest::s_started = false;

TEST_F(GetDataTest, SendsEachRequestLineByItsOwnWrite) {
    std::string body = getTarget("/search/shows?q=a+b");
    EXPECT_EQ(body, "[]");

    const std::string head =
        "GET /search/shows?q=a+b HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
    EXPECT_EQ(server().lastRequest("/search/shows"), head);
    EXPECT_EQ(m_host.wirran->writes(),
              (std::vector<std::string>{"GET /search/shows?q=a+b HTTP/1.0\r\n",
                                        "Host: 127.0.0.1\r\n", "Accept: */*\r\n", "\r\n"}));
    // Properties first, in this order, then one connection that is closed at the end.
    const std::vector<std::string> start(calls().begin(), calls().begin() + 5);
    EXPECT_EQ(start, (std::vector<std::string>{
                         "AutoResolve=0", "Blocking=-1", "Timeout=4", "Secure=0",
                         "Connect 127.0.0.1:" + std::to_string(server().httpPort())}));
    EXPECT_EQ(calls().back(), "Disconnect");
    EXPECT_FALSE(m_host.wirran->connected());
    EXPECT_TRUE(traced("HTTP: Connecting to 127.0.0.1..."));
    EXPECT_TRUE(traced("HTTP: Downloaded 2 bytes"));
}

TEST_F(GetDataTest, SendsACookieLineWhenGiven) {
    std::string url = server().httpUrl("/search/shows?q=x");
    GetData(url, m_host, "session=1", nullptr);
    EXPECT_EQ(server().lastRequest("/search/shows"),
              "GET /search/shows?q=x HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
              "Cookie: session=1\r\n\r\n");
    EXPECT_EQ(m_host.wirran->writes().size(), 5u);
}

TEST_F(GetDataTest, ReturnsTheBodyBytesUnchanged) {
    // The reply holds raw UTF-8 ("Am\xC3\xA9lie"); it comes back byte for byte.
    const std::string target = "/search/shows?q=am%C3%A9lie";
    std::string body = getTarget(target);
    EXPECT_NE(body.find("Am\xC3\xA9lie"), std::string::npos);
    EXPECT_EQ(body, directBody(target));
    EXPECT_GT(m_host.pumps, 1);  // after connecting and after every chunk
}

TEST_F(GetDataTest, HeaderSpreadOverManyReads) {
    const std::string target = "/search/shows?q=under+the+dome";
    const std::string expected = directBody(target);
    mode("path=/search/&chunk=16&interval=0.001&times=1");
    EXPECT_EQ(getTarget(target), expected);
    EXPECT_GT(m_host.wirran->count("Read"), 10);
}

TEST_F(GetDataTest, AcceptedAndRefusedStatuses) {
    struct Case {
        int status;
        bool body;
    } cases[] = {{200, true}, {204, true}, {401, true}, {304, false}, {404, false}, {500, false}};
    for (const Case& c : cases) {
        m_trace.clear();
        mode("path=/shows/&keep_body=1&status=" + std::to_string(c.status));
        std::string body = getTarget("/shows/1/episodes");
        std::string unhandled = "HTTP: Unhandled return code (" + std::to_string(c.status) + ")";
        if (c.body) {
            EXPECT_FALSE(body.empty()) << c.status;
            EXPECT_FALSE(traced(unhandled)) << c.status;
        } else {
            EXPECT_EQ(body, "") << c.status;
            EXPECT_TRUE(traced(unhandled)) << c.status;
        }
        EXPECT_EQ(calls().back(), "Disconnect") << c.status;
    }
}

TEST_F(GetDataTest, ContentLengthOnlyChangesTheProgressTrace) {
    const std::string target = "/shows/1/episodes";
    const std::string expected = directBody(target);
    mode("path=/shows/&content_length=5&times=1");
    EXPECT_EQ(getTarget(target), expected);
    EXPECT_TRUE(tracedPrefix("HTTP: Got ")) << "progress";
    EXPECT_TRUE(traced("HTTP: Got " + std::to_string(expected.size()) + " of 5 bytes"));

    m_trace.clear();
    mode("path=/shows/&content_length=none&times=1");
    EXPECT_EQ(getTarget(target), expected);
    EXPECT_TRUE(traced("HTTP: Got " + std::to_string(expected.size()) + " bytes"));
}

TEST_F(GetDataTest, FollowsAbsoluteAndPathOnlyRedirects) {
    const std::string expected = directBody("/shows/82/episodes");
    mode("path=/search/shows&redirect=" + queryEscape("http://127.0.0.1:{http}/shows/82/episodes") +
         "&times=1");
    std::string url = server().httpUrl("/search/shows?q=x");
    EXPECT_EQ(GetData(url, m_host, "", nullptr), expected);
    EXPECT_EQ(url, server().httpUrl("/shows/82/episodes"));  // the URL followed last
    EXPECT_TRUE(traced("HTTP: Following 302 redirect..."));
    EXPECT_EQ(m_host.wirran->count("Connect"), 2);
    EXPECT_EQ(m_host.wirran->count("Disconnect"), 2);

    // A bare path goes to the last host; the header name is matched in any case.
    m_trace.clear();
    mode(
        "path=/search/shows&redirect=/shows/82/episodes&location_header=LOCATION"
        "&redirect_status=301&times=1");
    url = server().httpUrl("/search/shows?q=y");
    EXPECT_EQ(GetData(url, m_host, "", nullptr), expected);
    EXPECT_EQ(url, "/shows/82/episodes");
    EXPECT_TRUE(traced("HTTP: Following 301 redirect..."));
}

TEST_F(GetDataTest, RedirectWithoutLocationAndRedirectLoops) {
    mode("path=/search/shows&redirect=/x&location_header=X-Elsewhere&times=1");
    EXPECT_EQ(getTarget("/search/shows?q=x"), "");
    EXPECT_TRUE(traced("HTTP: Unhandled return code (302)"));

    // The stand-in's two loop paths redirect to each other for ever: 20 redirects, then stop.
    m_trace.clear();
    EXPECT_EQ(getTarget("/__loop/a"), "");
    EXPECT_TRUE(traced("HTTP: Too many redirects (20)"));
    EXPECT_EQ(server().requestCount("/__loop/"), 21);
    EXPECT_FALSE(m_host.wirran->connected());
}

TEST_F(GetDataTest, HeaderAndBodySizeLimits) {
    const std::string target = "/shows/1/episodes";
    const LoopbackReply direct = server().get(target);
    // The header block the client keeps ends with the CR LF of its last line.
    const size_t header = direct.head.size() - 2;
    const size_t body = direct.body.size();
    struct Case {
        size_t max_header, max_body;
        bool ok;
    } cases[] = {
        {header, body, true},
        {header - 1, body, false},
        {header, body - 1, false},
    };
    for (const Case& c : cases) {
        modHTTP::Limits limits;
        limits.max_header_bytes = c.max_header;
        limits.max_body_bytes = c.max_body;
        modHTTP::SetLimits(limits);
        EXPECT_EQ(getTarget(target), c.ok ? direct.body : "") << c.max_header << " " << c.max_body;
    }
}

TEST_F(GetDataTest, EndlessRepliesStopAtTheDefaultLimits) {
    mode("path=/shows/&header-endless&chunk=8192&interval=0&times=1");
    EXPECT_EQ(getTarget("/shows/1/episodes"), "");
    EXPECT_TRUE(traced("HTTP: The response header is too long"));

    mode("path=/shows/&header-endless&line=1&chunk=8192&interval=0&times=1");
    EXPECT_EQ(getTarget("/shows/1/episodes"), "");

    m_trace.clear();
    mode("path=/shows/&body-endless&chunk=65536&interval=0&times=1");
    EXPECT_EQ(getTarget("/shows/1/episodes"), "");
    EXPECT_TRUE(traced("HTTP: The response body is too long"));
    EXPECT_FALSE(m_host.wirran->connected());
}

TEST_F(GetDataTest, RetriesWhenTheServiceIsBusy) {
    const std::string target = "/shows/1/episodes";
    const std::string expected = directBody(target);
    const int before = server().requestCount("/shows/");
    mode("path=/shows/&status=429&retry_after=0&times=2");
    EXPECT_EQ(getTarget(target), expected);
    EXPECT_EQ(server().requestCount("/shows/") - before, 3);
    EXPECT_EQ(
        std::count(m_trace.begin(), m_trace.end(), "HTTP: Server busy (429), retrying in 0 ms..."),
        2);

    // A pause asked for is waited out while the interface keeps running.
    m_trace.clear();
    int pumpsBefore = m_host.pumps;
    mode("path=/shows/&status=429&retry_after=1&times=1");
    EXPECT_EQ(getTarget(target), expected);
    EXPECT_TRUE(traced("HTTP: Server busy (429), retrying in 1000 ms..."));
    EXPECT_GE(m_host.pumps - pumpsBefore, 3);
}

TEST_F(GetDataTest, GivesUpWhenTheServiceStaysBusy) {
    modHTTP::Limits limits;
    limits.busy_wait_ms = 5;  // no Retry-After: 5, 10, 15 ms
    modHTTP::SetLimits(limits);
    mode("path=/shows/&status=429");
    EXPECT_EQ(getTarget("/shows/1/episodes"), "");
    EXPECT_EQ(server().requestCount("/shows/"), 4);  // the first try and three retries
    EXPECT_TRUE(traced("HTTP: Server busy (429), retrying in 5 ms..."));
    EXPECT_TRUE(traced("HTTP: Server busy (429), retrying in 15 ms..."));
    EXPECT_TRUE(traced("HTTP: Unhandled return code (429)"));
}

TEST_F(GetDataTest, ReadTimeOutOnAStalledServer) {
    modHTTP::Limits limits;
    limits.timeout_seconds = 1;
    modHTTP::SetLimits(limits);
    mode("path=/shows/&stall&seconds=10&times=1");
    EXPECT_EQ(getTarget("/shows/1/episodes"), "");
    EXPECT_TRUE(
        traced("HTTP: Unable to receive data from server (error 10060"
               "The specified operation has timed out)"));
    EXPECT_EQ(calls().back(), "Disconnect");
}

TEST_F(GetDataTest, BrokenReplies) {
    for (const char* broken : {"close-early", "close-mid-header", "malformed", "reset"}) {
        mode(std::string("path=/shows/&times=1&") + broken);
        EXPECT_EQ(getTarget("/shows/1/episodes"), "") << broken;
        EXPECT_FALSE(m_host.wirran->connected()) << broken;
    }
}

TEST_F(GetDataTest, ConnectFailureIssuesNoDisconnect) {
    // A port on which nothing listens: the server's own port, after it is known to be free.
    StandinServer gone;
    ASSERT_TRUE(gone.start()) << gone.error();
    const std::string url = gone.httpUrl("/shows/1/episodes");
    gone.stop();
    EXPECT_EQ(get(url), "");
    EXPECT_TRUE(traced("HTTP: Unable to connect to 127.0.0.1 (error 10061)"));
    EXPECT_EQ(m_host.wirran->count("Disconnect"), 0);
}

TEST_F(GetDataTest, SecureRequests) {
    // This control cannot secure a channel: the request ends before connecting.
    EXPECT_EQ(get("https://127.0.0.1:" + std::to_string(server().httpPort()) + "/shows/1/episodes"),
              "");
    EXPECT_TRUE(traced("HTTP: Unable to initialize security interface"));
    EXPECT_EQ(m_host.wirran->count("Connect"), 0);

    // A channel whose certificate is not valid is dropped before anything is sent.
    const std::string url =
        "https://127.0.0.1:" + std::to_string(server().httpPort()) + "/shows/1/episodes";
    m_host.wirran->pretendSecure(5);  // wrCertificateUntrusted
    EXPECT_EQ(get(url), "");
    EXPECT_TRUE(traced("HTTP: The certificate of 127.0.0.1 is not valid (status 5)"));
    EXPECT_EQ(m_host.wirran->writes().size(), 0u);
    EXPECT_EQ(calls().back(), "Disconnect");
    EXPECT_EQ(server().requestCount("/shows/"), 0);

    m_host.wirran->pretendSecure(1);  // wrCertificateValid
    EXPECT_EQ(get(url), directBody("/shows/1/episodes"));
}

TEST_F(GetDataTest, InvalidAddressesAndAMissingControl) {
    for (const char* url : {"ftp://127.0.0.1/x", "http://127.0.0.1:0/x", "/no/host/yet"}) {
        m_trace.clear();
        std::string error = "stale";
        EXPECT_EQ(get(url, &error), "") << url;
        EXPECT_EQ(error, "") << url;
        EXPECT_TRUE(traced("HTTP: The specified address is invalid")) << url;
    }
    EXPECT_TRUE(calls().empty());

    m_host.hostsControl = false;
    std::string error;
    EXPECT_EQ(get(server().httpUrl("/shows/1/episodes"), &error), "");
    EXPECT_EQ(error, "The control Wirran1 is not available");
}

TEST(URLEncode, Table) {
    struct Case {
        const char *text, *want;
    } cases[] = {
        {"Doctor Who (2005)", "Doctor+Who+%282005%29"},
        {"a+b", "a%2Bb"},
        {"AZaz09", "AZaz09"},
        {"-._~&=/", "%2D%2E%5F%7E%26%3D%2F"},
        {"Am\xC3\xA9lie", "Am%C3%A9lie"},  // each byte of the UTF-8 form
        {"\x01\x7F", "%01%7F"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(modHTTP::URLEncode(c.text), c.want) << c.text;
}

}  // namespace

}  // namespace vantel
