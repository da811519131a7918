// The journal of file operations: its records across runs, and the undo of a whole run on real
// files.

#include "renamer/engine/journal.h"
#include "renamer/engine/fileops.h"
#include "renamer/engine/journal_undo.h"
#include "renamer/engine/test_fileops.h"

#include <sys/stat.h>

namespace vantel {

namespace {

using namespace shelltest;

class JournalTest : public FileOpsTest {
  protected:
    std::string workdir() const { return folder("work") + "/"; }
    std::string journalPath() const { return workdir() + Journal::kFileName; }

    JournalHistory history() {
        JournalHistory h;
        std::string error;
        EXPECT_TRUE(readJournal(workdir(), h, &error)) << error;
        return h;
    }

    // Records and makes one operation as the pipeline's stage does.
    void make(Journal& journal, int32_t index, int32_t action, const std::string& from,
              const std::string& to) {
        QueueItem it = item(from, getpath(to, 0), getfname(to));
        JournalOpId id = journal.begin(workdir(), index, action, from, to, log);
        ASSERT_TRUE(id.valid());
        journal.finish(id, fileops(it, static_cast<FileAction>(action), log), log);
    }
};

TEST_F(JournalTest, RunsAreNumberedAcrossProgramRunsAndPathsComeBackExactly) {
    const std::string odd = path("a\tb\nc\\d\r.avi");
    {
        Journal first;
        first.setClock([] { return std::time_t{0}; });
        JournalOpId a = first.begin(workdir(), 1, 1, odd, path("x.avi"), log);
        first.finish(a, true, log);
        JournalOpId b = first.begin(workdir(), 2, 3, path("y.avi"), path("z.avi"), log);
        first.finish(b, false, log);
        // Killed before its end was recorded.
        first.begin(workdir(), 3, 2, path("p.avi"), path("q.avi"), log);
        EXPECT_EQ(first.opOfItem(2).op, 2);
        EXPECT_FALSE(first.opOfItem(9).valid());
    }
    Journal second;
    JournalOpId c = second.begin(workdir(), 1, 2, path("m.avi"), path("n.avi"), log);
    EXPECT_EQ(c.run, 2);
    EXPECT_EQ(c.op, 1);
    second.finish(c, true, log);

    JournalHistory h = history();
    ASSERT_EQ(h.runs.size(), 2u);
    const JournalRun& run1 = h.runs[0];
    EXPECT_EQ(run1.time, "1970-01-01T00:00:00Z");
    ASSERT_EQ(run1.ops.size(), 3u);
    EXPECT_EQ(run1.ops[0].old_path, odd);
    EXPECT_EQ(run1.ops[0].state, JournalOpState::Done);
    EXPECT_EQ(run1.ops[1].action, 3);
    EXPECT_EQ(run1.ops[1].state, JournalOpState::Failed);
    EXPECT_EQ(run1.ops[2].state, JournalOpState::Pending);
    EXPECT_EQ(run1.made(), 2);
    EXPECT_EQ(run1.undoable(), 2);
    EXPECT_EQ(h.newestToUndo()->number, 2);
    EXPECT_EQ(h.skipped_lines, 0);
    struct stat st {};
    ASSERT_EQ(::stat(journalPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(JournalTest, DamagedLinesAndACutLastLineAreSkipped) {
    JournalHistory h;
    parseJournal(
        "run\t1\tT\r\n"
        "op\t1\t1\tT\t1\t/a\t/b\r\n"
        "done\t1\t1\n"                     // a line end written by hand
        "op\t1\t2\tT\t1\t/bad\\x\t/c\r\n"  // an escape the journal never writes
        "done\t7\t1\r\n"                   // a run that was never begun
        "nonsense\r\n"
        "op\t2\t1\tT\t1\t/x\t/y\r\n"  // its run line is missing
        "undone\t1\tU\r\n"
        "undo\t1\t1\tT",  // cut short by a killed run: no record
        h);
    ASSERT_EQ(h.runs.size(), 1u);
    ASSERT_EQ(h.runs[0].ops.size(), 1u);
    EXPECT_EQ(h.runs[0].ops[0].state, JournalOpState::Done);
    EXPECT_EQ(h.runs[0].undone_time, "U");
    EXPECT_EQ(h.skipped_lines, 4);
    // Undone as a whole once: --undo without a number passes it over.
    EXPECT_EQ(h.newestToUndo(), nullptr);
}

TEST_F(JournalTest, RecordsFindTheirOperationInLargeAndInterleavedRuns) {
    // Two runs written at once by two programs, records out of order, an operation recorded
    // twice (the first one counts), and a damaged run line among them.
    std::string text = "run\t4\tT\r\nrun\tx\tT\r\nrun\t2\tT\r\nrun\t9\r\n";
    const int kOps = 3000;
    for (int op = kOps; op >= 1; --op) {
        for (int run : {4, 2}) {
            text += "op\t" + std::to_string(run) + "\t" + std::to_string(op) + "\tT\t1\t/a" +
                    std::to_string(op) + "\t/b\r\n";
        }
    }
    text += "op\t4\t7\tT\t1\t/again\t/b\r\n";
    for (int op = 1; op <= kOps; op += 2)
        text += "done\t4\t" + std::to_string(op) + "\r\n";
    text += "failed\t2\t10\r\nundo\t4\t3\r\n";
    JournalHistory h;
    parseJournal(text, h);
    ASSERT_EQ(h.runs.size(), 2u);
    EXPECT_EQ(h.skipped_lines, 3);
    const JournalRun* four = h.find(4);
    ASSERT_NE(four, nullptr);
    ASSERT_EQ(four->ops.size(), static_cast<size_t>(kOps));
    EXPECT_EQ(four->ops[kOps - 7].old_path, "/a7");
    const auto done = std::count_if(four->ops.begin(), four->ops.end(), [](const JournalOp& op) {
        return op.state == JournalOpState::Done;
    });
    EXPECT_EQ(done, kOps / 2 - 1);  // the odd ones but the one undone
    EXPECT_EQ(four->ops[kOps - 3].state, JournalOpState::Undone);
    EXPECT_EQ(h.find(2)->ops[kOps - 10].state, JournalOpState::Failed);
    EXPECT_EQ(h.find(2)->undoable(), kOps - 1);
    // A new run takes the number after the highest that parsing finds.
    EXPECT_EQ(highestRun(text), h.runs.back().number);
    EXPECT_EQ(highestRun("run\tx\tT\r\nop\t8\t1\tT\t1\t/a\t/b\r\n"), 0);
}

TEST_F(JournalTest, AJournalThatIsNotARegularFileOrTooLargeIsRefused) {
    ASSERT_EQ(::mkfifo(journalPath().c_str(), 0600), 0);
    JournalHistory h;
    std::string error;
    EXPECT_FALSE(readJournal(workdir(), h, &error));
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
    // Writing refuses it too, once per run in the log, and the operation goes on unrecorded.
    Journal journal;
    EXPECT_FALSE(journal.begin(workdir(), 1, 1, "/a", "/b", log).valid());
    EXPECT_FALSE(journal.begin(workdir(), 2, 1, "/c", "/d", log).valid());
    EXPECT_EQ(linesSince(0), (std::vector<std::string>{"Error writing journal: " + journalPath() +
                                                       " is not a regular file"}));
    ASSERT_EQ(::unlink(journalPath().c_str()), 0);
    writeFile(journalPath(), "");
    ASSERT_EQ(::truncate(journalPath().c_str(), 65 << 20), 0);
    EXPECT_FALSE(readJournal(workdir(), h, &error));
    EXPECT_NE(error.find("larger than 64 MiB"), std::string::npos) << error;
    // No journal at all is an empty history.
    ASSERT_EQ(::unlink(journalPath().c_str()), 0);
    EXPECT_TRUE(readJournal(workdir(), h, &error));
    EXPECT_TRUE(h.runs.empty());
}

TEST_F(JournalTest, AnUndoTakesARunBackNewestFirstAndLosesNothing) {
    folder("in");
    folder("out");
    writeFile(path("in/a.avi"), "a");
    writeFile(path("in/b.avi"), "b");
    writeFile(path("in/c.avi"), "c");
    writeFile(path("in/d.avi"), "d");
    writeFile(path("in/e.avi"), "e");
    {
        Journal run;
        make(run, 1, 1, path("in/a.avi"), path("in/renamed-a.avi"));
        make(run, 2, 2, path("in/b.avi"), path("out/B.avi"));
        make(run, 3, 3, path("in/c.avi"), path("out/C.avi"));
        make(run, 4, 1, path("in/d.avi"), path("in/renamed-d.avi"));  // its old name will be taken
        make(run, 5, 3, path("in/e.avi"), path("out/E.avi"));         // its original will be gone
        make(run, 6, 1, path("in/gone.avi"), path("in/G.avi"));       // failed: nothing to undo
        // Begun, never ended, never made.
        run.begin(workdir(), 7, 2, path("in/f.avi"), path("out/F.avi"), log);
    }
    writeFile(path("in/d.avi"), "another d");
    ASSERT_EQ(::unlink(path("in/e.avi").c_str()), 0);

    int32_t run = 0;
    std::vector<UndoOutcome> outcomes;
    std::string error;
    ASSERT_TRUE(undoJournalRun(workdir(), run, log, outcomes, error)) << error;
    EXPECT_EQ(run, 1);
    std::vector<std::string> got;
    for (const UndoOutcome& o : outcomes)
        got.push_back(std::to_string(o.op) + " " + undoResultText(o.result) + " " + o.text);
    EXPECT_EQ(got, (std::vector<std::string>{
                       "7 Skipped never completed: no file at the new path",
                       "5 Refused the original is gone, so the copy is kept",
                       "4 Refused the old name is taken by another file",
                       "3 Undone the copy went to the Trash",
                       "2 Undone moved back",
                       "1 Undone renamed back",
                   }));
    EXPECT_EQ(readFile(path("in/a.avi")), "a");
    EXPECT_EQ(readFile(path("in/b.avi")), "b");
    EXPECT_FALSE(exists(path("out/C.avi")));
    EXPECT_EQ(countCopies(trash, "c"), 1);
    EXPECT_EQ(readFile(path("in/renamed-d.avi")), "d");
    EXPECT_EQ(readFile(path("in/d.avi")), "another d");
    EXPECT_EQ(readFile(path("out/E.avi")), "e");

    // The journal says what was undone: the run is passed over from now on, and undoing it by
    // number again only tries what is left.
    JournalHistory h = history();
    EXPECT_EQ(h.runs[0].undoable(), 3);  // 4 and 5 were refused, 7 may still appear
    EXPECT_EQ(h.newestToUndo(), nullptr);
    run = 0;
    EXPECT_FALSE(undoJournalRun(workdir(), run, log, outcomes, error));
    EXPECT_EQ(error, "there is nothing to undo");
    run = 1;
    ASSERT_EQ(::unlink(path("in/d.avi").c_str()), 0);
    ASSERT_TRUE(undoJournalRun(workdir(), run, log, outcomes, error)) << error;
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[2].op, 4);
    EXPECT_EQ(outcomes[2].result, UndoResult::Undone);
    EXPECT_EQ(readFile(path("in/d.avi")), "d");
    run = 9;
    EXPECT_FALSE(undoJournalRun(workdir(), run, log, outcomes, error));
    EXPECT_EQ(error, "there is no run 9");
}

// The records of an undo of many operations go through one open file; a journal that cannot
// be written says so, and the records after it still go where they belong.
TEST_F(JournalTest, AManyOperationUndoWritesEveryRecordOnceAndInOrder) {
    Journal journal;
    EXPECT_FALSE(journal.recordUndo(workdir() + "missing/", {1, 1}, log, true));
    ASSERT_FALSE(log.lines().empty());
    EXPECT_NE(log.lines().back().find("Error writing journal: "), std::string::npos);
    for (int32_t op = 200; op >= 1; --op)
        ASSERT_TRUE(journal.recordUndo(workdir(), {1, op}, log, true)) << op;
    // Another program's record in between lands between them, never inside one.
    Journal other;
    ASSERT_TRUE(other.recordUndo(workdir(), {2, 1}, log));
    ASSERT_TRUE(journal.recordRunUndone(workdir(), 1, log));

    std::vector<std::string> kinds;
    std::string text = readFile(journalPath());
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "a torn last line";
        const std::string line = text.substr(at, end - at);
        kinds.push_back(line.substr(0, line.find('\t', line.find('\t', line.find('\t') + 1) + 1)));
        at = end + 2;
    }
    ASSERT_EQ(kinds.size(), 202u);
    EXPECT_EQ(kinds.front(), "undo\t1\t200");
    EXPECT_EQ(kinds[199], "undo\t1\t1");
    EXPECT_EQ(kinds[200], "undo\t2\t1");
    EXPECT_EQ(kinds.back().substr(0, 9), "undone\t1\t");
}

TEST_F(JournalTest, AnUndoNeverReplacesAFileWhateverTheConfirmationSays) {
    folder("in");
    folder("out");
    writeFile(path("in/b.avi"), "b");
    {
        Journal run;
        make(run, 1, 2, path("in/b.avi"), path("out/B.avi"));
    }
    // The old name is taken meanwhile by a link that leads nowhere.
    ASSERT_EQ(::symlink("nowhere", path("in/b.avi").c_str()), 0);
    FileOperationConfirm previous =
        setFileOperationConfirm([](const ConfirmRequest&) { return true; });
    int32_t run = 1;
    std::vector<UndoOutcome> outcomes;
    std::string error;
    ASSERT_TRUE(undoJournalRun(workdir(), run, log, outcomes, error)) << error;
    setFileOperationConfirm(previous);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].result, UndoResult::Refused);
    EXPECT_EQ(readFile(path("out/B.avi")), "b");
}

}  // namespace

}  // namespace vantel
