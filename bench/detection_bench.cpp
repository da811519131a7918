// Filename detection over a fixed set of generated names: the shapes of the detection table
// with the usual release noise, long names, names in other scripts and names that match nothing.
//
//   build/default/bin/bench_detection
// reports names per second (items_per_second) for file names alone and for the driver's order
// (the folder name first, then the file name).
//
//   build/default/bin/bench_detection --dump > results.txt
// prints instead what detection finds for these names and for 40,000 names made of the
// markers' characters at random, one line each: the way to see that a change to detection
// leaves every result as it was (compare the output of the two builds).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "renamer/engine/detection.h"

using namespace vantel;

namespace {

constexpr size_t kNames = 12000;

const char* const kWords[] = {
    "The",        "Office",      "Lost",    "Doctor",  "Who",      "Star",  "Trek",  "Next",
    "Generation", "Game",        "of",      "Thrones", "Breaking", "Bad",   "House", "Mad",
    "Men",        "Sopranos",    "Wire",    "Fargo",   "Dark",     "Crown", "Big",   "Bang",
    "Theory",     "Friends",     "Lucifer", "Pokémon", "Æon",      "Ζήτα",  "Жизнь", "&amp;",
    "Agents",     "S.H.I.E.L.D", "X-Files", "24",
};
const char* const kNoise[] = {"720p",   "1080p",  "2160p",  "x264",   "x265",  "HDTV", "WEB-DL",
                              "BluRay", "PROPER", "REPACK", "AAC2.0", "H.264", "10bit"};
const char* const kGroups[] = {"-LOL", "-DIMENSION", "-KILLERS", "[eztv]", "-NTb", "-FLEET", ""};
const char* const kExtensions[] = {"mkv", "avi", "mp4", "mpg"};

struct Generator {
    std::mt19937 random{20240601};  // a fixed seed: every run sees the same names

    size_t below(size_t n) { return random() % n; }
    template <size_t N>
    const char* pick(const char* const (&list)[N]) {
        return list[below(N)];
    }
    std::string number(int value, int width) {
        std::string s = std::to_string(value);
        return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
    }

    std::string show(char separator) {
        std::string name;
        for (size_t i = 0, n = 1 + below(4); i < n; ++i) {
            if (i) name += separator;
            name += pick(kWords);
        }
        return name;
    }

    std::string noise(char separator) {
        std::string tail;
        for (size_t i = 0, n = below(4); i < n; ++i)
            tail += separator + std::string(pick(kNoise));
        return tail + pick(kGroups);
    }

    // One name in one of the table's shapes, or a long or unmatched name.
    std::string fileName() {
        int s = 1 + static_cast<int>(below(12)), e = 1 + static_cast<int>(below(24));
        std::string ext = std::string(".") + pick(kExtensions);
        switch (below(12)) {
            case 0:
                return show('.') + ".S" + number(s, 2) + "E" + number(e, 2) + noise('.') + ext;
            case 1:
                return show('.') + "." + number(s % 10, 1) + number(e, 2) + noise('.') + ext;
            case 2:
                return show(' ') + " - " + number(s, 2) + "x" + number(e, 2) + " - " + show(' ') +
                       ext;
            case 3:
                return show(' ') + " - " + number(s % 10, 1) + "x" + number(e, 2) + " - Title" +
                       ext;
            case 4:
                return show('.') + "." + number(s, 1) + "x" + number(e, 2) + noise('.') + ext;
            case 5:
                return show('.') + ".s" + number(s, 2) + ".e" + number(e, 2) + noise('.') + ext;
            case 6:
                return show(' ') + " " + number(s, 1) + "x" + number(e, 2) + " " + show(' ') + ext;
            case 7:
                return show('_') + "_s" + number(s, 2) + "e" + number(e, 2) + noise('_') + ext;
            case 8:
                return show(' ') + " " + number(s % 10, 1) + number(e, 2) + " " + pick(kNoise) +
                       ext;
            case 9: {  // a long name: many words and noise before the marker
                std::string name;
                for (int i = 0; i < 12; ++i)
                    name += show('.') + ".";
                return name + "S" + number(s, 2) + "E" + number(e, 2) + noise('.') + noise('.') +
                       ext;
            }
            case 10:
                return show(' ') + " " + pick(kNoise) + ext;  // "Show 1080p.mkv": no match
            default:
                return show(' ') + " holiday " + show('-') + ext;  // nothing to find
        }
    }
};

std::vector<QueueItem> makeItems() {
    Generator generator;
    std::vector<QueueItem> items(kNames);
    for (QueueItem& item : items) {
        item.file_name = generator.fileName();
        // Half the files sit in a season folder (no match), half in a release folder.
        std::string folder = generator.below(2) ? "Season " + std::to_string(1 + generator.below(9))
                                                : generator.show('.') + generator.noise('.');
        item.path = "/media/tv/" + generator.show(' ') + "/" + folder + "/" + item.file_name;
    }
    return items;
}

void BM_GetbitsFileNames(benchmark::State& state) {
    std::vector<QueueItem> items = makeItems();
    ActivityLog log;  // normal threshold: the level-2 lines are built and dropped, as in use
    size_t found = 0;
    for (auto _ : state) {
        for (QueueItem& item : items)
            found += getbits(item, false, log);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * items.size()));
    state.counters["matched"] = static_cast<double>(found) / state.iterations() / items.size();
}
BENCHMARK(BM_GetbitsFileNames)->Unit(benchmark::kMillisecond);

void BM_GetbitsDriverOrder(benchmark::State& state) {
    std::vector<QueueItem> items = makeItems();
    ActivityLog log;
    for (auto _ : state) {
        for (QueueItem& item : items) {
            benchmark::DoNotOptimize(getbits(item, true, log) || getbits(item, false, log));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * items.size()));
}
BENCHMARK(BM_GetbitsDriverOrder)->Unit(benchmark::kMillisecond);

// Names made of the characters markers are made of, digits, a "p" and a few others, in runs
// that put markers next to each other, at either end and inside longer runs of digits.
std::vector<std::string> soupNames(size_t count) {
    static const char kAlphabet[] = "0123456789012345.... ---xxssee pP_aZ&\\\xC3\xA9";
    std::mt19937 random{77};
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        std::string name;
        for (size_t n = 1 + random() % 24; n > 0; --n)
            name += kAlphabet[random() % (sizeof kAlphabet - 1)];
        names.push_back(name);
    }
    return names;
}

// A fresh item with only the path and file name, as the queue makes it.
QueueItem queued(const QueueItem& from) {
    QueueItem item;
    item.path = from.path;
    item.file_name = from.file_name;
    return item;
}

void dumpOne(QueueItem& item, bool p) {
    ActivityLog log;
    int32_t id = 0;
    bool found = getbits(item, p, log, &id);
    std::printf("%s\t%d\t%d\t%d\t%d\t%s\n", p ? item.path.c_str() : item.file_name.c_str(), found,
                id, item.season, item.episode, item.detected_show.c_str());
}

int dump() {
    for (QueueItem& item : makeItems()) {
        dumpOne(item, false);
        item = queued(item);
        dumpOne(item, true);
    }
    for (const std::string& name : soupNames(40000)) {
        QueueItem item;
        item.file_name = name;
        item.path = "/tv/" + name + "/" + name;
        dumpOne(item, false);
        item = queued(item);
        dumpOne(item, true);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--dump") == 0) return dump();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
