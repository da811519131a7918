#pragma once
// A peer process for the whole-program stream tests: tests/stream_peer.py, started with
// posix_spawn, listening on 127.0.0.1. Its first line gives the port; its last line, when the
// connection is done, the SHA-256 and byte count of what it sent or received.
//
//   PythonPeer peer({"send", "1048576", "7"});
//   ASSERT_GT(peer.port(), 0) << peer.error();
//   ... a script connects to peer.port() and stores the stream ...
//   PeerDigest sent = peer.finish();   // sent.sha256, sent.count

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct PeerDigest {
    std::string sha256;  // lower-case hex; empty when the peer gave no result
    uint64_t count = 0;
};

class PythonPeer {
  public:
    // Starts python3 stream_peer.py args... and waits for its port (at most startTimeoutMs).
    explicit PythonPeer(const std::vector<std::string>& args, int startTimeoutMs = 15000);
    // Kills the peer if it still runs, and reaps it.
    ~PythonPeer();
    PythonPeer(const PythonPeer&) = delete;
    PythonPeer& operator=(const PythonPeer&) = delete;

    // The port it listens on; 0 when it did not start (error() says why).
    int port() const { return m_port; }
    const std::string& error() const { return m_error; }
    // finish waits for the peer's result line and its end, at most timeoutMs.
    PeerDigest finish(int timeoutMs = 120000);

  private:
    bool readLine(std::string* line, int timeoutMs);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_port = 0;
    std::string m_pending;
    std::string m_error;
};

// sha256OfFile gives the SHA-256 (lower-case hex) of length bytes of path from offset on (0: to
// the end), or "" when the file cannot be read.
std::string sha256OfFile(const std::string& path, uint64_t offset, uint64_t length = 0);
