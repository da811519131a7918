#pragma once
// What the show search and the episode listing need from the program that runs them: the
// settings, the activity log, the window that hosts the socket control, the episode table and
// the service's address. The settings are referred to, not copied: a change the preferences
// dialog makes while a request waits counts from the next step on.
//
//   LookupContext ctx{settings, log, host, episodes, ApiBase()};
//   if (searchtv(item, ctx) && getlistings(item, ctx, &error)) ...

#include <optional>
#include <string>

#include "renamer/common/settings.h"
#include "renamer/common/textfile.h"
#include "renamer/http/control_host.h"
#include "renamer/lookup/cache_files.h"
#include "renamer/lookup/episodes.h"

namespace vantel {

class ActivityLog;

// What the episode table holds: the listing read from one episode cache file, with the stamp of
// the file as it was read; no stamp when the table holds anything else. A later item of the same
// show whose cache file still has that stamp reads the same listing, so it is not read again.
struct EpisodeTableSource {
    std::string path;
    std::optional<FileStamp> stamp;
    // The text the table was made from (empty: the table was not made from a file's text).
    // A file read again because its stamp proves nothing yet (it changed a moment ago, as a
    // cache file just written has) may still hold exactly this text: the table then stands.
    std::string text;
};

// The last query cache file read and what it said, with the stamp of the file as it was read.
// An item whose show has the same cache file, still with that stamp, takes the same answer
// without reading the file again; any change to the file (or no stamp) means reading it.
struct QueryCacheSource {
    std::string path;
    std::optional<FileStamp> stamp;
    QueryCacheEntry entry;
};

struct LookupContext {
    const Settings& settings;  // nocache, noutf8, and workdir (the cache is workdir + "cache/")
    ActivityLog& log;
    ControlHost& host;      // hosts the socket control "Wirran1"
    EpisodeList& episodes;  // the main window's episode table
    std::string api_base;   // e.g. "https://api.tvmaze.com", without a trailing "/"
    // Where the episode table came from (nullptr: not known, every item reads its cache file).
    EpisodeTableSource* episodes_from = nullptr;
    // The last query cache file read (nullptr: every item reads its query cache file).
    QueryCacheSource* queries_from = nullptr;
};

}  // namespace vantel
