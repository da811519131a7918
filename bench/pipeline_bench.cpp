// The whole pipeline at scale: 10,000 episode files of 50 shows queued as one folder and worked
// through by the core with this build's stages: detection, the lookups through the real socket
// control to the TVmaze stand-in (serving a generated catalogue of the 50 shows), the default
// filter, the rename. First with cold caches (one search and one listing per show, not per
// file: the request count is printed), then 10,000 more files of the same shows with warm
// caches (no request at all). The floor is 10,000 plain rename() calls on the same kind of tree.
//
//   build/default/bin/bench_pipeline [files] [shows]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_catalogue.h"
#include "renamer/engine/core.h"
#include "renamer/engine/startup.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/standin_server.h"
#include "tools/testsupport/temp_dir.h"

using namespace vantel;
using namespace vantel_bench;

namespace {

using Clock = std::chrono::steady_clock;

struct Pass {
    double seconds = 0;
    int done = 0;
    int requests = 0;
};

// Queues the folder and runs one pass of the driver over it with this build's stages.
Pass runPass(const std::string& folder, StandinServer& server) {
    Core core(nullptr, nullptr, "");
    startCore(core);
    core.setApiBase(server.httpUrl());
    server.reset();
    // The trees were just written: flush them first, so the pass does not pay for their
    // write-back (every rename syncs its folder, which would wait for it).
    ::sync();
    const Clock::time_point start = Clock::now();
    core.add_to_queue(folder, false);
    core.process_queue();
    Pass pass;
    pass.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (int32_t i = 1; i <= core.queueCount(); ++i)
        pass.done += core.item(i).state == kStateDone ? 1 : 0;
    pass.requests = server.requestCount();
    return pass;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int shows = argc > 2 ? std::atoi(argv[2]) : 50;
    if (files < 1 || shows < 1 || shows > 26 * 26) {
        std::fprintf(stderr, "usage: bench_pipeline [files] [shows (1 to 676)]\n");
        return 2;
    }
    const int seasons = (files / shows + kEpisodesPerSeason - 1) / kEpisodesPerSeason + 1;

    TempDir dir("vantel-bench-pipeline");
    ScopedEnv env(isolatedUserEnv(dir.path()));
    const std::string catalogue = dir.makeDir("catalogue");
    if (!writeCatalogue(catalogue, shows, seasons)) {
        std::fprintf(stderr, "bench_pipeline: cannot write the catalogue\n");
        return 1;
    }
    StandinServer server;
    StandinOptions options;
    options.dataDir = catalogue;
    if (!server.start(options)) {
        std::fprintf(stderr, "bench_pipeline: %s\n", server.error().c_str());
        return 1;
    }

    makeTree(dir, "cold", files, shows, "mkv");
    makeTree(dir, "warm", files, shows, "avi");
    const std::vector<std::string> plain = makeTree(dir, "plain", files, shows, "mp4");

    const Pass cold = runPass(dir.file("cold"), server);
    const Pass warm = runPass(dir.file("warm"), server);

    ::sync();
    const Clock::time_point start = Clock::now();
    int renamed = 0;
    for (const std::string& path : plain)
        renamed += std::rename(path.c_str(), (path + ".renamed").c_str()) == 0 ? 1 : 0;
    const double floor_seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("files %d across %d shows\n", files, shows);
    std::printf("cold caches: %6d done, %4d requests, %8.3f s, %9.0f files/s\n", cold.done,
                cold.requests, cold.seconds, cold.done / cold.seconds);
    std::printf("warm caches: %6d done, %4d requests, %8.3f s, %9.0f files/s\n", warm.done,
                warm.requests, warm.seconds, warm.done / warm.seconds);
    std::printf("floor:       %6d plain rename() calls,  %8.3f s, %9.0f files/s\n", renamed,
                floor_seconds, renamed / floor_seconds);
    return cold.done == files && warm.done == files && renamed == files ? 0 : 1;
}
