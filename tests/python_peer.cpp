#include "tests/python_peer.h"

#include <openssl/evp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

extern char** environ;

PythonPeer::PythonPeer(const std::vector<std::string>& args, int startTimeoutMs) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        m_error = "no pipe";
        return;
    }
    std::vector<std::string> argv = {"python3", STREAM_PEER_SCRIPT};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    int rc = posix_spawnp(&m_pid, "python3", &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    m_out = fds[0];
    if (rc != 0) {
        m_pid = -1;
        m_error = "python3 could not be started";
        return;
    }
    std::string line;
    if (!readLine(&line, startTimeoutMs) || line.rfind("PORT ", 0) != 0) {
        m_error = "the peer gave no port: " + line;
        return;
    }
    m_port = std::atoi(line.c_str() + 5);
}

PythonPeer::~PythonPeer() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
}

bool PythonPeer::readLine(std::string* line, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (size_t end = m_pending.find('\n'); end != std::string::npos) {
            *line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || m_out < 0) return false;
        pollfd p{m_out, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[512];
        ssize_t n = read(m_out, buffer, sizeof buffer);
        if (n <= 0) {
            *line = m_pending;
            return false;
        }
        m_pending.append(buffer, static_cast<size_t>(n));
    }
}

PeerDigest PythonPeer::finish(int timeoutMs) {
    PeerDigest digest;
    std::string line;
    if (m_pid <= 0 || !readLine(&line, timeoutMs)) return digest;
    std::istringstream fields(line);
    fields >> digest.sha256 >> digest.count;
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    return digest;
}

std::string sha256OfFile(const std::string& path, uint64_t offset, uint64_t length) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file || fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return "";
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
    std::vector<unsigned char> block(1 << 20);
    uint64_t left = length;
    for (;;) {
        size_t want = block.size();
        if (length > 0) want = static_cast<size_t>(std::min<uint64_t>(want, left));
        if (want == 0) break;
        size_t n = std::fread(block.data(), 1, want, file.get());
        if (n == 0) break;
        EVP_DigestUpdate(ctx.get(), block.data(), n);
        left -= n;
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(ctx.get(), md, &size);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", md[i]);
        hex += two;
    }
    return hex;
}
