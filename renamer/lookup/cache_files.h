#pragma once
// The lookup's caches in the work directory's "cache" folder: one query cache file per detected
// show name (".qc": the search's answer) and one episode cache file per show title (".epc":
// the aired episodes). Formats, byte for byte:
//
//   name.qc   id TAB url TAB title                  (one line, no line end)
//   name.epc  airdate TAB season TAB number TAB url TAB title CR LF   (one line per episode)
//
// url keeps its double quotes; titles are entity-decoded and kept in their received bytes.
//
//   std::optional<std::string> path = cacheFilePath(workdir, detected_show, ".qc", &error);

#include <optional>
#include <string>
#include <string_view>

#include "renamer/common/textfile.h"
#include "renamer/lookup/episodes.h"

namespace vantel {

// cacheFilePath: workdir + "cache/" + the cleaned name (CleanText) + extension. nullopt with
// *error set when the name holds a bad character reference, or when the cleaned name could
// still reach outside the cache folder (a "/" or a NUL; cleaning removes both, this is the
// guard that it did).
std::optional<std::string> cacheFilePath(const std::string& workdir, std::string_view name,
                                         std::string_view extension, std::string* error);

// readCacheFile: the whole content of path; nullopt when it does not exist or cannot be read.
// A cache file that exists but is not a regular file, or is larger than the HTTP client's body
// limit (no reply it was made from can be), is not read: nullopt with *error (when given) saying
// so; *error stays empty for a file that is missing. stamp, when given, gets the stamp of what
// was read (ReadBoundedFile).
std::optional<std::string> readCacheFile(const std::string& path, std::string* error = nullptr,
                                         std::optional<FileStamp>* stamp = nullptr);

// writeCacheFile: creates the cache folder of workdir when it is missing, then replaces path's
// content atomically (a temporary file beside it, flushed and renamed over it), so a crash never
// leaves a torn or empty cache file behind. False when any step fails; path is then unchanged.
bool writeCacheFile(const std::string& workdir, const std::string& path, const std::string& text);

// The query cache line.
struct QueryCacheEntry {
    int32_t id = 0;
    std::string url;
    std::string title;
};
std::string formatQueryCache(const QueryCacheEntry& entry);
// parseQueryCache reads the fields of a query cache file's content (which holds a tab). nullopt
// with *error set when the id is not a number ("Type mismatch", "Overflow") or a field is
// missing ("Subscript out of range").
std::optional<QueryCacheEntry> parseQueryCache(std::string_view text, std::string* error);

// formatEpisodeCache: one line per episode of entries 1 onwards that has aired (HasAired; dates
// it cannot read are logged by it).
class ActivityLog;
std::string formatEpisodeCache(const EpisodeList& episodes, ActivityLog& log);
// parseEpisodeCache fills episodes from a cache file's content: every line before the last
// CR LF. False with *error set on a line with fewer than five fields or a season or number that
// is not a number; episodes is left unchanged then.
bool parseEpisodeCache(std::string_view text, EpisodeList& episodes, std::string* error);

}  // namespace vantel
