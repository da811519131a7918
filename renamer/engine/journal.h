#pragma once
// The journal: every file operation the renamer makes, kept across runs in "journal.dat" in the
// work folder, so that a later run (or the window) can list the runs and undo one of them.
//
//   Journal journal;                                         // one per program run
//   JournalOpId id = journal.begin(workdir, index, 1, "/in/a.avi", "/in/A - 1x01.avi", log);
//   bool done = fileops(item, 1, log);
//   journal.finish(id, done, log);
//
//   JournalHistory history;
//   readJournal(workdir, history, &error);                   // every run, oldest first
//
// The file is text, one record per line (CR LF), fields separated by TAB; a TAB, CR, LF or
// backslash inside a path is written as \t, \r, \n or \\, so every path comes back exactly:
//   run    RUN  TIME                      a run's first operation is about to be made
//   op     RUN  OP  TIME  ACTION  OLD  NEW   operation OP of run RUN is about to be made
//   done   RUN  OP                        it was made
//   failed RUN  OP                        it was not (nothing changed)
//   undo   RUN  OP  TIME                  it was undone
//   undone RUN  TIME                      an undo of the whole run went through all its operations
// TIME is UTC, "2026-12-08T23:50:01Z". An operation is recorded before it is made and its end
// after, each record written at once: a run that is killed loses nothing it did. The file is
// flushed to the disk at a run's first record, at most once a second after that and at its
// end (so are the records of an undo of a whole run), so a crash of the whole system loses at
// most the records of the last second. An operation whose end is missing is "pending" (it may
// or may not have happened; the undo looks at the files to tell), and one whose undo record is
// missing is undone again, which finds its file gone from the new path and leaves it alone. Records
// are only ever appended, a whole line in one write, so runs of several processes at once do not
// tear each other's lines; run numbers are handed out under a lock on the file.

#include "renamer/common/activity_log.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantel {

// One operation of the journal: run number and operation number within the run (from 1).
struct JournalOpId {
    int32_t run = 0;
    int32_t op = 0;
    bool valid() const { return run > 0 && op > 0; }
};

class Journal {
  public:
    static constexpr const char* kFileName = "journal.dat";

    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // The clock of the records (seconds since the epoch); time() unless a test sets one.
    void setClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }

    // begin records that queue item index is about to get action (1 rename, 2 move, 3 copy)
    // from old_path to new_path, in workdir's journal. The first record of a program run opens
    // the file and takes the next run number. Returns the operation's id. An invalid id when
    // workdir is empty (nothing is recorded), and, after logging "Error writing journal: " +
    // the reason (level 1, once per run), when the record could not be written: the operation
    // may still be made, it only cannot be undone by a later run.
    JournalOpId begin(const std::string& workdir, int32_t index, int32_t action,
                      const std::string& old_path, const std::string& new_path, ActivityLog& log);

    // finish records whether the operation id was made. An invalid id does nothing.
    void finish(JournalOpId id, bool done, ActivityLog& log);

    // opOfItem: the last operation begun for queue item index; invalid when there is none.
    JournalOpId opOfItem(int32_t index) const;

    // run: this program run's number; 0 until its first operation was recorded.
    int32_t run() const { return m_run; }

    // recordUndo / recordRunUndone append the records of an undo (to workdir's journal, which
    // need not be the one this object opened). False, after logging "Error writing journal: "
    // + the reason (level 1), when the record could not be written. Each record is forced to
    // the disk at once, except those of an undo of many operations (more_follow): they go
    // through one open file, forced at the first, at most once a second after that and with
    // the run's "undone" record (or when this object ends), as a run's own records are. An undo
    // of 100,000 operations then waits for some seconds' flushes, not for 100,000 of them.
    bool recordUndo(const std::string& workdir, JournalOpId id, ActivityLog& log,
                    bool more_follow = false);
    bool recordRunUndone(const std::string& workdir, int32_t run, ActivityLog& log);

  private:
    bool append(const std::string& line, bool sync, ActivityLog& log);
    bool appendUndo(const std::string& workdir, const std::string& line, bool force,
                    ActivityLog& log);
    void closeUndo();
    bool openRun(const std::string& workdir, ActivityLog& log);
    std::string now() const;
    void failed(const std::string& reason, ActivityLog& log);

    std::function<std::time_t()> m_clock;
    std::string m_workdir;  // the folder whose journal m_fd is
    int m_fd = -1;
    int32_t m_run = 0;
    int32_t m_next_op = 1;
    bool m_error_logged = false;
    std::chrono::steady_clock::time_point m_last_sync;  // when the file was last flushed
    // The journal an undo of many operations writes to, kept open between its records.
    int m_undo_fd = -1;
    std::string m_undo_workdir;
    std::chrono::steady_clock::time_point m_undo_sync;
    bool m_undo_unsynced = false;  // records written since the last flush
    std::unordered_map<int32_t, JournalOpId> m_item_ops;
};

// What became of one recorded operation.
enum class JournalOpState {
    Pending,  // begun, its end never recorded (the run was killed meanwhile)
    Done,
    Failed,  // not made: nothing to undo
    Undone,
};

struct JournalOp {
    int32_t number = 0;
    std::string time;  // UTC, as recorded
    int32_t action = 0;
    std::string old_path;
    std::string new_path;
    JournalOpState state = JournalOpState::Pending;
};

struct JournalRun {
    int32_t number = 0;
    std::string time;         // UTC: when its first operation was recorded
    std::string undone_time;  // UTC: when an undo of the whole run last ended; "" when never
    std::vector<JournalOp> ops;

    // The operations that were (or may have been) made and are not undone: Done and Pending.
    int32_t undoable() const;
    // The operations that were (or may have been) made, undone or not.
    int32_t made() const;
};

struct JournalHistory {
    std::vector<JournalRun> runs;  // by run number, oldest first
    int32_t skipped_lines = 0;     // lines that were not records (damaged); they are ignored

    // find: the run numbered number, or nullptr.
    const JournalRun* find(int32_t number) const;
    // newestToUndo: the newest run that was never undone as a whole and still holds an
    // operation to undo; nullptr when there is none.
    const JournalRun* newestToUndo() const;
};

// readJournal reads workdir's journal into history (empty when there is no journal). False,
// with *error set, when the journal exists but is not a regular file, is larger than 64 MiB or
// cannot be read. A damaged line (including a last line cut short by a killed run) is skipped
// and counted.
bool readJournal(const std::string& workdir, JournalHistory& history, std::string* error);

// parseJournal: the records of a journal's text (what readJournal does after reading).
void parseJournal(const std::string& text, JournalHistory& history);
// highestRun: the highest run number parseJournal would find in text (0 when none): what a new
// run needs, without building the whole history.
int32_t highestRun(const std::string& text);

// localTimeText: a recorded UTC time as local time, "2026-12-09 00:50:01"; the text itself when
// it does not parse.
std::string localTimeText(const std::string& utc);

}  // namespace vantel
