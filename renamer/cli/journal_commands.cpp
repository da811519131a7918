#include "renamer/cli/journal_commands.h"

#include "renamer/cli/cli_text.h"
#include "renamer/common/settings.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/journal.h"
#include "renamer/engine/journal_undo.h"

#include <algorithm>
#include <string>

namespace vantel {

namespace {

// The log of these commands: on err, at the stored level, with the work folder found.
struct JournalContext {
    ActivityLog log;
    std::string workdir;

    explicit JournalContext(std::ostream& err) {
        Settings settings;
        readSettings(settings);
        log.setThreshold(settings.logging);
        log.setListener([&err](bool, const std::string& line, int) { err << line << '\n'; });
        workdir = setworkdir(log);
    }
};

const char* runState(const JournalRun& run) {
    const bool some_undone = std::any_of(run.ops.begin(), run.ops.end(), [](const JournalOp& op) {
        return op.state == JournalOpState::Undone;
    });
    if (run.undoable() == 0 && some_undone) return "undone";
    if (some_undone) return "partly undone";
    // An undo went through the run and could undo none of it.
    if (!run.undone_time.empty()) return "undo failed";
    return "done";
}

}  // namespace

int runHistory(std::ostream& out, std::ostream& err) {
    JournalContext context(err);
    JournalHistory history;
    std::string error;
    if (!readJournal(context.workdir, history, &error)) {
        err << "vantel-cli: cannot read the journal: " << error << '\n';
        return 1;
    }
    if (history.skipped_lines > 0)
        err << "vantel-cli: " << history.skipped_lines << " damaged line(s) of the journal "
            << context.workdir << Journal::kFileName << " were passed over\n";
    if (history.runs.empty()) err << "vantel-cli: no file operation has been recorded yet\n";
    for (auto run = history.runs.rbegin(); run != history.runs.rend(); ++run) {
        const int32_t made = run->made();
        out << run->number << '\t' << localTimeText(run->time) << '\t' << made
            << (made == 1 ? " operation" : " operations") << '\t' << runState(*run) << '\n';
    }
    return 0;
}

int runUndo(int32_t run, std::ostream& out, std::ostream& err) {
    JournalContext context(err);
    std::vector<UndoOutcome> outcomes;
    std::string error;
    if (!undoJournalRun(context.workdir, run, context.log, outcomes, error)) {
        err << "vantel-cli: " << error << '\n';
        return 1;
    }
    int status = 0;
    for (const UndoOutcome& o : outcomes) {
        out << o.op << '\t' << undoResultText(o.result) << '\t' << oneLine(o.from) << '\t'
            << oneLine(o.to) << '\t' << oneLine(o.text) << '\n';
        if (o.result == UndoResult::Refused || o.result == UndoResult::Failed) status = 1;
    }
    err << "vantel-cli: run " << run << (status == 0 ? " undone" : " partly undone") << '\n';
    return status;
}

}  // namespace vantel
