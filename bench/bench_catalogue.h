#pragma once
// A generated collection for the whole-pipeline benchmarks: a catalogue of shows in the TVmaze
// stand-in's format and a tree of episode files of those shows.
//
//   writeCatalogue(dir.makeDir("catalogue"), 50, seasons);
//   makeTree(dir, "cold", 10000, 50, "mkv");

#include <fstream>
#include <string>
#include <vector>

#include "tools/testsupport/temp_dir.h"

namespace vantel_bench {

inline constexpr int kEpisodesPerSeason = 20;

inline std::string two(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// The show names: "Bench Aa", "Bench Ab", ... (letters only, so no digit in a name can be read
// as a season or episode).
inline std::string showName(int show) {
    return std::string("Bench ") + static_cast<char>('A' + show / 26) +
           static_cast<char>('a' + show % 26);
}

inline int showId(int show) {
    return 95000 + show;
}

inline bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

// A catalogue in the stand-in's format: per show a search reply and an episode list of
// `seasons` seasons of 20 aired episodes, compact JSON in the service's member order.
inline bool writeCatalogue(const std::string& folder, int shows, int seasons) {
    std::string searches, lists;
    for (int s = 0; s < shows; ++s) {
        const std::string name = showName(s);
        const std::string id = std::to_string(showId(s));
        const std::string search = "search-" + id + ".json";
        const std::string episodes = "episodes-" + id + ".json";
        if (!writeText(folder + "/" + search,
                       "[{\"score\":0.9,\"show\":{\"id\":" + id +
                           ",\"url\":\"https://www.tvmaze.com/shows/" + id +
                           "/bench\",\"name\":\"" + name +
                           "\",\"type\":\"Scripted\",\"language\":\"English\"}}]"))
            return false;
        std::string list = "[";
        int episode_id = showId(s) * 1000;
        for (int season = 1; season <= seasons; ++season) {
            for (int number = 1; number <= kEpisodesPerSeason; ++number) {
                if (list.size() > 1) list += ",";
                ++episode_id;
                list += "{\"id\":" + std::to_string(episode_id) +
                        ",\"url\":\"https://www.tvmaze.com/episodes/" + std::to_string(episode_id) +
                        "/bench\",\"name\":\"Chapter " + std::to_string(season) + "." +
                        std::to_string(number) + "\",\"season\":" + std::to_string(season) +
                        ",\"number\":" + std::to_string(number) +
                        ",\"type\":\"regular\",\"airdate\":\"2015-01-" + two(number) +
                        "\",\"airtime\":\"21:00\",\"runtime\":60}";
            }
        }
        if (!writeText(folder + "/" + episodes, list + "]")) return false;
        searches += std::string(searches.empty() ? "" : ",") + "{\"queries\":[\"" + name +
                    "\"],\"file\":\"" + search + "\"}";
        lists += std::string(lists.empty() ? "" : ",") + "{\"id\":" + id + ",\"file\":\"" +
                 episodes + "\"}";
    }
    return writeText(folder + "/search-empty.json", "[]") &&
           writeText(folder + "/catalog.json",
                     "{\"no_match\":\"search-empty.json\",\"searches\":[" + searches +
                         "],\"episodes\":[" + lists + "]}");
}

// files episode files spread evenly over the shows, in one folder per show:
// "<root>/Bench Aa/Bench.Aa.S01E01.<extension>".
inline std::vector<std::string> makeTree(const TempDir& dir, const std::string& root, int files,
                                         int shows, const std::string& extension) {
    std::vector<std::string> paths;
    for (int s = 0; s < shows; ++s)
        dir.makeDir(root + "/" + showName(s));
    for (int i = 0; i < files; ++i) {
        const int show = i % shows;
        const int nth = i / shows;  // the show's nth file
        const int season = nth / kEpisodesPerSeason + 1;
        const int number = nth % kEpisodesPerSeason + 1;
        std::string name = showName(show);
        name[5] = '.';
        const std::string path = dir.file(root + "/" + showName(show) + "/" + name + ".S" +
                                          two(season) + "E" + two(number) + "." + extension);
        writeText(path, "");
        paths.push_back(path);
    }
    return paths;
}

}  // namespace vantel_bench
