#include "renamer/lookup/cache_files.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "renamer/common/text.h"
#include "renamer/common/textfile.h"
#include "renamer/http/modhttp.h"
#include "renamer/lookup/listings.h"
#include "renamer/lookup/scrape.h"

namespace vantel {

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

std::optional<std::string> cacheFilePath(const std::string& workdir, std::string_view name,
                                         std::string_view extension, std::string* error) {
    std::optional<std::string> cleaned = CleanText(name, error);
    if (!cleaned) return std::nullopt;
    if (cleaned->find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        if (error) *error = "Invalid cache file name";
        return std::nullopt;
    }
    return workdir + "cache/" + *cleaned + std::string(extension);
}

std::optional<std::string> readCacheFile(const std::string& path, std::string* error,
                                         std::optional<FileStamp>* stamp) {
    std::string why;
    std::optional<std::string> text =
        ReadBoundedFile(path, modHTTP::GetLimits().max_body_bytes, &why, stamp);
    if (!text && errno != ENOENT && error) *error = path.substr(path.rfind('/') + 1) + " is " + why;
    return text;
}

bool writeCacheFile(const std::string& workdir, const std::string& path, const std::string& text) {
    std::error_code error;
    std::filesystem::create_directory(workdir + "cache", error);
    if (error) return false;
    return ReplaceTextFile(path, text);
}

std::string formatQueryCache(const QueryCacheEntry& entry) {
    return std::to_string(entry.id) + "\t" + entry.url + "\t" + entry.title;
}

std::optional<QueryCacheEntry> parseQueryCache(std::string_view text, std::string* error) {
    std::vector<std::string_view> fields = split(text, "\t");
    std::optional<int32_t> id = ParseLong(fields[0], error);
    if (!id) return std::nullopt;
    if (fields.size() < 3) {
        if (error) *error = "Subscript out of range";
        return std::nullopt;
    }
    return QueryCacheEntry{*id, std::string(fields[1]), std::string(fields[2])};
}

std::string formatEpisodeCache(const EpisodeList& episodes, ActivityLog& log) {
    std::string text;
    for (size_t i = 1; i <= episodes.count(); ++i) {
        const EpisodeEntry& e = episodes.at(i);
        if (!HasAired(e.airdate, log)) continue;
        text += e.airdate + "\t" + std::to_string(e.season) + "\t" + std::to_string(e.number) +
                "\t" + e.url + "\t" + e.title + "\r\n";
    }
    return text;
}

bool parseEpisodeCache(std::string_view text, EpisodeList& episodes, std::string* error) {
    std::vector<std::string_view> lines = split(text, "\r\n");
    lines.pop_back();  // the text after the last line end
    EpisodeList read;
    for (std::string_view line : lines) {
        std::vector<std::string_view> fields = split(line, "\t");
        if (fields.size() < 5) {
            if (error) *error = "Subscript out of range";
            return false;
        }
        std::optional<int32_t> season = ParseLong(fields[1], error);
        if (!season) return false;
        std::optional<int32_t> number = ParseLong(fields[2], error);
        if (!number) return false;
        read.append({std::string(fields[0]), *season, *number, std::string(fields[3]),
                     std::string(fields[4])});
    }
    episodes = std::move(read);
    return true;
}

}  // namespace vantel
