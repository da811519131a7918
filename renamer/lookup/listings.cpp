#include "renamer/lookup/listings.h"

#include <ctime>
#include <vector>

#include "renamer/common/activity_log.h"
#include "renamer/http/modhttp.h"
#include "renamer/lookup/cache_files.h"
#include "renamer/lookup/scrape.h"

namespace vantel {

namespace {

bool useEntry(QueueItem& item, LookupContext& ctx, const EpisodeEntry& entry) {
    item.episode_title = DecodeTitle(entry.title, ctx.settings.noutf8, ctx.log);
    item.episode_url = entry.url;
    return true;
}

bool failed(std::string* error, const std::string& description) {
    if (error) *error = description;
    return false;
}

std::chrono::year_month_day localToday() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return std::chrono::year_month_day{std::chrono::year{tm.tm_year + 1900},
                                       std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                                       std::chrono::day{static_cast<unsigned>(tm.tm_mday)}};
}

std::optional<int> datePart(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

}  // namespace

void checkepcache(QueueItem& item, LookupContext& ctx, bool& found) {
    found = false;
    std::string error;
    std::optional<std::string> path =
        cacheFilePath(ctx.settings.workdir, item.show_title, ".epc", &error);
    if (!path) {
        ctx.log.debug_log("Error checking ep cache: " + error, 1);
        return;
    }
    // The table already holds this file's listing, and the file is provably the one read: the
    // same listing again, without reading it.
    if (EpisodeTableSource* source = ctx.episodes_from;
        source && StillAsRead(*path, source->path, source->stamp)) {
        found = true;
        return;
    }
    std::optional<FileStamp> stamp;
    std::optional<std::string> text = readCacheFile(*path, &error, &stamp);
    if (!error.empty()) {
        ctx.log.debug_log("Error checking ep cache: " + error, 1);
        return;
    }
    if (!text || text->find("\r\n") == std::string::npos) return;
    // Read in full, the same text the table was made from gives the same table: a show's items
    // that follow the write of its cache file (whose stamp proves nothing for a moment) then cost
    // a read each, not a parse.
    if (EpisodeTableSource* source = ctx.episodes_from;
        source && !source->text.empty() && source->path == *path && source->text == *text) {
        source->stamp = stamp;
        found = true;
        return;
    }
    if (!parseEpisodeCache(*text, ctx.episodes, &error)) {
        ctx.log.debug_log("Error checking ep cache: " + error, 1);
        return;
    }
    if (ctx.episodes_from) *ctx.episodes_from = {*path, stamp, std::move(*text)};
    found = true;
}

bool getlistings(QueueItem& item, LookupContext& ctx, std::string* error) {
    if (error) error->clear();
    ActivityLog& log = ctx.log;
    if (ctx.settings.nocache) {
        log.debug_log("Ep cache disabled", 2);
    } else {
        bool found = false;
        checkepcache(item, ctx, found);
        const EpisodeEntry* entry = found ? ctx.episodes.find(item.season, item.episode) : nullptr;
        if (entry) {
            log.debug_log("Found episode in cache", 2);
            return useEntry(item, ctx, *entry);
        }
        log.debug_log("No matches found in ep cache", 2);
    }

    log.debug_log("Getting listings for: " + item.show_title, 2);
    std::string url = ctx.api_base + "/shows/" + std::to_string(item.show_id) + "/episodes";
    std::string problem;
    std::string reply = modHTTP::GetData(url, ctx.host, "", &problem);
    if (!problem.empty()) return failed(error, problem);
    if (reply.empty()) return false;
    if (reply == "[]") {
        log.debug_log("Site reports no episodes for: \"" + item.detected_show + "\"", 1);
        return false;
    }
    if (reply.find("\"id\"") == std::string::npos) {
        log.debug_log("Error parsing listings (Err 5)", 1);
        return false;
    }

    int skipped = 0;
    // The table is about to hold the service's listing, not a cache file's.
    if (ctx.episodes_from) {
        ctx.episodes_from->stamp.reset();
        ctx.episodes_from->text.clear();
    }
    if (!scrapeEpisodes(reply, ctx.episodes, &skipped, &problem)) return failed(error, problem);
    if (skipped > 0)
        log.debug_log("Skipped " + std::to_string(skipped) + " listings without a season or number",
                      2);

    if (!ctx.settings.nocache) {
        log.debug_log("Updating ep cache", 2);
        std::optional<std::string> path =
            cacheFilePath(ctx.settings.workdir, item.show_title, ".epc", &problem);
        if (!path) return failed(error, problem);
        // A cache that cannot be written only costs a request next time.
        writeCacheFile(ctx.settings.workdir, *path, formatEpisodeCache(ctx.episodes, log));
    }
    const EpisodeEntry* entry = ctx.episodes.find(item.season, item.episode);
    if (!entry) return false;
    log.debug_log("Found episode in listings", 2);
    return useEntry(item, ctx, *entry);
}

bool HasAired(const std::string& airdate, ActivityLog& log) {
    return HasAired(airdate, localToday(), log);
}

bool HasAired(const std::string& airdate, std::chrono::year_month_day today, ActivityLog& log) {
    if (airdate == "0000-00-00" || airdate == "0-0-0") return false;
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t dash = airdate.find('-'); dash != std::string::npos;
         dash = airdate.find('-', start)) {
        parts.push_back(airdate.substr(start, dash - start));
        start = dash + 1;
    }
    parts.push_back(airdate.substr(start));
    if (parts.size() >= 3 && (parts[1] == "00" || parts[2] == "00")) return false;

    std::optional<int> year, month, day;
    if (parts.size() >= 3) {
        year = datePart(parts[0]);
        month = datePart(parts[1]);
        day = datePart(parts[2]);
    }
    std::chrono::year_month_day date{};
    if (year && month && day && *year >= 1) {
        date = std::chrono::year_month_day{std::chrono::year{*year},
                                           std::chrono::month{static_cast<unsigned>(*month)},
                                           std::chrono::day{static_cast<unsigned>(*day)}};
    }
    if (!date.ok()) {
        log.debug_log("Error checking date", 1);
        return false;
    }
    return date <= today;
}

}  // namespace vantel
