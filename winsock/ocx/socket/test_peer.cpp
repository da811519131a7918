// Loopback peers over POSIX sockets, for tests and the benchmark.

#include "winsock/ocx/socket/test_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Every wait is cut into steps this long, so a stopping server is noticed.
constexpr int kStepMs = 50;

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

int listenOn(int backlog, int* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address = loopback(0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, backlog) != 0) {
        close(fd);
        return -1;
    }
    *port = boundPort(fd);
    return fd;
}

int connectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address = loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Opens path (flags, close-on-exec; a new file is private) and connects to port; false, with
// nothing left open, when either fails.
bool openAndConnect(const std::string& path, int flags, int port, int* file, int* fd) {
    *file = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (*file < 0) return false;
    *fd = connectTo(port);
    if (*fd >= 0) return true;
    close(*file);
    return false;
}

// Polls fd for events in steps until it is ready, the deadline passes or stopping is set.
bool waitFor(int fd, short events, Clock::time_point deadline, const std::atomic<bool>& stopping) {
    while (!stopping.load() && Clock::now() < deadline) {
        pollfd item{fd, events, 0};
        int ready = poll(&item, 1, kStepMs);
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
    return false;
}

Clock::time_point after(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

}  // namespace

bool PeerConnection::send(std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        if (!waitFor(m_fd, POLLOUT, after(10000), m_stopping)) return false;
        ssize_t n = ::send(m_fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
        if (n > 0) done += static_cast<size_t>(n);
    }
    return true;
}

std::string PeerConnection::receive(size_t atLeast, int timeoutMs) {
    std::string data;
    char buffer[65536];
    Clock::time_point deadline = after(timeoutMs);
    while (data.size() < atLeast && waitFor(m_fd, POLLIN, deadline, m_stopping)) {
        ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        data.append(buffer, static_cast<size_t>(n));
    }
    return data;
}

std::string PeerConnection::receiveUntilClosed(int timeoutMs) {
    return receive(SIZE_MAX, timeoutMs);
}

bool PeerConnection::hold(int timeoutMs) {
    Clock::time_point deadline = after(timeoutMs);
    char buffer[4096];
    while (waitFor(m_fd, POLLIN, deadline, m_stopping)) {
        ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_PEEK);
        if (n == 0) return true;
        if (n < 0) return false;
        // Data stays unread; wait for the close behind it without spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
    return false;
}

uint64_t PeerConnection::sink() {
    std::vector<char> buffer(1 << 20);
    uint64_t total = 0;
    for (;;) {
        if (!waitFor(m_fd, POLLIN, after(60000), m_stopping)) return total;
        ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return total;
        total += static_cast<uint64_t>(n);
    }
}

bool PeerConnection::source(uint64_t total, size_t chunk) {
    std::vector<char> buffer(chunk, 'x');
    while (total > 0) {
        size_t part = total < chunk ? static_cast<size_t>(total) : chunk;
        if (!waitFor(m_fd, POLLOUT, after(60000), m_stopping)) return false;
        ssize_t n = ::send(m_fd, buffer.data(), part, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        total -= static_cast<uint64_t>(n);
    }
    return true;
}

LoopbackServer::LoopbackServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = listenOn(16, &m_port);
    if (m_listener >= 0) m_thread = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() {
    m_stopping.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (m_listener >= 0) close(m_listener);
}

void LoopbackServer::run() {
    while (!m_stopping.load()) {
        if (!waitFor(m_listener, POLLIN, after(kStepMs), m_stopping)) continue;
        int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++m_accepted;
        PeerConnection peer(fd, m_stopping);
        if (m_handler) m_handler(peer);
        close(fd);
        ++m_handled;
    }
}

bool LoopbackServer::waitHandled(int count, int timeoutMs) const {
    Clock::time_point deadline = after(timeoutMs);
    while (m_handled.load() < count) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

UdpEcho::UdpEcho() {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    m_port = boundPort(m_fd);
    m_thread = std::thread([this] {
        char datagram[65536];
        while (waitFor(m_fd, POLLIN, after(600000), m_stopping)) {
            sockaddr_in from{};
            socklen_t size = sizeof from;
            ssize_t n = recvfrom(m_fd, datagram, sizeof datagram, 0,
                                 reinterpret_cast<sockaddr*>(&from), &size);
            if (n >= 0)
                sendto(m_fd, datagram, static_cast<size_t>(n), 0,
                       reinterpret_cast<sockaddr*>(&from), size);
        }
    });
}

UdpEcho::~UdpEcho() {
    m_stopping.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (m_fd >= 0) close(m_fd);
}

int refusedPort() {
    int port = 0;
    int fd = listenOn(1, &port);
    if (fd >= 0) close(fd);
    return port;
}

FullListener::FullListener() {
    m_listener = listenOn(0, &m_port);
    if (m_listener < 0) return;
    // Fill the queue until a connect stays pending; that one is the probe.
    for (int& filler : m_fillers) {
        filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ++m_fillerCount;
        sockaddr_in address = loopback(m_port);
        connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd item{filler, POLLOUT, 0};
        if (poll(&item, 1, 300) == 0) {
            m_blocks = true;
            return;
        }
    }
}

FullListener::~FullListener() {
    for (int i = 0; i < m_fillerCount; ++i)
        close(m_fillers[i]);
    if (m_listener >= 0) close(m_listener);
}

int64_t plainSendLoop(int port, uint64_t total, size_t chunk) {
    int fd = connectTo(port);
    if (fd < 0) return -1;
    std::vector<char> buffer(chunk, 'x');
    uint64_t done = 0;
    while (done < total) {
        size_t part = total - done < chunk ? static_cast<size_t>(total - done) : chunk;
        ssize_t n = ::send(fd, buffer.data(), part, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
    }
    close(fd);
    return static_cast<int64_t>(done);
}

int64_t plainReceiveLoop(int port, uint64_t total, size_t chunk) {
    int fd = connectTo(port);
    if (fd < 0) return -1;
    std::vector<char> buffer(chunk);
    uint64_t done = 0;
    while (done < total) {
        ssize_t n = ::recv(fd, buffer.data(), chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
    }
    close(fd);
    return static_cast<int64_t>(done);
}

int64_t plainReceiveToFile(int port, const std::string& path, size_t chunk) {
    int file, fd;
    if (!openAndConnect(path, O_WRONLY | O_CREAT | O_TRUNC, port, &file, &fd)) return -1;
    std::vector<char> buffer(chunk);
    int64_t done = 0;
    for (;;) {
        ssize_t n = ::recv(fd, buffer.data(), chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (::write(file, buffer.data(), static_cast<size_t>(n)) != n) {
            done = -1;
            break;
        }
        done += n;
    }
    close(fd);
    close(file);
    return done;
}

int64_t plainSendFile(int port, const std::string& path) {
    int file, fd;
    if (!openAndConnect(path, O_RDONLY, port, &file, &fd)) return -1;
    int64_t done = 0;
    for (;;) {
        ssize_t n = ::sendfile(fd, file, nullptr, 1 << 30);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    close(fd);
    close(file);
    return done;
}

int64_t plainReadSendFile(int port, const std::string& path, size_t chunk) {
    int file, fd;
    if (!openAndConnect(path, O_RDONLY, port, &file, &fd)) return -1;
    std::vector<char> buffer(chunk);
    int64_t done = 0;
    for (;;) {
        ssize_t got = ::read(file, buffer.data(), chunk);
        if (got <= 0) break;
        ssize_t sent = 0;
        while (sent < got) {
            ssize_t n =
                ::send(fd, buffer.data() + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            sent += n;
        }
        done += sent;
        if (sent < got) break;
    }
    close(fd);
    close(file);
    return done;
}

int64_t plainReadLines(int port) {
    int fd = connectTo(port);
    if (fd < 0) return -1;
    std::FILE* in = fdopen(fd, "r");
    if (!in) {
        close(fd);
        return -1;
    }
    char* line = nullptr;
    size_t capacity = 0;
    int64_t lines = 0;
    ssize_t n;
    while ((n = getline(&line, &capacity, in)) > 0) {
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = '\0';
        ++lines;
    }
    std::free(line);
    std::fclose(in);
    return lines;
}
