#include "tools/testsupport/standin_server.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "tools/testsupport/run_program.h"
#include "tools/testsupport/temp_dir.h"

namespace {

std::string fixture(const std::string& name) {
    return readFile(standinDataDir() + "/" + name).value_or("<missing " + name + ">");
}

// The compact form of a JSON text: white space outside strings dropped, nothing else changed.
std::string compactJson(const std::string& text) {
    std::string out;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            out += c;
            if (c == '\\' && i + 1 < text.size()) {
                out += text[++i];
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
            out += c;
        } else if (c != ' ' && c != '\n' && c != '\r' && c != '\t') {
            out += c;
        }
    }
    return out;
}

// The text between the first start marker and the next end marker, as the renamer scrapes it.
std::string between(const std::string& text, const std::string& start, const std::string& end) {
    size_t from = text.find(start);
    if (from == std::string::npos) return {};
    from += start.size();
    size_t to = text.find(end, from);
    return to == std::string::npos ? std::string() : text.substr(from, to - from);
}

std::string localDate(int daysFromToday) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    tm.tm_mday += daysFromToday;
    tm.tm_hour = 12;  // away from any daylight-saving edge
    std::mktime(&tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

}  // namespace

class StandinTest : public ::testing::Test {
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
    }
    StandinServer& server() { return *s_server; }
    LoopbackReply get(const std::string& target, int timeoutMs = 5000) {
        return s_server->get(target, timeoutMs);
    }

    static StandinServer* s_server;
    static bool s_started;
};

StandinServer* StandinTest::s_server = nullptr;
bool StandinTest::s_started = false;

