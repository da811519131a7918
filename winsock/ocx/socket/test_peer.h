#pragma once
// Loopback peers for the socket layer's tests and benchmark, over plain POSIX sockets (no code
// of the layer): a server on 127.0.0.1 that runs a handler for each connection in a thread of
// its own, a port that refuses, a listener whose queue is full, and plain send/receive loops to
// compare with.
//
//   LoopbackServer server([](PeerConnection& peer) { peer.send("hello"); });
//   connect to 127.0.0.1:server.port() ... the peer sends "hello" and closes.
//
// This header includes no socket header of either kind.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

// One accepted connection, as a handler sees it.
class PeerConnection {
  public:
    PeerConnection(int fd, const std::atomic<bool>& stopping) : m_fd(fd), m_stopping(stopping) {}

    // send writes all of data; false when the connection failed.
    bool send(std::string_view data);
    // receive reads until at least `atLeast` bytes came, the client closed, the server is
    // stopping or timeoutMs passed; returns what came.
    std::string receive(size_t atLeast, int timeoutMs = 10000);
    // receiveUntilClosed reads until the client closes (or the server stops, or timeoutMs).
    std::string receiveUntilClosed(int timeoutMs = 10000);
    // hold keeps the connection open, reading and dropping nothing, until the client closes, the
    // server stops or timeoutMs passes. True when the client closed it.
    bool hold(int timeoutMs = 60000);
    // sink reads and counts everything until the client closes; returns the count.
    uint64_t sink();
    // source sends total bytes in chunks of chunk bytes; false when the client went away.
    bool source(uint64_t total, size_t chunk);

  private:
    int m_fd;
    const std::atomic<bool>& m_stopping;
};

class LoopbackServer {
  public:
    using Handler = std::function<void(PeerConnection&)>;

    // Listens on 127.0.0.1 (a free port) and accepts connections one after another in its
    // thread, running handler for each and closing it afterwards.
    explicit LoopbackServer(Handler handler);
    // Stops accepting, ends the handler that runs (its waits return) and joins the thread.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    bool ok() const { return m_listener >= 0; }
    // The number of connections accepted so far.
    int accepted() const { return m_accepted.load(); }
    // waitHandled waits until count handlers have returned (what they stored is then visible),
    // at most timeoutMs; false when they have not.
    bool waitHandled(int count, int timeoutMs = 10000) const;

  private:
    void run();

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_handled{0};
    std::thread m_thread;
};

// A datagram socket on 127.0.0.1 that sends every datagram it gets back to its sender, in a
// thread of its own, until it is destroyed.
class UdpEcho {
  public:
    UdpEcho();
    ~UdpEcho();
    UdpEcho(const UdpEcho&) = delete;
    UdpEcho& operator=(const UdpEcho&) = delete;

    int port() const { return m_port; }

  private:
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// refusedPort returns a port of 127.0.0.1 that nothing listens on (it was free a moment ago).
int refusedPort();

// A listener that never accepts, with its queue filled by connections of its own, so that a
// further connect neither completes nor fails: the kernel drops its handshake.
class FullListener {
  public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    int port() const { return m_port; }
    // True when a probe connect really stayed pending; tests of a connect that cannot complete
    // skip when it is not so on this system.
    bool blocksConnects() const { return m_blocks; }

  private:
    int m_listener = -1;
    int m_port = 0;
    bool m_blocks = false;
    int m_fillers[8];
    int m_fillerCount = 0;
};

// The plain loops the benchmark compares with: connect to 127.0.0.1:port with blocking POSIX
// sockets and send (or receive) total bytes in chunks of chunk bytes. Return the bytes moved,
// or -1 when the connection failed.
int64_t plainSendLoop(int port, uint64_t total, size_t chunk);
int64_t plainReceiveLoop(int port, uint64_t total, size_t chunk);

// The plain loops the stream benchmark compares with, over blocking POSIX sockets to
// 127.0.0.1:port, each until the peer closes (or the file ends): receive into a new file at
// path (recv and write of chunk bytes); send the file at path with sendfile, or with read and
// send of chunk bytes; read lines with a stdio reader (getline), carriage returns dropped.
// Return the bytes (lines) moved, or -1 when the connection or the file failed.
int64_t plainReceiveToFile(int port, const std::string& path, size_t chunk);
int64_t plainSendFile(int port, const std::string& path);
int64_t plainReadSendFile(int port, const std::string& path, size_t chunk);
int64_t plainReadLines(int port);
