#pragma once
// For the whole-program tests of the lookup: vantel-cli run in a home and registry of the
// test's own, looking episodes up at the TVmaze stand-in through the real socket control (which
// the program registers from the build's lib folder, as a fresh user's first run does).
//
//   TEST_F(CliRun, Something) {
//       touch("videos/Show.Name.S01E02.mkv");
//       CliReport r = runCli({dir("videos")});
//       EXPECT_EQ(r.item("Show.Name.S01E02.mkv").status, "Done");
//   }

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/testsupport/run_program.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/standin_server.h"
#include "tools/testsupport/temp_dir.h"

// One line of vantel-cli's report: number, status, path, then the new path or the reason (or,
// for a planned item of a dry run, the new path and the action).
struct CliLine {
    int number = 0;
    std::string status;
    std::string path;
    std::string detail;
    std::string action;
};

struct CliReport {
    ProgramResult run;
    std::vector<CliLine> lines;

    // The line of the item queued from a path ending in "/" + name; an empty line (and a test
    // failure) when there is none.
    CliLine item(const std::string& name) const;
    // Whether standard error (the log) holds text.
    bool logged(const std::string& text) const { return run.err.find(text) != std::string::npos; }
};

class CliRun : public ::testing::Test {
  protected:
    // One stand-in for every test of the program: starting one costs a second.
    static StandinServer& server();
    // Starts the program's stand-in (a suite with TLS starts its own with a certificate).
    static void startServer(const StandinOptions& options = {});
    static void SetUpTestSuite() { startServer(); }
    static void TearDownTestSuite();

    void SetUp() override;

    // The test's folder + "/" + relative.
    std::string dir(const std::string& relative) const { return m_dir.file(relative); }
    // Creates the file (and its folders) below the test's folder, its content its own name.
    void touch(const std::string& relative);
    // The work folder's cache folder.
    std::string cacheDir() const { return dir("home/.local/share/Vantel/cache"); }
    // The names of the files in the cache folder, sorted (none when it does not exist).
    std::vector<std::string> cacheFiles() const;

    // Runs vantel-cli with args in the test's environment and parses its report.
    CliReport runCli(const std::vector<std::string>& args, int timeoutMs = 60000);
    // Stores a setting through vantel-cli --set.
    void set(const std::string& name, const std::string& value);

    void mode(const std::string& query) {
        ASSERT_TRUE(server().setMode(query)) << server().error();
    }
    int requests(const std::string& prefix = "") { return server().requestCount(prefix); }

    TempDir m_dir{"vantel-cli-run"};
    EnvChanges m_env;
};
