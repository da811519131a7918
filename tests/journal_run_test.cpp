// vantel-cli's journal across runs (--history, --undo [N]) and its dry run, end to end: files
// renamed, moved and copied through the real lookups at the TVmaze stand-in, then listed and
// undone by later runs of the program; and a dry run that refuses what the real run refuses.

#include "tests/cli_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "renamer/lookup/lookup_config.h"

#include <sstream>

using namespace vantel;

namespace {

class JournalRun : public CliRun {
  protected:
    // Runs vantel-cli with args and returns its whole result (for commands whose output is not
    // the queue report).
    ProgramResult command(const std::vector<std::string>& args) { return runCli(args).run; }

    std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }

    // The history's lines without their time field.
    std::vector<std::string> history() {
        ProgramResult r = command({"--history"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> out;
        for (const std::string& line : lines(r.out)) {
            size_t first = line.find('\t');
            size_t second = line.find('\t', first + 1);
            out.push_back(line.substr(0, first) + line.substr(second));
        }
        return out;
    }

    std::string content(const std::string& relative) {
        return readFile(dir(relative)).value_or("<missing>");
    }

    int trashed() {
        int count = 0;
        if (DIR* folder = opendir(dir("home/.local/share/Trash/files").c_str())) {
            while (dirent* entry = readdir(folder))
                count += entry->d_name[0] != '.';
            closedir(folder);
        }
        return count;
    }
};

TEST_F(JournalRun, RunsAreListedAndUndoneNewestFirstWithoutLosingAFile) {
    EXPECT_EQ(command({"--history"}).err.find("no file operation has been recorded yet") !=
                  std::string::npos,
              true);
    ProgramResult nothing = command({"--undo"});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_NE(nothing.err.find("vantel-cli: there is nothing to undo"), std::string::npos);

    // Run 1 renames two files; run 2 copies one into a library with a filter of its own.
    touch("a/Game.of.Thrones.S01E01.mkv");
    touch("a/Under.the.Dome.S01E02.mkv");
    CliReport first = runCli({dir("a")});
    ASSERT_EQ(first.run.exitCode, 0) << first.run.err;
    touch("b/Game.of.Thrones.S01E03.mkv");
    ASSERT_EQ(command({"--add-filter", "--type", "mkv", "--copy", dir("lib/[show]")}).exitCode, 0);
    ASSERT_EQ(command({"--move-filter", "2", "up"}).exitCode, 0);
    CliReport second = runCli({dir("b")});
    ASSERT_EQ(second.run.exitCode, 0) << second.run.err;
    EXPECT_EQ(second.lines.at(0).detail,
              dir("lib/Game of Thrones/Game of Thrones - 1x03 - Lord Snow.mkv"));
    EXPECT_EQ(history(),
              (std::vector<std::string>{"2\t1 operation\tdone", "1\t2 operations\tdone"}));

    // The newest run: its copy goes to the Trash, the original stays.
    ProgramResult undo2 = command({"--undo"});
    EXPECT_EQ(undo2.exitCode, 0) << undo2.err;
    EXPECT_EQ(
        lines(undo2.out),
        (std::vector<std::string>{
            "1\tUndone\t" + dir("lib/Game of Thrones/Game of Thrones - 1x03 - Lord Snow.mkv") +
            "\t" + dir("b/Game.of.Thrones.S01E03.mkv") + "\tthe copy went to the Trash"}));
    EXPECT_EQ(content("b/Game.of.Thrones.S01E03.mkv"), "Game.of.Thrones.S01E03.mkv");
    EXPECT_EQ(content("lib/Game of Thrones/Game of Thrones - 1x03 - Lord Snow.mkv"), "<missing>");
    EXPECT_EQ(trashed(), 1);

    // Then run 1, newest operation first; a file that took an old name meanwhile is kept, and
    // the renamed file stays where it is.
    touch("a/Under.the.Dome.S01E02.mkv");
    ProgramResult undo1 = command({"--undo"});
    EXPECT_EQ(undo1.exitCode, 1);
    EXPECT_EQ(
        lines(undo1.out),
        (std::vector<std::string>{
            "2\tRefused\t" + dir("a/Under the Dome - 1x02 - The Fire.mkv") + "\t" +
                dir("a/Under.the.Dome.S01E02.mkv") + "\tthe old name is taken by another file",
            "1\tUndone\t" + dir("a/Game of Thrones - 1x01 - Winter is Coming.mkv") + "\t" +
                dir("a/Game.of.Thrones.S01E01.mkv") + "\trenamed back"}));
    EXPECT_EQ(content("a/Game.of.Thrones.S01E01.mkv"), "Game.of.Thrones.S01E01.mkv");
    EXPECT_EQ(content("a/Under the Dome - 1x02 - The Fire.mkv"), "Under.the.Dome.S01E02.mkv");
    EXPECT_EQ(history(), (std::vector<std::string>{"2\t1 operation\tundone",
                                                   "1\t2 operations\tpartly undone"}));

    // Every run has been through an undo: nothing is left for --undo alone, but run 1 can be
    // named once the old name is free again.
    nothing = command({"--undo"});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_NE(nothing.err.find("there is nothing to undo"), std::string::npos);
    ASSERT_EQ(::unlink(dir("a/Under.the.Dome.S01E02.mkv").c_str()), 0);
    ProgramResult again = command({"--undo", "1"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(content("a/Under.the.Dome.S01E02.mkv"), "Under.the.Dome.S01E02.mkv");
    EXPECT_EQ(history(),
              (std::vector<std::string>{"2\t1 operation\tundone", "1\t2 operations\tundone"}));
    ProgramResult done = command({"--undo", "1"});
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_NE(done.err.find("run 1 has nothing left to undo"), std::string::npos);
    ProgramResult missing = command({"--undo", "7"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("there is no run 7"), std::string::npos);
}

TEST_F(JournalRun, AKilledRunLosesNothingItDid) {
    touch("k/Game.of.Thrones.S01E01.mkv");
    touch("k/Under.the.Dome.S01E02.mkv");
    // The second file's search gets no answer, and the program waits for it until it is killed.
    mode("path=%2Fsearch%2Fshows%3Fq%3Dunder&stall&seconds=120");
    m_env[kHttpTimeoutVariable] = "120";
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(null, 0);
    SpawnSpec launch;
    launch.argv = {VANTEL_CLI_PROGRAM, dir("k/Game.of.Thrones.S01E01.mkv"),
                   dir("k/Under.the.Dome.S01E02.mkv")};
    launch.env = environmentWith(m_env);
    launch.stdinFd = launch.stdoutFd = launch.stderrFd = null;
    launch.newProcessGroup = true;
    pid_t pid = 0;
    ASSERT_EQ(spawnProgram(launch, pid), 0);
    // Once the journal says the first operation was made, the run is killed outright.
    const std::string journal = dir("home/.local/share/Vantel/journal.dat");
    bool made = false;
    for (int i = 0; i < 1200 && !made; ++i) {
        made = readFile(journal).value_or("").find("done\t1\t1\r\n") != std::string::npos;
        if (!made) ::usleep(100 * 1000);
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(null);
    ASSERT_TRUE(made) << readFile(journal).value_or("no journal");

    EXPECT_EQ(history(), (std::vector<std::string>{"1\t1 operation\tdone"}));
    ProgramResult undo = command({"--undo"});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(content("k/Game.of.Thrones.S01E01.mkv"), "Game.of.Thrones.S01E01.mkv");
    EXPECT_EQ(content("k/Under.the.Dome.S01E02.mkv"), "Under.the.Dome.S01E02.mkv");
}

TEST_F(JournalRun, ADryRunRefusesWhatTheRealRunRefuses) {
    // Already named as it would be; a name taken by another file; two files onto one name; and
    // one that goes through.
    touch("x/Game of Thrones - 1x01 - Winter is Coming.mkv");
    touch("y/Game.of.Thrones.S01E03.mkv");
    touch("y/Game of Thrones - 1x03 - Lord Snow.mkv");
    touch("z/Game.of.Thrones.S01E02.mkv");
    touch("z/game of thrones 1x02.mkv");
    touch("w/Under.the.Dome.S01E02.mkv");
    const std::vector<std::string> paths = {
        dir("x/Game of Thrones - 1x01 - Winter is Coming.mkv"), dir("y/Game.of.Thrones.S01E03.mkv"),
        dir("z/Game.of.Thrones.S01E02.mkv"), dir("z/game of thrones 1x02.mkv"),
        dir("w/Under.the.Dome.S01E02.mkv")};
    std::vector<std::string> args = {"--dry-run"};
    args.insert(args.end(), paths.begin(), paths.end());
    CliReport dry = runCli(args);
    EXPECT_EQ(dry.run.exitCode, 1);
    ASSERT_EQ(dry.lines.size(), 5u) << dry.run.out;
    EXPECT_EQ(dry.lines[0].detail, "The new filename is the same as the old filename");
    EXPECT_EQ(dry.lines[1].detail, "The destination aleady exists. File cannot be renamed");
    EXPECT_EQ(dry.lines[2].status, "Planned");
    EXPECT_EQ(dry.lines[3].status, "Failed");
    EXPECT_EQ(dry.lines[3].detail, "The destination aleady exists. File cannot be renamed");
    EXPECT_EQ(dry.lines[4].status, "Planned");
    EXPECT_EQ(dry.lines[4].detail, dir("w/Under the Dome - 1x02 - The Fire.mkv"));
    // Nothing moved, nothing journalled.
    EXPECT_EQ(content("z/Game.of.Thrones.S01E02.mkv"), "Game.of.Thrones.S01E02.mkv");
    EXPECT_TRUE(history().empty());

    // The real run: the same items fail with the same texts, the planned ones are done.
    CliReport real = runCli(paths);
    ASSERT_EQ(real.lines.size(), 5u) << real.run.out;
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(real.lines[i].status, dry.lines[i].status == "Planned" ? "Done" : "Failed") << i;
        EXPECT_EQ(real.lines[i].detail, dry.lines[i].detail) << i;
    }
}

TEST_F(JournalRun, ADryRunOfAMoveOntoAnExistingFileFailsUnlessYesIsGiven) {
    ASSERT_EQ(command({"--add-filter", "--move", dir("lib")}).exitCode, 0);
    ASSERT_EQ(command({"--move-filter", "2", "1"}).exitCode, 0);
    touch("in/Under.the.Dome.S01E02.mkv");
    touch("lib/Under the Dome - 1x02 - The Fire.mkv");
    CliReport dry = runCli({"--dry-run", dir("in")});
    ASSERT_EQ(dry.lines.size(), 1u) << dry.run.out;
    EXPECT_EQ(dry.lines[0].status, "Failed");
    EXPECT_EQ(dry.lines[0].detail, "The file operation failed. Windows reports error 1223");
    EXPECT_TRUE(dry.logged("already exists and replacing it was not confirmed")) << dry.run.err;
    CliReport yes = runCli({"--dry-run", "--yes", dir("in")});
    ASSERT_EQ(yes.lines.size(), 1u) << yes.run.out;
    EXPECT_EQ(yes.lines[0].status, "Planned");
    EXPECT_EQ(yes.lines[0].action, "Move");
    // A folder below a missing top-level folder would not be created.
    ASSERT_EQ(command({"--remove-filter", "1"}).exitCode, 0);
    ASSERT_EQ(command({"--add-filter", "--move", "/nonexistent-vantel-top/tv"}).exitCode, 0);
    ASSERT_EQ(command({"--move-filter", "2", "up"}).exitCode, 0);
    CliReport top = runCli({"--dry-run", "--yes", dir("in")});
    ASSERT_EQ(top.lines.size(), 1u) << top.run.out;
    EXPECT_EQ(top.lines[0].detail, "The file operation failed. Windows reports error 1223");
    EXPECT_TRUE(top.logged("does not exist and creating it was not confirmed")) << top.run.err;
}

}  // namespace
