#pragma once
// Runs a program to its end for a test: arguments, environment changes and standard input in;
// exit status, standard output and standard error out. Started with posix_spawn (never through
// a shell) in a process group of its own, so a time-out kills it together with its children.
//
//   ProgramResult r = runProgram({"vantel-cli", "--help"});
//   EXPECT_EQ(r.exitCode, 0) << r.err;

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/testsupport/scoped_env.h"

struct ProgramResult {
    bool started = false;   // false: the program could not be started; error says why
    bool timedOut = false;  // it outlived the time limit and was killed
    int exitCode = -1;      // its exit status; -1 when a signal ended it
    int signal = 0;         // the signal that ended it, or 0
    std::string out;        // everything it wrote to standard output
    std::string err;        // everything it wrote to standard error
    std::string error;      // why it could not be started or waited for
    long maxRssKb = 0;      // its peak resident memory in KiB (as wait4 reports it)
};

struct RunOptions {
    EnvChanges env;         // applied on top of this process's environment
    std::string input;      // written to its standard input, which is then closed
    int timeoutMs = 30000;  // after this the whole process group is killed (SIGKILL)
    std::string workDir;    // its working folder; empty: this process's
};

// Runs argv (argv[0] is looked up in PATH when it holds no "/") and waits for it. Never throws;
// a program that cannot be started gives started == false, one that outlives the time limit
// gives timedOut == true with whatever output it had written.
ProgramResult runProgram(const std::vector<std::string>& argv, const RunOptions& options);
ProgramResult runProgram(const std::vector<std::string>& argv, const EnvChanges& env = {},
                         const std::string& input = {}, int timeoutMs = 30000);

// How spawnProgram starts a program.
struct SpawnSpec {
    std::vector<std::string> argv;  // argv[0] is looked up in PATH when it holds no "/"
    std::optional<std::vector<std::string>> env;  // "NAME=VALUE"; nullopt: this environment
    int stdinFd = -1;  // descriptors for its standard input, output and error; -1 inherits
    int stdoutFd = -1;
    int stderrFd = -1;
    bool newProcessGroup = false;  // lead a process group of its own
    std::string workDir;           // empty: this process's
};

// Starts a program with posix_spawn, with default signal handling and no signal blocked, and
// does not wait for it. Returns 0 and sets pid, or returns the error number (ENOENT, EACCES,
// EINVAL for an empty argv, ...). The caller reaps the child.
int spawnProgram(const SpawnSpec& launch, pid_t& pid);
