#pragma once
// A SecureTransport over a plain blocking POSIX socket to 127.0.0.1, standing in for the socket
// layer in the secure channel's tests and benchmark. Errors go to the socket layer's error slot
// as the real one's do; a wait can be made to report a cancel (10004).

#include <string>
#include <vector>

#include "winsock/ocx/secure/secure_channel.h"

class TestTransport : public kvsecure::SecureTransport {
  public:
    TestTransport() = default;
    ~TestTransport() override;
    TestTransport(const TestTransport&) = delete;
    TestTransport& operator=(const TestTransport&) = delete;

    // Connects to 127.0.0.1:port; false when that fails.
    bool connect(int port);
    void close();

    int send(const uint8_t* data, int length) override;
    int recv(uint8_t* buffer, int length) override;
    int waitReadable(int timeoutSeconds) override;
    int waitWritable(int timeoutSeconds) override;
    void trace(const std::string& line) override;

    // The wait numbered cancelAt (counting from 1, reads and writes together) and every later
    // one fail as a cancelled wait does: error 10004, result -1. 0 never cancels.
    int cancelAt = 0;
    int waits = 0;
    long long bytesSent = 0;
    long long bytesReceived = 0;
    bool keepTrace = true;
    std::vector<std::string> traceLines;
    int fd() const { return m_fd; }

  private:
    int wait(short events, int timeoutSeconds);

    int m_fd = -1;
};
