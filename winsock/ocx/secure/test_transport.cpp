#include "winsock/ocx/secure/test_transport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "winsock/ocx/base/error_slot.h"

namespace {

// The few Windows numbers the tests meet; the real mapping belongs to the network library.
uint32_t windowsError(int error) {
    switch (error) {
        case ECONNRESET:
            return 10054;
        case EPIPE:
            return 10058;
        case EAGAIN:
            return 10035;
        default:
            return 10000 + static_cast<uint32_t>(error);
    }
}

}  // namespace

TestTransport::~TestTransport() {
    close();
}

bool TestTransport::connect(int port) {
    close();
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

void TestTransport::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int TestTransport::send(const uint8_t* data, int length) {
    ssize_t n = ::send(m_fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n < 0) {
        if (errno == EAGAIN) return 0;
        SetSocketError(windowsError(errno));
        return -1;
    }
    bytesSent += n;
    return static_cast<int>(n);
}

int TestTransport::recv(uint8_t* buffer, int length) {
    ssize_t n = ::recv(m_fd, buffer, static_cast<size_t>(length), 0);
    if (n < 0) {
        SetSocketError(windowsError(errno));
        return -1;
    }
    bytesReceived += n;
    return static_cast<int>(n);
}

int TestTransport::wait(short events, int timeoutSeconds) {
    ++waits;
    if (cancelAt > 0 && waits >= cancelAt) {
        SetSocketError(10004);
        return -1;
    }
    pollfd p{m_fd, events, 0};
    int ready = poll(&p, 1, timeoutSeconds > 0 ? timeoutSeconds * 1000 : -1);
    if (ready < 0) SetSocketError(windowsError(errno));
    return ready;
}

int TestTransport::waitReadable(int timeoutSeconds) {
    return wait(POLLIN, timeoutSeconds);
}

int TestTransport::waitWritable(int timeoutSeconds) {
    return wait(POLLOUT, timeoutSeconds);
}

void TestTransport::trace(const std::string& line) {
    if (keepTrace) traceLines.push_back(line);
}
