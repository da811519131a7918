#include "tools/testsupport/run_program.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "tools/testsupport/temp_dir.h"

TEST(RunProgram, CapturesExitCodeOutputAndErrorSeparately) {
    ProgramResult r = runProgram({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"});
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, "out\n");
    EXPECT_EQ(r.err, "err\n");
}

TEST(RunProgram, FeedsStandardInputLargerThanAPipeHolds) {
    // More than a pipe buffer, so writing and reading must interleave.
    std::string input(1 << 20, 'x');
    input += "end";
    ProgramResult r = runProgram({"cat"}, {}, input, 20000);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.size(), input.size());
    EXPECT_TRUE(r.out == input);
}

TEST(RunProgram, ChildThatIgnoresInputDoesNotHurtTheCaller) {
    // The child exits without reading: writing the rest must fail quietly, not raise SIGPIPE.
    ProgramResult r = runProgram({"true"}, {}, std::string(1 << 20, 'x'), 10000);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 0);
}

TEST(RunProgram, AppliesEnvironmentChangesAndWorkingFolder) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    setenv("VANTEL_RUN_PROGRAM_DROP", "present", 1);
    RunOptions options;
    options.env = {{"VANTEL_RUN_PROGRAM_SET", "a b"}, {"VANTEL_RUN_PROGRAM_DROP", std::nullopt}};
    options.workDir = dir.path();
    ProgramResult r =
        runProgram({"/bin/sh", "-c",
                    "echo \"$VANTEL_RUN_PROGRAM_SET|${VANTEL_RUN_PROGRAM_DROP-unset}|$(pwd -P)\""},
                   options);
    unsetenv("VANTEL_RUN_PROGRAM_DROP");
    ASSERT_TRUE(r.started) << r.error;
    char real[4096];
    ASSERT_NE(realpath(dir.path().c_str(), real), nullptr);
    EXPECT_EQ(r.out, "a b|unset|" + std::string(real) + "\n");
}

TEST(RunProgram, TimeoutKillsTheProgramAndItsChildren) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string pidFile = dir.file("grandchild.pid");
    // The grandchild holds the output pipe open; it must be killed with its parent.
    ProgramResult r = runProgram(
        {"/bin/sh", "-c", "sleep 60 & echo $! > " + pidFile + "; echo started; wait"}, {}, {}, 500);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.signal, SIGKILL);
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_EQ(r.out, "started\n");
    auto pidText = readFile(pidFile);
    ASSERT_TRUE(pidText.has_value());
    pid_t grandchild = std::stoi(*pidText);
    // Killed: gone, or a zombie left for whoever reaps orphans here.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        auto stat = readFile("/proc/" + std::to_string(grandchild) + "/stat");
        gone = !stat || stat->find(") Z ") != std::string::npos;
        if (!gone) usleep(10000);
    }
    EXPECT_TRUE(gone);
}

TEST(RunProgram, ReportsProgramsThatCannotStart) {
    ProgramResult missing = runProgram({"/nonexistent/vantel-no-such-program"});
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.error.find("vantel-no-such-program"), std::string::npos);
    EXPECT_FALSE(runProgram({}).started);
}
