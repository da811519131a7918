// Reading the rename journal back: the text of runs of 1,000 to 100,000 renames, each with its
// "op" and "done" records, parsed into the history the undo works from, and the scan a new run
// makes for its number. Both must grow with the journal's size, not with its square. And the
// undo of a whole run of 10,000 renames, files and journal records, against plain rename()
// calls of the same files back.
//
//   build/default/bin/bench_journal

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "renamer/engine/journal.h"
#include "renamer/engine/journal_undo.h"

namespace {

// One run of n renames as the journal writes it.
std::string journalOf(int renames) {
    std::string text = "run\t1\t2026-12-09T05:00:00Z\r\n";
    for (int op = 1; op <= renames; ++op) {
        const std::string number = std::to_string(op);
        text += "op\t1\t" + number + "\t2026-12-09T05:00:01Z\t1\t/videos/Show/Show.S01E" + number +
                ".mkv\t/videos/Show/Show - 1x" + number + " - Title.mkv\r\n";
        text += "done\t1\t" + number + "\r\n";
    }
    return text;
}

void BM_ParseJournal(benchmark::State& state) {
    const std::string text = journalOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        vantel::JournalHistory history;
        vantel::parseJournal(text, history);
        benchmark::DoNotOptimize(history.runs.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseJournal)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_NextRunNumber(benchmark::State& state) {
    const std::string text = journalOf(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(vantel::highestRun(text));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NextRunNumber)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A folder of n files under their new names, with a journal whose run 1 renamed each of them
// from its old name; removed at the end.
class RenamedFolder {
  public:
    explicit RenamedFolder(int n) {
        m_dir = std::filesystem::temp_directory_path() /
                ("vantel-bench-undo-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir / "work");
        std::string journal = "run\t1\t2026-12-09T05:00:00Z\r\n";
        for (int op = 1; op <= n; ++op) {
            const std::string number = std::to_string(op);
            const std::string old_path = (m_dir / ("Show.S01E" + number + ".mkv")).string();
            const std::string new_path = (m_dir / ("Show - 1x" + number + " - Title.mkv")).string();
            std::ofstream(new_path).put('x');
            journal += "op\t1\t" + number + "\t2026-12-09T05:00:01Z\t1\t" + old_path + "\t" +
                       new_path + "\r\n" + "done\t1\t" + number + "\r\n";
            m_moves.emplace_back(new_path, old_path);
        }
        std::ofstream(m_dir / "work" / vantel::Journal::kFileName) << journal;
        ::sync();
    }
    ~RenamedFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string workdir() const { return (m_dir / "work").string() + "/"; }
    const std::vector<std::pair<std::string, std::string>>& moves() const { return m_moves; }

  private:
    std::filesystem::path m_dir;
    std::vector<std::pair<std::string, std::string>> m_moves;  // new path, old path
};

void BM_UndoRun(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        RenamedFolder folder(n);
        vantel::ActivityLog log;
        std::vector<vantel::UndoOutcome> outcomes;
        std::string error;
        int32_t run = 1;
        state.ResumeTiming();
        if (!vantel::undoJournalRun(folder.workdir(), run, log, outcomes, error))
            return state.SkipWithError(error.c_str());
        state.PauseTiming();
        if (outcomes.size() != static_cast<size_t>(n) ||
            outcomes.front().result != vantel::UndoResult::Undone)
            state.SkipWithError("not every rename was undone");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UndoRun)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_PlainRenameBack(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        RenamedFolder folder(n);
        state.ResumeTiming();
        for (const auto& [from, to] : folder.moves()) {
            if (std::rename(from.c_str(), to.c_str()) != 0)
                return state.SkipWithError("a rename failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlainRenameBack)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
