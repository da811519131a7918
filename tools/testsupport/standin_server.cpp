#include "tools/testsupport/standin_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "tools/testsupport/run_program.h"

namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Reads the first line the server prints, within the time limit. False when the server closed
// its output or the time ran out; text then holds whatever came.
bool readLine(int fd, int timeoutMs, std::string& text) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        char buffer[256];
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        text.append(buffer, static_cast<size_t>(got));
    }
    text.resize(text.find('\n'));
    return true;
}

}  // namespace

std::string standinProgramPath() {
    if (const char* fromEnv = std::getenv("VANTEL_STANDIN"); fromEnv && *fromEnv) return fromEnv;
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto beside = self.parent_path() / "tvmaze-standin";
        if (std::filesystem::exists(beside, ec)) return beside.string();
    }
    return VANTEL_STANDIN_PROGRAM;
}

std::string standinDataDir() {
    if (const char* fromEnv = std::getenv("VANTEL_STANDIN_DATA"); fromEnv && *fromEnv) {
        return fromEnv;
    }
    return VANTEL_STANDIN_DATA_DIR;
}

StandinServer::~StandinServer() {
    stop();
}

bool StandinServer::start(const StandinOptions& options) {
    stop();
    m_error.clear();
    std::vector<std::string> argv = {
        options.program.empty() ? standinProgramPath() : options.program, "--data",
        options.dataDir.empty() ? standinDataDir() : options.dataDir, "--exit-on-eof"};
    if (!options.tlsCertFile.empty()) {
        argv.insert(argv.end(),
                    {"--tls-cert", options.tlsCertFile, "--tls-key", options.tlsKeyFile});
    }
    argv.insert(argv.end(), options.extraArgs.begin(), options.extraArgs.end());

    // Both pipes are close-on-exec on our side, so no other child of the test inherits them:
    // the server's standard input then closes exactly when this object (or the test) goes.
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        m_error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        m_error = std::string("pipe: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return false;
    }
    SpawnSpec launch;
    launch.argv = argv;
    launch.stdinFd = in[0];
    launch.stdoutFd = out[1];
    pid_t pid = -1;
    int rc = spawnProgram(launch, pid);
    close(in[0]);
    close(out[1]);
    if (rc != 0) {
        m_error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        close(in[1]);
        close(out[0]);
        return false;
    }
    m_pid = pid;
    m_stdinFd = in[1];
    m_stdoutFd = out[0];

    std::string line;
    bool gotLine = readLine(m_stdoutFd, options.startTimeoutMs, line);
    int http = 0, https = 0;
    if (!gotLine || std::sscanf(line.c_str(), "READY http=%d https=%d", &http, &https) != 2 ||
        http <= 0) {
        m_error = "the stand-in " + argv[0] + " did not get ready (it said: \"" + line + "\")";
        stop();
        return false;
    }
    m_httpPort = http;
    m_httpsPort = https;
    return true;
}

void StandinServer::stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(m_pid, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (done == 0) {
            kill(m_pid, SIGKILL);
            while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    m_pid = -1;
    closeFd(m_stdinFd);
    closeFd(m_stdoutFd);
    m_httpPort = 0;
    m_httpsPort = 0;
}

std::string StandinServer::httpUrl(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(m_httpPort) + target;
}

std::string StandinServer::httpsUrl(const std::string& target, const std::string& host) const {
    return "https://" + host + ":" + std::to_string(m_httpsPort) + target;
}

LoopbackReply StandinServer::get(const std::string& target, int timeoutMs) const {
    return loopbackGet(m_httpPort, target, timeoutMs);
}

bool StandinServer::admin(const std::string& target, LoopbackReply& reply) {
    if (!running()) {
        m_error = "the stand-in is not running";
        return false;
    }
    reply = get(target);
    if (reply.outcome != LoopbackOutcome::Closed || reply.status != 200) {
        m_error = "admin request " + target + " failed: status " + std::to_string(reply.status) +
                  " " + reply.error + " " + reply.body;
        return false;
    }
    return true;
}

bool StandinServer::setMode(const std::string& query) {
    LoopbackReply reply;
    return admin("/__admin/mode?" + query, reply);
}

bool StandinServer::reset() {
    LoopbackReply reply;
    return admin("/__admin/reset", reply);
}

int StandinServer::requestCount(const std::string& prefix) {
    LoopbackReply reply;
    if (!admin("/__admin/count?prefix=" + queryEscape(prefix), reply)) return -1;
    // The reply is {"count": N, ...}; only the number is needed.
    size_t at = reply.body.find("\"count\":");
    if (at == std::string::npos) {
        m_error = "no count in " + reply.body;
        return -1;
    }
    return std::atoi(reply.body.c_str() + at + 8);
}

std::string StandinServer::lastRequest(const std::string& prefix) {
    LoopbackReply reply = get("/__admin/last?prefix=" + queryEscape(prefix));
    return reply.status == 200 ? reply.body : std::string();
}

bool StandinServer::setTlsCertificate(const std::string& certFile, const std::string& keyFile) {
    LoopbackReply reply;
    return admin("/__admin/tls?cert=" + queryEscape(certFile) + "&key=" + queryEscape(keyFile),
                 reply);
}
