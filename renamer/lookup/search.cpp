#include "renamer/lookup/search.h"

#include "renamer/common/activity_log.h"
#include "renamer/http/modhttp.h"
#include "renamer/lookup/cache_files.h"
#include "renamer/lookup/scrape.h"

namespace vantel {

namespace {

bool searchFailed(LookupContext& ctx, const std::string& description) {
    ctx.log.debug_log("Error searching for show: " + description, 1);
    return false;
}

}  // namespace

void checkqcache(QueueItem& item, LookupContext& ctx, bool& found) {
    found = false;
    std::string error;
    std::optional<std::string> path =
        cacheFilePath(ctx.settings.workdir, item.detected_show, ".qc", &error);
    if (!path) {
        ctx.log.debug_log("Error checking q cache: " + error, 1);
        return;
    }
    QueryCacheSource* source = ctx.queries_from;
    std::optional<QueryCacheEntry> entry;
    // The file is provably the one read last: the same answer, without reading it.
    if (source && StillAsRead(*path, source->path, source->stamp)) {
        entry = source->entry;
    } else {
        std::optional<FileStamp> stamp;
        std::optional<std::string> text = readCacheFile(*path, &error, &stamp);
        if (!error.empty()) {
            ctx.log.debug_log("Error checking q cache: " + error, 1);
            return;
        }
        if (!text || text->find('\t') == std::string::npos) return;
        entry = parseQueryCache(*text, &error);
        if (!entry) {
            ctx.log.debug_log("Error checking q cache: " + error, 1);
            return;
        }
        if (source) *source = {*path, stamp, *entry};
    }
    item.show_id = entry->id;
    item.show_url = entry->url;
    item.show_title = DecodeTitle(entry->title, ctx.settings.noutf8, ctx.log);
    found = true;
}

bool searchtv(QueueItem& item, LookupContext& ctx) {
    ActivityLog& log = ctx.log;
    if (!ctx.settings.nocache) {
        bool found = false;
        checkqcache(item, ctx, found);
        if (found) {
            log.debug_log("Found query in cache", 2);
            return true;
        }
        log.debug_log("Query not in cache", 2);
    } else {
        log.debug_log("Query cache disabled", 2);
    }

    std::string url = ctx.api_base + "/search/shows?q=" + modHTTP::URLEncode(item.detected_show);
    std::string error;
    std::string reply = modHTTP::GetData(url, ctx.host, "", &error);
    if (!error.empty()) return searchFailed(ctx, error);
    if (reply.empty()) return false;
    if (reply == "[]") {
        log.debug_log("Site reports no results for: \"" + item.detected_show + "\"", 1);
        return false;
    }
    if (reply.find("\"show\"") == std::string::npos) {
        log.debug_log("Error parsing results (Err 2)", 1);
        return false;
    }

    ShowMatch show;
    if (!scrapeFirstShow(reply, &show, &error)) return searchFailed(ctx, error);
    item.show_id = show.id;
    item.show_url = show.url;
    item.show_title = DecodeTitle(show.title, ctx.settings.noutf8, log);

    if (!ctx.settings.nocache) {
        log.debug_log("Updating query cache", 2);
        std::optional<std::string> path =
            cacheFilePath(ctx.settings.workdir, item.detected_show, ".qc", &error);
        if (!path) return searchFailed(ctx, error);
        // A cache that cannot be written only costs a request next time.
        writeCacheFile(ctx.settings.workdir, *path,
                       formatQueryCache({show.id, show.url, show.title}));
    }
    return true;
}

}  // namespace vantel
