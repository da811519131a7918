#include "tools/testsupport/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1) {
        if (m_fd >= 0) close(m_fd);
        m_fd = fd;
    }

  private:
    int m_fd = -1;
};

bool makePipe(Fd& readEnd, Fd& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

// Writes to the child's standard input without letting a child that stopped reading kill this
// process with SIGPIPE: the signal is blocked for the write and a pending one is consumed.
ssize_t writeNoSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeSet, oldSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSet, &oldSet);
    ssize_t written = write(fd, data, size);
    int savedErrno = errno;
    if (written < 0 && errno == EPIPE && !wasPending) {
        timespec zero{};
        sigtimedwait(&pipeSet, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &oldSet, nullptr);
    errno = savedErrno;
    return written;
}

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

void recordStatus(ProgramResult& result, int status) {
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
}

}  // namespace

int spawnProgram(const SpawnSpec& launch, pid_t& pid) {
    if (launch.argv.empty()) return EINVAL;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int fds[3] = {launch.stdinFd, launch.stdoutFd, launch.stderrFd};
    for (int target = 0; target < 3; ++target) {
        if (fds[target] >= 0) posix_spawn_file_actions_adddup2(&actions, fds[target], target);
    }
    if (!launch.workDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, launch.workDir.c_str());
    }
    // The child starts with default signal handling and nothing blocked, whatever this process
    // has set up (a test may ignore SIGPIPE, for one).
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t noSignals, defaults;
    sigemptyset(&noSignals);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &noSignals);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (launch.newProcessGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);

    std::vector<char*> args;
    for (const std::string& arg : launch.argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envEntries = launch.env ? *launch.env : environmentWith({});
    std::vector<char*> envp;
    for (std::string& entry : envEntries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    const char* path = launch.argv[0].c_str();
    int rc = launch.argv[0].find('/') == std::string::npos
                 ? posix_spawnp(&pid, path, &actions, &attr, args.data(), envp.data())
                 : posix_spawn(&pid, path, &actions, &attr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc;
}

ProgramResult runProgram(const std::vector<std::string>& argv, const EnvChanges& env,
                         const std::string& input, int timeoutMs) {
    RunOptions options;
    options.env = env;
    options.input = input;
    options.timeoutMs = timeoutMs;
    return runProgram(argv, options);
}

ProgramResult runProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    ProgramResult result;
    if (argv.empty()) {
        result.error = "no program given";
        return result;
    }
    Fd inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!makePipe(inRead, inWrite) || !makePipe(outRead, outWrite) ||
        !makePipe(errRead, errWrite)) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }

    SpawnSpec launch;
    launch.argv = argv;
    launch.env = environmentWith(options.env);
    launch.stdinFd = inRead.get();
    launch.stdoutFd = outWrite.get();
    launch.stderrFd = errWrite.get();
    launch.newProcessGroup = true;
    launch.workDir = options.workDir;
    pid_t pid = -1;
    int rc = spawnProgram(launch, pid);
    if (rc != 0) {
        result.error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return result;
    }
    result.started = true;
    inRead.reset();
    outWrite.reset();
    errWrite.reset();
    for (const Fd* fd : {&inWrite, &outRead, &errRead}) {
        fcntl(fd->get(), F_SETFL, fcntl(fd->get(), F_GETFL) | O_NONBLOCK);
    }

    auto deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    size_t inputSent = 0;
    if (options.input.empty()) inWrite.reset();
    bool exited = false;
    while (true) {
        if (!exited) {
            // WNOWAIT leaves the child a zombie, so its process id (and with it the id of its
            // process group) cannot be reused before the group is killed below.
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid) {
                exited = true;
                // A grandchild may hold the pipes open; wait a little for its output, no more.
                deadline = std::min(deadline, Clock::now() + std::chrono::seconds(2));
            }
        }
        if (exited && outRead.get() < 0 && errRead.get() < 0) break;
        int wait = remainingMs(deadline);
        if (wait == 0) break;
        pollfd fds[3];
        nfds_t count = 0;
        for (const Fd* fd : {&outRead, &errRead}) {
            if (fd->get() >= 0) fds[count++] = {fd->get(), POLLIN, 0};
        }
        if (inWrite.get() >= 0) fds[count++] = {inWrite.get(), POLLOUT, 0};
        // Wake now and then to notice the child's end even while its pipes stay open.
        if (poll(fds, count, std::min(wait, 50)) < 0 && errno != EINTR) break;
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == inWrite.get()) {
                ssize_t n = writeNoSigpipe(inWrite.get(), options.input.data() + inputSent,
                                           options.input.size() - inputSent);
                if (n > 0) inputSent += static_cast<size_t>(n);
                if ((n < 0 && errno != EAGAIN) || inputSent == options.input.size()) {
                    inWrite.reset();
                }
                continue;
            }
            Fd& source = fds[i].fd == outRead.get() ? outRead : errRead;
            std::string& sink = fds[i].fd == outRead.get() ? result.out : result.err;
            char buffer[8192];
            ssize_t n = read(source.get(), buffer, sizeof buffer);
            if (n > 0) {
                sink.append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EAGAIN) {
                source.reset();
            }
        }
    }
    result.timedOut = !exited;
    // The program, if still running, and whatever it left behind in its group go now.
    kill(-pid, SIGKILL);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    recordStatus(result, status);
    result.maxRssKb = usage.ru_maxrss;
    return result;
}
