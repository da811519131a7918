// Runs the regsvr program on the COM runtime's test server, in a temporary registry.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/com/activation.h"
#include "platform/registry/test_folder.h"

extern char** environ;

namespace {

const char* const kClassKey = "CLSID\\{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

// Runs regsvr with the arguments, in this process's environment; output is small enough for
// the pipes, so they are read after the program ends.
Outcome regsvr(std::vector<std::string> args) {
    args.insert(args.begin(), REGSVR_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    Outcome run;
    if (pipe(out) != 0 || pipe(err) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned == 0) {
        int status;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    run.out = drain(out[0]);
    run.err = drain(err[0]);
    return run;
}

bool classRegistered() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

using Regsvr = RegistryFolderTest;

}  // namespace

TEST_F(Regsvr, RegistersAndUnregisters) {
    Outcome run = regsvr({COM_TEST_SERVER});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("DllRegisterServer"), std::string::npos);
    EXPECT_NE(run.out.find("succeeded"), std::string::npos);
    EXPECT_TRUE(classRegistered());
    CLSID clsid;
    EXPECT_EQ(clsidFromProgId("Vantel.TestCalc", &clsid), S_OK);

    run = regsvr({"-u", "-s", COM_TEST_SERVER});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(clsidFromProgId("Vantel.TestCalc", &clsid), CO_E_CLASSSTRING);
}

TEST_F(Regsvr, ReportsEachKindOfFailure) {
    std::string missing = m_folder + "/missing.so";
    Outcome run = regsvr({missing});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("cannot load " + missing), std::string::npos) << run.err;

    // A shared library that is no server: the COM runtime itself.
    std::string runtime = modulePathOf(reinterpret_cast<const void*>(&CoCreateInstance));
    run = regsvr({"-u", runtime});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("no DllUnregisterServer entry point"), std::string::npos) << run.err;

    setenv("VANTEL_TEST_SERVER_FAIL", "1", 1);
    run = regsvr({COM_TEST_SERVER});
    unsetenv("VANTEL_TEST_SERVER_FAIL");
    EXPECT_EQ(run.status, 5);
    EXPECT_NE(run.err.find("failed with 0x80040201"), std::string::npos) << run.err;
    EXPECT_FALSE(classRegistered());

    EXPECT_EQ(regsvr({}).status, 1);
    EXPECT_EQ(regsvr({"-x", COM_TEST_SERVER}).status, 1);
    run = regsvr({COM_TEST_SERVER, COM_TEST_SERVER});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("usage: regsvr"), std::string::npos);
}
