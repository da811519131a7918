#pragma once
// A bare HTTP/1.0 GET over loopback for tests: one request, then everything the server sends
// until it closes, a read times out or a size cap is reached. It parses nothing it does not have
// to and reports exactly what arrived, so tests can look at broken replies as well.
//
//   LoopbackReply r = loopbackGet(port, "/search/shows?q=girls");
//   EXPECT_EQ(r.outcome, LoopbackOutcome::Closed);
//   EXPECT_EQ(r.status, 200);

#include <cstddef>
#include <string>
#include <string_view>

enum class LoopbackOutcome {
    Closed,         // the server closed the connection (the normal end of an HTTP/1.0 reply)
    Reset,          // the connection was reset
    TimedOut,       // a read waited longer than the time limit
    TooLarge,       // more than maxBytes arrived; the connection was dropped
    ConnectFailed,  // nothing accepted the connection in time
    Error,          // any other socket failure
};

struct LoopbackReply {
    LoopbackOutcome outcome = LoopbackOutcome::Error;
    std::string raw;    // every byte received
    std::string head;   // up to and including the blank line; empty while no blank line came
    std::string body;   // everything after the blank line
    int status = 0;     // the status code of an "HTTP/x.y NNN" first line; 0 without one
    std::string error;  // the failing call, for messages

    bool headComplete() const { return !head.empty(); }
    // Returns the value of the first header line with this name (any letter case), trimmed;
    // "" when there is none.
    std::string header(std::string_view name) const;
};

struct LoopbackRequest {
    std::string target = "/";        // sent as is: encode queries yourself
    std::string host = "127.0.0.1";  // the Host header
    std::string raw;                 // when not empty, sent instead of the built request
    int timeoutMs = 5000;            // for connecting and for each read
    size_t maxBytes = 64u << 20;
};

// Sends "GET target HTTP/1.0" with Host and "Accept: */*" headers to 127.0.0.1:port and reads
// the reply. Never throws; failures are in outcome and error.
LoopbackReply loopbackRequest(int port, const LoopbackRequest& request);
LoopbackReply loopbackGet(int port, const std::string& target, int timeoutMs = 5000,
                          size_t maxBytes = 64u << 20);

// Splits raw reply bytes into head, body and status (used by loopbackRequest; also for replies
// received another way, for example over TLS).
void parseReply(LoopbackReply& reply);

// Percent-encodes a query value: letters, digits and "-._~" pass, every other byte becomes %XX.
std::string queryEscape(std::string_view text);
