#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "platform/shell/shell_test_support.h"

namespace {

using namespace shelltest;
using namespace shellerror;

// A program that writes its working folder and then each argument on a line of its own to the
// file named by $RECORD_FILE (complete, or not at all).
class Execute : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        recorder = path("recorder");
        record = path("record.txt");
        writeFile(
            recorder,
            "#!/bin/sh\n"
            "{ pwd -P; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$RECORD_FILE.tmp\"\n"
            "mv \"$RECORD_FILE.tmp\" \"$RECORD_FILE\"\n");
        chmod(recorder.c_str(), 0755);
        setenv("RECORD_FILE", record.c_str(), 1);
        setenv("VANTEL_OPEN_PROGRAM", recorder.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("VANTEL_OPEN_PROGRAM");
        unsetenv("RECORD_FILE");
        ShellTest::TearDown();
    }

    // The recorded lines, once the program has run (it is not waited for).
    std::vector<std::string> recorded() {
        for (int i = 0; i < 1000 && !exists(record); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::vector<std::string> lines;
        std::istringstream in(readFile(record));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static intptr_t code(HINSTANCE result) { return reinterpret_cast<intptr_t>(result); }

    std::string recorder, record;
};

TEST_F(Execute, OpenHandsTheFileOverAsOneArgumentWithoutAShell) {
    std::string name = "a b; touch pwned $(touch pwned2) 'q' \"dq\" `x` & é.chm";
    writeFile(path(name), "help");
    EXPECT_GT(code(ShellExecuteA(nullptr, "open", path(name).c_str(), nullptr, nullptr, 1)), 32);
    std::vector<std::string> lines = recorded();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], path(name));
    EXPECT_FALSE(exists(path("pwned")));
    EXPECT_FALSE(exists(path("pwned2")));
}

TEST_F(Execute, WebAddressesAndRelativeFilesInAFolder) {
    const char* url = "https://vantel.example/?v=40151";
    EXPECT_EQ(code(ShellExecuteA(nullptr, nullptr, url, nullptr, nullptr, 1)), SE_ERR_SUCCESS);
    EXPECT_EQ(recorded(), (std::vector<std::string>{fs::current_path().string(), url}));

    fs::remove(record);
    writeFile(folder("docs") + "/manual.html", "m");
    EXPECT_GT(code(ShellExecuteA(nullptr, "open", "manual.html", nullptr, path("docs").c_str(), 1)),
              32);
    EXPECT_EQ(recorded(),
              (std::vector<std::string>{fs::canonical(path("docs")).string(), "manual.html"}));
}

TEST_F(Execute, FailuresAreSmallNumbers) {
    writeFile(path("doc.txt"), "d");
    EXPECT_EQ(
        code(ShellExecuteA(nullptr, "open", path("missing.txt").c_str(), nullptr, nullptr, 1)),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(code(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, 1)),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(code(ShellExecuteA(nullptr, "print", path("doc.txt").c_str(), nullptr, nullptr, 1)),
              SE_ERR_NOASSOC);
    setenv("VANTEL_OPEN_PROGRAM", path("no-such-program").c_str(), 1);
    EXPECT_EQ(code(ShellExecuteA(nullptr, "open", path("doc.txt").c_str(), nullptr, nullptr, 1)),
              SE_ERR_NOASSOC);
    EXPECT_FALSE(exists(record));
}

TEST_F(Execute, AProgramIsStartedWithItsParameters) {
    // The updater case: a program by its path with a parameter text.
    std::string params = "package=Vantel,apppath=/opt/vantel/,runcount=123 \"two words\" x\\\"y";
    EXPECT_GT(code(ShellExecuteA(nullptr, "open", recorder.c_str(), params.c_str(),
                                 folder("work").c_str(), 1)),
              32);
    EXPECT_EQ(recorded(),
              (std::vector<std::string>{fs::canonical(path("work")).string(),
                                        "package=Vantel,apppath=/opt/vantel/,runcount=123",
                                        "two words", "x\"y"}));
}

TEST_F(Execute, StartProgramPassesArgumentsExactly) {
    pid_t child = 0;
    std::vector<std::string> arguments = {"", " spaced ", "$HOME", "*"};
    ASSERT_EQ(startProgram(recorder, arguments, folder("w"), &child), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> expected = {fs::canonical(path("w")).string()};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(recorded(), expected);

    EXPECT_EQ(startProgram(path("absent"), {}, {}, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(startProgram(recorder, {}, path("no-folder"), nullptr), ERROR_PATH_NOT_FOUND);
}

TEST(SplitCommandLine, FollowsTheWindowsQuotingRules) {
    struct Case {
        std::string text;
        std::vector<std::string> expected;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y", {"xa by"}},
        {"\"\"", {""}},
        {"say \\\"hi\\\"", {"say", "\"hi\""}},
        {"C:\\path\\file", {"C:\\path\\file"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitCommandLine(c.text), c.expected) << c.text;
}

}  // namespace
