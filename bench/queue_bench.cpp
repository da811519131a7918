// Queueing scales linearly: add_to_queue over a folder of 10,000 and of 100,000 video files,
// beside `find DIR -type f` over the same trees for comparison. queue_scaling.sh runs both and
// checks that the larger tree takes under 12 times the smaller.
//
// With VANTEL_BENCH_MILLION=1 both also run over a tree of 1,000,000 files. That case is left
// out otherwise: making the tree takes minutes and about 0.2 GB of disk (empty files, their
// folders and inodes), and queueing it about 0.5 GB of memory.

#include "renamer/engine/core.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

using namespace vantel;

namespace fs = std::filesystem;

namespace {

// The trees live for the whole run and are removed at its end.
class Trees {
  public:
    ~Trees() {
        std::error_code ignored;
        if (!m_root.empty()) fs::remove_all(m_root, ignored);
    }

    // A tree of n files laid out as a collection: 100 episodes per season folder, 10 seasons
    // per show folder, every file a video file, so every file is queued.
    const std::string& tree(int n) {
        auto found = m_trees.find(n);
        if (found != m_trees.end()) return found->second;
        if (m_root.empty()) {
            m_root = fs::temp_directory_path() / ("vantel-bench-" + std::to_string(::getpid()));
            fs::create_directories(m_root);
        }
        fs::path top = m_root / ("n" + std::to_string(n));
        for (int i = 0; i < n; ++i) {
            int show = i / 1000, season = i / 100 % 10 + 1, episode = i % 100 + 1;
            fs::path folder =
                top / ("Show " + std::to_string(show)) / ("Season " + std::to_string(season));
            if (episode == 1) fs::create_directories(folder);
            std::ofstream(folder / ("show." + std::to_string(show) + ".s" + std::to_string(season) +
                                    "e" + std::to_string(episode) + ".mkv"));
        }
        // Let the new files reach the disk before anything is timed, so the timings do not
        // include the file system's write-back of the tree.
        ::sync();
        return m_trees[n] = top.string() + "/";
    }

  private:
    fs::path m_root;
    std::map<int, std::string> m_trees;
};

Trees g_trees;

void BM_AddFolderToQueue(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string& folder = g_trees.tree(n);
    for (auto _ : state) {
        state.PauseTiming();
        auto core = std::make_unique<Core>();
        state.ResumeTiming();
        core->add_to_queue(folder, true);
        state.PauseTiming();
        if (core->queueCount() != n) state.SkipWithError("not every file was queued");
        core.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_FindTypeF(benchmark::State& state) {
    const std::string& folder = g_trees.tree(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"find", folder.c_str(), "-type", "f", nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, "find", &actions, nullptr, const_cast<char* const*>(argv),
                         environ) != 0) {
            state.SkipWithError("cannot start find");
            break;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

// The same number of runs for both sizes, so that each is measured as often cold (first run)
// and warm (memory the previous run gave back) as the other. The machine may be shared, so the
// fastest of the repetitions is the figure least disturbed by other work.
double fastest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

void registerAll(const std::vector<int64_t>& sizes) {
    auto* queue = benchmark::RegisterBenchmark("BM_AddFolderToQueue", BM_AddFolderToQueue);
    auto* find = benchmark::RegisterBenchmark("BM_FindTypeF", BM_FindTypeF);
    for (int64_t n : sizes) {
        queue->Arg(n);
        find->Arg(n);
    }
    queue->Iterations(5)->ComputeStatistics("min", fastest)->Unit(benchmark::kMillisecond);
    find->ComputeStatistics("min", fastest)->Unit(benchmark::kMillisecond)->UseRealTime();
}

bool millionWanted() {
    const char* text = std::getenv("VANTEL_BENCH_MILLION");
    return text && std::string(text) == "1";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int64_t> sizes{10000, 100000};
    if (millionWanted()) sizes.push_back(1000000);
    registerAll(sizes);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
