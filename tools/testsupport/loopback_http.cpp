#include "tools/testsupport/loopback_http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string trim(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t\r");
    return begin == std::string_view::npos ? std::string()
                                           : std::string(text.substr(begin, end - begin + 1));
}

bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int n;
    while ((n = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return n > 0;
}

}  // namespace

std::string LoopbackReply::header(std::string_view name) const {
    const std::string wanted = lower(name);
    size_t pos = head.find("\r\n");
    while (pos != std::string::npos && pos + 2 < head.size()) {
        size_t start = pos + 2;
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos) break;
        std::string_view line(head.data() + start, end - start);
        size_t colon = line.find(':');
        if (colon != std::string_view::npos && lower(trim(line.substr(0, colon))) == wanted) {
            return trim(line.substr(colon + 1));
        }
        pos = end;
    }
    return {};
}

void parseReply(LoopbackReply& reply) {
    size_t blank = reply.raw.find("\r\n\r\n");
    if (blank == std::string::npos) {
        reply.head.clear();
        reply.body.clear();
    } else {
        reply.head = reply.raw.substr(0, blank + 4);
        reply.body = reply.raw.substr(blank + 4);
    }
    reply.status = 0;
    if (reply.raw.compare(0, 5, "HTTP/") == 0) {
        size_t space = reply.raw.find(' ');
        size_t lineEnd = reply.raw.find("\r\n");
        if (space != std::string::npos && space < lineEnd) {
            reply.status = std::atoi(reply.raw.c_str() + space + 1);
        }
    }
}

LoopbackReply loopbackGet(int port, const std::string& target, int timeoutMs, size_t maxBytes) {
    LoopbackRequest request;
    request.target = target;
    request.timeoutMs = timeoutMs;
    request.maxBytes = maxBytes;
    return loopbackRequest(port, request);
}

LoopbackReply loopbackRequest(int port, const LoopbackRequest& request) {
    LoopbackReply reply;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        reply.error = std::string("socket: ") + std::strerror(errno);
        return reply;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int soError = 0;
    socklen_t len = sizeof soError;
    if (rc != 0 && (errno != EINPROGRESS || !waitFor(fd, POLLOUT, request.timeoutMs) ||
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0)) {
        reply.outcome = LoopbackOutcome::ConnectFailed;
        reply.error = std::string("connect: ") + std::strerror(soError ? soError : errno);
        close(fd);
        return reply;
    }

    std::string out = request.raw.empty()
                          ? "GET " + request.target + " HTTP/1.0\r\nHost: " + request.host +
                                "\r\nAccept: */*\r\n\r\n"
                          : request.raw;
    size_t sent = 0;
    while (sent < out.size()) {
        if (!waitFor(fd, POLLOUT, request.timeoutMs)) {
            reply.outcome = LoopbackOutcome::TimedOut;
            reply.error = "send: timed out";
            close(fd);
            return reply;
        }
        ssize_t n = send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            reply.outcome = errno == ECONNRESET || errno == EPIPE ? LoopbackOutcome::Reset
                                                                  : LoopbackOutcome::Error;
            reply.error = std::string("send: ") + std::strerror(errno);
            close(fd);
            return reply;
        }
        if (n > 0) sent += static_cast<size_t>(n);
    }

    char buffer[16384];
    while (true) {
        if (!waitFor(fd, POLLIN, request.timeoutMs)) {
            reply.outcome = LoopbackOutcome::TimedOut;
            break;
        }
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) {
            reply.outcome = LoopbackOutcome::Closed;
            break;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            reply.outcome = errno == ECONNRESET ? LoopbackOutcome::Reset : LoopbackOutcome::Error;
            reply.error = std::string("recv: ") + std::strerror(errno);
            break;
        }
        reply.raw.append(buffer, static_cast<size_t>(n));
        if (reply.raw.size() > request.maxBytes) {
            reply.outcome = LoopbackOutcome::TooLarge;
            break;
        }
    }
    close(fd);
    parseReply(reply);
    return reply;
}

std::string queryEscape(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += kHex[c >> 4];
            result += kHex[c & 15];
        }
    }
    return result;
}
