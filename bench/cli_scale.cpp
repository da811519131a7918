// The headless front end over a large collection, end to end: the elapsed time and the peak
// memory (maximum resident set) of `vantel-cli PATH` and `vantel-cli --dry-run PATH` over a folder
// of generated episode files, each run with cold caches and a home of its own, against the TVmaze
// stand-in. The memory one queued item costs is the peak beyond that of a run over an empty
// folder, divided by the number of files.
//
//   build/default/bin/bench_cli_scale [files] [shows]     # 100,000 files of 200 shows
//
// BENCH_CLI_PREFIX, when set, names a program the runs go through, for a profile of where the
// time or the memory goes ("heaptrack -o /tmp/cli", "perf record -g -o /tmp/cli.data"; split at
// blanks). Its figures then include the profiler's.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_catalogue.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/standin_server.h"
#include "tools/testsupport/temp_dir.h"

using namespace vantel_bench;

namespace {

struct Run {
    bool ok = false;
    int status = -1;
    double seconds = 0;
    long peak_kib = 0;
    size_t lines = 0;  // items reported on standard output
};

std::string programBeside(const char* name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / name).string();
}

// Spawns argv with envp, its standard output into out and its error output discarded, and waits
// for it. The peak is the child's own only when this process is small: a child shares its
// parent's memory until it runs its program, and the kernel counts that too. So the runs are made
// from a fresh copy of this program (runMeasured) that does nothing else.
Run spawnAndWait(char* const argv[], char* const envp[], const std::string& out) {
    Run run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak_kib = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.ok = true;
    return run;
}

// The measuring copy: "--measure OUT PROGRAM ARGS..." runs the program and prints
// "seconds peak_kib status".
int measureMain(int argc, char** argv) {
    if (argc < 4) return 2;
    // A prefix program is found through PATH: posix_spawn takes a path, so resolve it here.
    std::string program = argv[3];
    if (program.find('/') == std::string::npos) {
        for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
            if (::access((dir + program).c_str(), X_OK) == 0) {
                program = dir + program;
                break;
            }
        }
    }
    argv[3] = program.data();
    const Run run = spawnAndWait(argv + 3, environ, argv[2]);
    if (!run.ok) return 1;
    std::printf("%.6f %ld %d\n", run.seconds, run.peak_kib, run.status);
    return 0;
}

// Runs vantel-cli with args in a home of its own below root, through the measuring copy.
Run runCli(const std::string& root, const std::string& api, const std::vector<std::string>& args) {
    Run run;
    EnvChanges changes = isolatedUserEnv(root);
    if (changes.empty()) return run;
    changes["VANTEL_API_BASE"] = api;
    const std::vector<std::string> environment = environmentWith(changes);
    std::vector<char*> envp;
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    const std::string out = root + "/stdout.txt";
    std::vector<std::string> command = {programBeside("bench_cli_scale"), "--measure", out};
    if (const char* prefix = std::getenv("BENCH_CLI_PREFIX")) {
        std::string word;
        for (const char* c = prefix;; ++c) {
            if (*c == ' ' || *c == '\0') {
                if (!word.empty()) command.push_back(word);
                word.clear();
                if (*c == '\0') break;
            } else {
                word += *c;
            }
        }
    }
    command.push_back(programBeside("vantel-cli"));
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : command)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const std::string report = root + "/measure.txt";
    if (!spawnAndWait(argv.data(), envp.data(), report).ok) return run;
    FILE* file = std::fopen(report.c_str(), "r");
    if (!file) return run;
    run.ok = std::fscanf(file, "%lf %ld %d", &run.seconds, &run.peak_kib, &run.status) == 3;
    std::fclose(file);
    file = std::fopen(out.c_str(), "r");
    if (file) {
        for (int c; (c = std::fgetc(file)) != EOF;)
            run.lines += c == '\n';
        std::fclose(file);
    }
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--measure") return measureMain(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int shows = argc > 2 ? std::atoi(argv[2]) : 200;
    if (files < 1 || shows < 1 || shows > 26 * 26) {
        std::fprintf(stderr, "usage: bench_cli_scale [files] [shows (1 to 676)]\n");
        return 2;
    }
    const int seasons = (files / shows + kEpisodesPerSeason - 1) / kEpisodesPerSeason + 1;

    TempDir dir("vantel-bench-cli");
    const std::string catalogue = dir.makeDir("catalogue");
    if (!writeCatalogue(catalogue, shows, seasons)) {
        std::fprintf(stderr, "bench_cli_scale: cannot write the catalogue\n");
        return 1;
    }
    StandinServer server;
    StandinOptions options;
    options.dataDir = catalogue;
    if (!server.start(options)) {
        std::fprintf(stderr, "bench_cli_scale: %s\n", server.error().c_str());
        return 1;
    }
    const std::string api = server.httpUrl();

    dir.makeDir("empty");
    const std::vector<std::string> paths = makeTree(dir, "videos", files, shows, "mkv");
    double path_bytes = 0;
    for (const std::string& path : paths)
        path_bytes += static_cast<double>(path.size());
    path_bytes /= static_cast<double>(paths.size());
    ::sync();

    const Run base = runCli(dir.makeDir("home-empty"), api, {dir.file("empty")});
    const Run dry = runCli(dir.makeDir("home-dry"), api, {"--dry-run", dir.file("videos")});
    ::sync();
    const Run real = runCli(dir.makeDir("home-real"), api, {dir.file("videos")});
    if (!base.ok || !dry.ok || !real.ok) {
        std::fprintf(stderr, "bench_cli_scale: vantel-cli could not be run\n");
        return 1;
    }

    auto perItem = [&](const Run& run) {
        return (static_cast<double>(run.peak_kib) - static_cast<double>(base.peak_kib)) * 1024.0 /
               files;
    };
    std::printf("files %d across %d shows, %.0f bytes of path each\n", files, shows, path_bytes);
    std::printf("empty folder:  %8.3f s, peak %7.1f MiB\n", base.seconds, base.peak_kib / 1024.0);
    std::printf(
        "--dry-run:     %8.3f s, peak %7.1f MiB, %6.0f bytes per item, %zu items, exit %d\n",
        dry.seconds, dry.peak_kib / 1024.0, perItem(dry), dry.lines, dry.status);
    std::printf(
        "real run:      %8.3f s, peak %7.1f MiB, %6.0f bytes per item, %zu items, exit %d\n",
        real.seconds, real.peak_kib / 1024.0, perItem(real), real.lines, real.status);
    const bool all =
        dry.lines == static_cast<size_t>(files) && real.lines == static_cast<size_t>(files);
    return all && dry.status == 0 && real.status == 0 ? 0 : 1;
}