TEST_F(StandinTest, ServesRecordedRepliesCompactAndByteExact) {
    const struct {
        const char* target;
        std::string expected;
    } cases[] = {
        // Pretty-printed recordings come out compact, in their own member order, raw UTF-8.
        {"/search/shows?q=girls", compactJson(fixture("search-girls-2022.json"))},
        {"/shows/1/episodes", compactJson(fixture("episodes-1-under-the-dome-2022.json"))},
        {"/shows/82/episodes", compactJson(fixture("episodes-82-game-of-thrones-2025.json"))},
        // Compact recordings come out byte for byte.
        {"/search/shows?q=robot", fixture("search-robot-2015.json")},
        {"/shows/1871/episodes", fixture("episodes-1871-mr-robot-2015.json")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        LoopbackReply r = get(c.target);
        ASSERT_EQ(r.outcome, LoopbackOutcome::Closed) << r.error;
        EXPECT_EQ(r.raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
        EXPECT_EQ(r.header("Content-Type"), "application/json; charset=utf-8");
        EXPECT_EQ(r.header("Connection"), "close");
        EXPECT_EQ(r.header("Content-Length"), std::to_string(r.body.size()));
        EXPECT_TRUE(r.body == c.expected) << r.body.substr(0, 200);
        EXPECT_EQ(r.body.find('\n'), std::string::npos);
    }
    // The no-break spaces and dashes stay raw UTF-8, as the service sends them.
    EXPECT_NE(get("/search/shows?q=girls").body.find("\xE2\x80\x94"), std::string::npos);
    EXPECT_NE(get("/shows/82/episodes").body.find("\xC2\xA0"), std::string::npos);
}

TEST_F(StandinTest, SearchRanksTheCatalogShowFirst) {
    const struct {
        const char* query;
        const char* id;
        const char* name;
    } cases[] = {
        {"girls", "139", "Girls"},
        {"robot", "686", "Robot Chicken"},
        {"mr+robot", "1871", "Mr. Robot"},
        {"Mr%2E+Robot", "1871", "Mr. Robot"},
        {"Under+the+Dome", "1", "Under the Dome"},
        {"under%20the%20%20dome", "1", "Under the Dome"},
        {"GAME+OF+THRONES", "82", "Game of Thrones"},
        {"Am%C3%A9lie", "90001", "Am\xC3\xA9lie"},
        {"AM%C3%89LIE", "90001", "Am\xC3\xA9lie"},
        {"Lantern+Hollow", "90002", "Lantern Hollow"},
        {"Meridian+Station", "90003", "Meridian Station"},
        {"Law+%26+Disorder", "90004", "Law &amp; Disorder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        LoopbackReply r = get(std::string("/search/shows?q=") + c.query);
        ASSERT_EQ(r.status, 200);
        EXPECT_EQ(between(r.body, "\"id\":", ","), c.id);
        EXPECT_EQ(between(r.body, "\"name\":\"", "\","), c.name);
        const std::string url = between(r.body, "\"url\":", ",");
        EXPECT_NE(url.find("/shows/" + std::string(c.id) + "/"), std::string::npos) << url;
    }
    for (const char* unknown : {"nothing+like+it", "", "girl"}) {
        LoopbackReply r = get(std::string("/search/shows?q=") + unknown);
        EXPECT_EQ(r.status, 200) << unknown;
        EXPECT_EQ(r.body, "[]") << unknown;
    }
}

TEST_F(StandinTest, AnswersLikeTheServiceToWhatItDoesNotKnow) {
    const struct {
        const char* target;
        int status;
    } cases[] = {
        {"/search/shows", 400},
        {"/shows/999/episodes", 404},
        {"/shows/abc/episodes", 404},
        {"/shows/1/episodes/extra", 404},
        {"/", 404},
    };
    for (const auto& c : cases) {
        LoopbackReply r = get(c.target);
        EXPECT_EQ(r.status, c.status) << c.target;
        EXPECT_EQ(between(r.body, "\"status\":", "}"), std::to_string(c.status)) << c.target;
    }
    LoopbackRequest post;
    post.raw = "POST /search/shows?q=girls HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    EXPECT_EQ(loopbackRequest(server().httpPort(), post).status, 405);
}

TEST_F(StandinTest, DerivedShowsCarryTheirAwkwardCases) {
    std::string amelie = get("/shows/90001/episodes").body;
    EXPECT_EQ(between(amelie, "\"name\":\"", "\","), "Caf\xC3\xA9 Noir");
    EXPECT_NE(amelie.find("\"name\":\"Tom &amp; Jerry\""), std::string::npos);
    EXPECT_EQ(amelie.find("\\u"), std::string::npos);

    std::string specials = get("/shows/90002/episodes").body;
    EXPECT_NE(specials.find("\"season\":1,\"number\":null"), std::string::npos);
    EXPECT_NE(specials.find("\"season\":null,\"number\":null"), std::string::npos);

    // Air dates are relative to the day they are served, so the future stays in the future.
    std::string future = get("/shows/90003/episodes").body;
    EXPECT_EQ(future.find("TODAY"), std::string::npos);
    EXPECT_NE(future.find("\"airdate\":\"" + localDate(-1) + "\""), std::string::npos);
    EXPECT_NE(future.find("\"airdate\":\"" + localDate(30) + "\""), std::string::npos);
    EXPECT_NE(future.find("\"airstamp\":\"" + localDate(1) + "T"), std::string::npos);
}

TEST_F(StandinTest, CountsRequestsByTargetAndKeepsTheirHeads) {
    get("/search/shows?q=girls");
    get("/search/shows?q=robot");
    get("/shows/1/episodes");
    get("/__admin/count");
    EXPECT_EQ(server().requestCount(), 3);
    EXPECT_EQ(server().requestCount("/search/shows"), 2);
    EXPECT_EQ(server().requestCount("/search/shows?q=girls"), 1);
    EXPECT_EQ(server().requestCount("/shows/"), 1);
    EXPECT_EQ(server().requestCount("/nothing"), 0);
    EXPECT_EQ(server().lastRequest("/shows/"),
              "GET /shows/1/episodes HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(server().lastRequest("/search/").rfind("GET /search/shows?q=robot ", 0), 0u);
    EXPECT_EQ(server().lastRequest("/nothing"), "");
    ASSERT_TRUE(server().reset());
    EXPECT_EQ(server().requestCount(), 0);
    EXPECT_EQ(server().lastRequest(), "");
}

TEST_F(StandinTest, ModesApplyToTheirPathsForTheirTimes) {
    ASSERT_TRUE(server().setMode("path=/shows/&status=500&times=2")) << server().error();
    EXPECT_EQ(get("/search/shows?q=girls").status, 200);
    EXPECT_EQ(get("/shows/1/episodes").status, 500);
    EXPECT_EQ(get("/shows/1/episodes").status, 500);
    EXPECT_EQ(get("/shows/1/episodes").status, 200);

    // Without times a mode stays; the longest matching path wins over a general one.
    ASSERT_TRUE(server().setMode("status=503"));
    ASSERT_TRUE(server().setMode("path=/search/shows&ok"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(get("/shows/1/episodes").status, 503);
        EXPECT_EQ(get("/search/shows?q=girls").status, 200);
    }
    // A new mode for the same path replaces the old one.
    ASSERT_TRUE(server().setMode("status=502"));
    EXPECT_EQ(get("/shows/1/episodes").status, 502);
    ASSERT_TRUE(server().clearModes());
    EXPECT_EQ(get("/shows/1/episodes").status, 200);
    // Requests the modes answered are counted like any other.
    EXPECT_EQ(server().requestCount("/shows/"), 8);
}

TEST_F(StandinTest, TooManyRequestsThenTheNormalReply) {
    ASSERT_TRUE(server().setMode("path=/search/shows&status=429&times=2&retry_after=7"));
    for (int i = 0; i < 2; ++i) {
        LoopbackReply r = get("/search/shows?q=girls");
        EXPECT_EQ(r.raw.rfind("HTTP/1.1 429 Too Many Requests\r\n", 0), 0u);
        EXPECT_EQ(r.header("Retry-After"), "7");
    }
    LoopbackReply r = get("/search/shows?q=girls");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("Retry-After"), "");
    EXPECT_TRUE(r.body == compactJson(fixture("search-girls-2022.json")));
}

TEST_F(StandinTest, ReplacesStatusBodyAndLength) {
    const std::string girls = get("/search/shows?q=girls").body;
    ASSERT_TRUE(server().setMode("path=/search/&status=401&keep_body=1&times=1"));
    LoopbackReply r = get("/search/shows?q=girls");
    EXPECT_EQ(r.status, 401);
    EXPECT_TRUE(r.body == girls);

    // Another data file, compacted or raw, or a literal body.
    std::string got2023 = fixture("episodes-82-game-of-thrones-2023.json");
    ASSERT_TRUE(server().setMode("path=/shows/82/&file=episodes-82-game-of-thrones-2023.json"));
    EXPECT_TRUE(get("/shows/82/episodes").body == got2023.substr(0, got2023.size() - 1));
    ASSERT_TRUE(server().setMode("path=/shows/82/&file=episodes-1-under-the-dome-2022.json&raw=1"));
    EXPECT_TRUE(get("/shows/82/episodes").body == fixture("episodes-1-under-the-dome-2022.json"));
    ASSERT_TRUE(server().setMode("path=/shows/82/&body=" + queryEscape("[]")));
    EXPECT_EQ(get("/shows/82/episodes").body, "[]");
    // Files outside the data folder are not served.
    EXPECT_FALSE(server().setMode("file=" + queryEscape("../../CMakeLists.txt")));

    // A wrong or missing length changes nothing about where the body ends: the close does.
    ASSERT_TRUE(server().setMode("path=/search/&content_length=5"));
    r = get("/search/shows?q=girls");
    EXPECT_EQ(r.header("Content-Length"), "5");
    EXPECT_TRUE(r.body == girls);
    ASSERT_TRUE(server().setMode("path=/search/&content_length=none"));
    r = get("/search/shows?q=girls");
    EXPECT_EQ(r.head.find("Content-Length"), std::string::npos);
    EXPECT_TRUE(r.body == girls);
    // In small pieces with pauses, the reply is still the same.
    ASSERT_TRUE(server().setMode("path=/search/&chunk=700&interval=0.002"));
    r = get("/search/shows?q=girls");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body == girls);
    ASSERT_TRUE(server().setMode("path=/search/&delay=0.2"));
    r = get("/search/shows?q=girls");
    EXPECT_EQ(r.outcome, LoopbackOutcome::Closed);
    EXPECT_TRUE(r.body == girls);
}

TEST_F(StandinTest, BrokenRepliesArriveAsDescribed) {
    const struct {
        const char* mode;
        LoopbackOutcome outcome;
        bool headComplete;
        const char* startsWith;
    } cases[] = {
        {"close-early", LoopbackOutcome::Closed, false, ""},
        {"reset", LoopbackOutcome::Reset, false, ""},
        {"close-mid-header", LoopbackOutcome::Closed, false, "HTTP/1.1 200 OK\r\nContent-Ty"},
        {"malformed", LoopbackOutcome::Closed, true, "\x16\x03\x01garbage"},
        {"header-endless&interval=0", LoopbackOutcome::TooLarge, false, "HTTP/1.1 200 OK\r\n"},
        {"header-endless&line=1&interval=0", LoopbackOutcome::TooLarge, false, "HTTP/1.1 200"},
        {"header-endless", LoopbackOutcome::TooLarge, false, "HTTP/1.1 200 OK\r\n"},
        {"body-endless&interval=0", LoopbackOutcome::TooLarge, true, "HTTP/1.1 200 OK\r\n"},
        {"body-endless&chunk=1000", LoopbackOutcome::TooLarge, true, "HTTP/1.1 200 OK\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(server().setMode(std::string("path=/shows/&times=1&") + c.mode));
        // A per-read limit well above the pace of the slow modes: they must keep sending.
        LoopbackReply r = loopbackGet(server().httpPort(), "/shows/1/episodes", 3000, 32 * 1024);
        EXPECT_EQ(r.outcome, c.outcome) << r.error;
        EXPECT_EQ(r.headComplete(), c.headComplete);
        EXPECT_EQ(r.raw.rfind(c.startsWith, 0), 0u) << r.raw.substr(0, 60);
        if (c.outcome != LoopbackOutcome::TooLarge) {
            EXPECT_LT(r.raw.size(), 100u);
        }
        EXPECT_EQ(r.status, std::string(c.startsWith).rfind("HTTP/1.1 200", 0) == 0 ? 200 : 0);
    }
    // Each was one-shot: the next request is answered normally.
    LoopbackReply after = loopbackGet(server().httpPort(), "/shows/1/episodes", 3000, 1 << 20);
    EXPECT_EQ(after.outcome, LoopbackOutcome::Closed);
    EXPECT_EQ(after.status, 200);
    EXPECT_EQ(server().requestCount("/shows/"), 10);
}

TEST_F(StandinTest, StallHoldsUntilTheClientGivesUpWhileOthersAreServed) {
    ASSERT_TRUE(server().setMode("path=/shows/&stall"));
    std::vector<LoopbackReply> stalled(6);
    std::vector<std::thread> clients;
    for (auto& reply : stalled) {
        clients.emplace_back(
            [&reply] { reply = loopbackGet(s_server->httpPort(), "/shows/1/episodes", 1500); });
    }
    // Other requests are answered while those connections hang.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(get("/search/shows?q=girls").status, 200);
    for (auto& client : clients)
        client.join();
    for (const auto& reply : stalled) {
        EXPECT_EQ(reply.outcome, LoopbackOutcome::TimedOut);
        EXPECT_EQ(reply.raw, "");
    }
    EXPECT_EQ(server().requestCount("/shows/"), 6);
}

TEST_F(StandinTest, RedirectsIncludingALoop) {
    ASSERT_TRUE(server().setMode("path=/old&redirect=" +
                                 queryEscape("http://127.0.0.1:{http}/search/shows?q=girls")));
    LoopbackReply r = get("/old/place");
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.header("Location"), server().httpUrl("/search/shows?q=girls"));

    ASSERT_TRUE(server().setMode("path=/old&redirect=" + queryEscape("/moved{path}") +
                                 "&redirect_status=301&location_header=location"));
    r = get("/old/place?x=1");
    EXPECT_EQ(r.status, 301);
    EXPECT_NE(r.head.find("\r\nlocation: /moved/old/place?x=1\r\n"), std::string::npos) << r.head;

    // The built-in loop: two paths sending each other on for ever.
    std::string target = "/__loop/a";
    for (int hop = 0; hop < 8; ++hop) {
        r = get(target);
        ASSERT_EQ(r.status, 302);
        std::string next = r.header("Location");
        EXPECT_EQ(next, hop % 2 == 0 ? "/__loop/b" : "/__loop/a");
        target = next;
    }
    EXPECT_EQ(server().requestCount("/__loop/"), 8);
}

TEST_F(StandinTest, RefusesModesItDoesNotUnderstand) {
    for (const char* bad : {"bogus=1", "status=abc", "stall&close-early", "listener=ftp",
                            "delay=soon", "file=missing-file.json"}) {
        EXPECT_FALSE(server().setMode(bad)) << bad;
        EXPECT_NE(server().error().find("400"), std::string::npos) << bad;
    }
    EXPECT_EQ(get("/shows/1/episodes").status, 200);
}

TEST(StandinServer, StartFailuresLeaveNothingRunning) {
    StandinServer server;
    StandinOptions noData;
    noData.dataDir = "/nonexistent/vantel-data";
    EXPECT_FALSE(server.start(noData));
    EXPECT_FALSE(server.running());
    EXPECT_FALSE(server.error().empty());
    StandinOptions noProgram;
    noProgram.program = "/nonexistent/tvmaze-standin";
    EXPECT_FALSE(server.start(noProgram));
    EXPECT_NE(server.error().find("cannot start"), std::string::npos);
    EXPECT_EQ(server.requestCount(), -1);
}

TEST(StandinServer, StopEndsAndReapsTheProcess) {
    pid_t pid;
    {
        StandinServer server;
        ASSERT_TRUE(server.start()) << server.error();
        pid = server.pid();
        ASSERT_GT(pid, 0);
        EXPECT_EQ(kill(pid, 0), 0);
    }
    // Reaped, not a zombie: the process id no longer exists.
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(StandinServer, ExitsWhenItsStandardInputCloses) {
    // What keeps a crashed test from leaving a server behind: runProgram closes stdin at once.
    ProgramResult r = runProgram(
        {standinProgramPath(), "--data", standinDataDir(), "--exit-on-eof"}, {}, {}, 10000);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("READY http=", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" https=0\n"), std::string::npos) << r.out;
}
