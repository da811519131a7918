// Reading the rename journal back: the text of runs of 1,000 to 100,000 renames, each with its
// "op" and "done" records, parsed into the history the undo works from, and the scan a new run
// makes for its number. Both must grow with the journal's size, not with its square.
//
//   build/default/bin/bench_journal

#include <benchmark/benchmark.h>

#include <string>

#include "renamer/engine/journal.h"

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

}  // namespace

BENCHMARK_MAIN();
