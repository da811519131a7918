// vantel-cli against a server that misbehaves, through the real socket control with a
// one-second time-out: every case ends (the program exits by itself, no crash) with the item
// Failed for the reason the HTTP client traced, or Done where the server recovers. The size
// and redirect guards are what end the endless cases; their trace lines prove which one did.

#include "tests/cli_run.h"

#include "renamer/lookup/lookup_config.h"

namespace {

struct Hostile {
    const char* name;
    const char* mode;   // the stand-in's mode for this case
    const char* trace;  // the HTTP client's line that tells why the request ended
    const char* status;
    const char* prefix;  // the requests counted
    int requests;        // how many the client made (-1: not checked)
};

class HostileServer : public CliRun, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileServer, EndsWithinItsGuards) {
    const Hostile& c = GetParam();
    touch("tv/Under.the.Dome.S01E01.mkv");
    mode(c.mode);
    CliReport run = runCli({dir("tv")});
    CliLine line = run.item("Under.the.Dome.S01E01.mkv");
    EXPECT_EQ(line.status, c.status) << line.detail;
    EXPECT_TRUE(run.logged(c.trace)) << run.run.err;
    if (c.requests >= 0) {
        EXPECT_EQ(requests(c.prefix), c.requests);
    }
    if (std::string(c.status) == "Failed") {
        EXPECT_EQ(run.run.exitCode, 1);
        EXPECT_TRUE(readFile(dir("tv/Under.the.Dome.S01E01.mkv")));
    }
}

// The search ("/search/shows") and the listing ("/shows/") take turns at misbehaving, so both
// stages are seen to survive it.
const Hostile kCases[] = {
    {"NoAnswer", "path=/search/shows&stall&seconds=20",
     "HTTP: Unable to receive data from server (error 10060", "Failed", "/search/shows", 1},
    {"HeaderNeverEnds", "path=/shows/&header-endless&chunk=16384&interval=0",
     "HTTP: The response header is too long", "Failed", "/shows/", 1},
    {"HeaderLineNeverEnds", "path=/search/shows&header-endless&line=1&chunk=16384&interval=0",
     "HTTP: The response header is too long", "Failed", "/search/shows", 1},
    {"BodyNeverEnds", "path=/shows/&body-endless&chunk=65536&interval=0",
     "HTTP: The response body is too long", "Failed", "/shows/", 1},
    {"RedirectLoop", "path=/search/shows&redirect=http://127.0.0.1:{http}{path}",
     "HTTP: Too many redirects (20)", "Failed", "/search/shows", 21},
    {"ServerError", "path=/shows/&status=500", "HTTP: Unhandled return code (500)", "Failed",
     "/shows/", 1},
    {"BusyThenClear", "path=/search/shows&status=429&retry_after=1&times=1",
     "HTTP: Server busy (429), retrying in 1000 ms...", "Done", "/search/shows", 2},
    {"BusyForEver", "path=/shows/&status=429&retry_after=1", "HTTP: Unhandled return code (429)",
     "Failed", "/shows/", 4},
    {"CloseInTheHeader", "path=/search/shows&close-mid-header", "HTTP: Downloaded 0 bytes",
     "Failed", "/search/shows", 1},
    {"CloseBeforeAnswering", "path=/shows/&close-early", "HTTP: Downloaded 0 bytes", "Failed",
     "/shows/", 1},
    {"ConnectionReset", "path=/search/shows&reset", "HTTP: Unable to receive data from server",
     "Failed", "/search/shows", 1},
    {"NotHttp", "path=/shows/&malformed", "HTTP: Unhandled return code (0)", "Failed", "/shows/",
     1},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostileServer, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Hostile>& info) {
                             return std::string(info.param.name);
                         });

// A server that sends its answer a byte at a time never lets one read time out: the deadline of
// the whole request (three seconds here, a minute by default) ends it, the item fails and the
// program's memory stays small.
TEST_F(CliRun, TrickledAnswersEndAtTheRequestDeadline) {
    m_env[vantel::kHttpDeadlineVariable] = "3";
    touch("tv/Under.the.Dome.S01E01.mkv");
    struct {
        const char* mode;
        const char* prefix;
    } cases[] = {{"path=/search/shows&header-endless&chunk=1&interval=0.3", "/search/shows"},
                 {"path=/shows/&body-endless&chunk=1&interval=0.3", "/shows/"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(server().reset()) << server().error();
        mode(c.mode);
        CliReport run = runCli({dir("tv")});
        EXPECT_EQ(run.item("Under.the.Dome.S01E01.mkv").status, "Failed") << c.mode;
        EXPECT_EQ(run.run.exitCode, 1) << c.mode;
        EXPECT_TRUE(run.logged("HTTP: The request timed out (no complete answer within 3 s)"))
            << run.run.err;
        EXPECT_EQ(requests(c.prefix), 1) << c.mode;
        EXPECT_LT(run.run.maxRssKb, 256 * 1024) << c.mode;
    }
}

// A service that keeps answering 429 with a long pause costs one request, not minutes per
// file: a pause longer than a request may wait is not waited, and the next file of the same
// show fails at once with the same line, without asking the service again.
TEST_F(CliRun, ABusyServiceIsNotAskedAgainUntilItsPauseHasPassed) {
    touch("tv/Under.the.Dome.S01E01.mkv");
    touch("tv/Under.the.Dome.S01E02.mkv");
    mode("path=/search/shows&status=429&retry_after=600");
    CliReport run = runCli({dir("tv")});
    EXPECT_EQ(run.item("Under.the.Dome.S01E01.mkv").status, "Failed");
    EXPECT_EQ(run.item("Under.the.Dome.S01E02.mkv").status, "Failed");
    EXPECT_EQ(requests("/search/shows"), 1);
    const std::string line = "HTTP: Unhandled return code (429)";
    size_t count = 0;
    for (size_t at = run.run.err.find(line); at != std::string::npos;
         at = run.run.err.find(line, at + 1))
        ++count;
    EXPECT_GE(count, 2u) << run.run.err;
    EXPECT_FALSE(run.logged("HTTP: Server busy (429)")) << run.run.err;
}

TEST_F(CliRun, NobodyListeningFailsTheItemAtOnce) {
    touch("tv/Under.the.Dome.S01E01.mkv");
    // A port of the loopback on which nothing listens: the stand-in's, once it has been stopped,
    // is not safe to assume, so use the discard port, which no test machine serves.
    m_env["VANTEL_API_BASE"] = "http://127.0.0.1:9";
    CliReport run = runCli({dir("tv")});
    EXPECT_EQ(run.item("Under.the.Dome.S01E01.mkv").status, "Failed");
    EXPECT_TRUE(run.logged("HTTP: Unable to connect to 127.0.0.1 (error 10061)")) << run.run.err;
}

}  // namespace
