#pragma once
// The TVmaze stand-in as a child process of a test: started on free loopback ports, driven
// through its admin paths, stopped (and reaped) when the object goes.
//
//   StandinServer server;
//   ASSERT_TRUE(server.start()) << server.error();
//   std::string base = server.httpUrl();                 // "http://127.0.0.1:PORT"
//   server.setMode("path=/search/shows&status=429&times=2&retry_after=1");
//   ... run the code under test against base ...
//   EXPECT_EQ(server.requestCount("/search/shows"), 3);
//
// Modes (see tools/tvmaze_standin/standin.py --help): path=PREFIX, times=K, listener=, ok,
// delay=S, status=N, retry_after=N, keep_body=1, file=NAME, raw=1, body=TEXT,
// content_length=N|none, chunk=B, interval=S, stall, close-early, reset, close-mid-header,
// header-endless, body-endless, malformed, redirect=URL, to-https, not-tls. Values in the query
// must be percent-encoded (queryEscape in loopback_http.h).

#include <sys/types.h>

#include <string>
#include <vector>

#include "tools/testsupport/loopback_http.h"

struct StandinOptions {
    std::string program;      // the stand-in; empty: standinProgramPath()
    std::string dataDir;      // its data folder; empty: standinDataDir()
    std::string tlsCertFile;  // with tlsKeyFile: also listen with TLS
    std::string tlsKeyFile;
    std::vector<std::string> extraArgs;
    int startTimeoutMs = 15000;  // for the READY line
};

class StandinServer {
  public:
    StandinServer() = default;
    // Stops the server if it runs.
    ~StandinServer();
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    // Starts the stand-in and waits for its READY line. False (with error()) when it cannot be
    // started, exits, or is not ready in time; nothing is left running then.
    bool start(const StandinOptions& options = {});
    // Stops it: SIGTERM, then SIGKILL after a grace period; always reaps it.
    void stop();

    bool running() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    int httpPort() const { return m_httpPort; }
    int httpsPort() const { return m_httpsPort; }  // 0 without TLS
    // "http://127.0.0.1:PORT" + target, and the https one ("https://HOST:PORT" + target).
    std::string httpUrl(const std::string& target = "") const;
    std::string httpsUrl(const std::string& target = "",
                         const std::string& host = "127.0.0.1") const;

    // Sets a mode from a query such as "path=/shows/&stall&times=1". False when the server
    // refuses it (unknown parameter, bad number) or cannot be reached; error() says why.
    bool setMode(const std::string& query);
    // Drops every mode; counts are kept.
    bool clearModes() { return setMode("clear"); }
    // Forgets counts, the request log and every mode.
    bool reset();
    // Number of requests (admin ones excluded) whose target starts with prefix; -1 on failure.
    int requestCount(const std::string& prefix = "");
    // The raw head (request line and headers) of the last request whose target starts with
    // prefix; "" when there was none or on failure.
    std::string lastRequest(const std::string& prefix = "");
    // Serves this certificate and key on the TLS port from the next connection on.
    bool setTlsCertificate(const std::string& certFile, const std::string& keyFile);

    // A plain GET of target on the HTTP port (admin paths included).
    LoopbackReply get(const std::string& target, int timeoutMs = 5000) const;

    const std::string& error() const { return m_error; }

  private:
    bool admin(const std::string& target, LoopbackReply& reply);

    pid_t m_pid = -1;
    int m_stdinFd = -1;   // our end of its standard input: closing it tells the server to go
    int m_stdoutFd = -1;  // our end of its standard output (only the READY line comes there)
    int m_httpPort = 0;
    int m_httpsPort = 0;
    std::string m_error;
};

// Where the stand-in program is: $VANTEL_STANDIN when set, else "tvmaze-standin" beside the
// running executable when it exists there, else the path the build configured.
std::string standinProgramPath();
// The project's recorded and derived TVmaze replies (tests/data/tvmaze), or $VANTEL_STANDIN_DATA.
std::string standinDataDir();
