#include "renamer/lookup/cache_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "renamer/lookup/listings.h"
#include "renamer/lookup/scrape.h"
#include "renamer/lookup/text.h"

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

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
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

std::optional<std::string> readCacheFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

bool writeCacheFile(const std::string& workdir, const std::string& path, const std::string& text) {
    std::string folder = workdir + "cache";
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
    // A short name of its own, so a name near the length limit still fits.
    std::string temporary = folder + "/.tmp-" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
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
