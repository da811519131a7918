#pragma once
// What the show search and the episode listing need from the program that runs them: the
// settings, the activity log, the window that hosts the socket control, the episode table and
// the service's address. The settings are referred to, not copied: a change the preferences
// dialog makes while a request waits counts from the next step on.
//
//   LookupContext ctx{settings, log, host, episodes, ApiBase()};
//   if (searchtv(item, ctx) && getlistings(item, ctx, &error)) ...

#include <string>

#include "renamer/common/settings.h"
#include "renamer/http/control_host.h"
#include "renamer/lookup/episodes.h"

namespace vantel {

class ActivityLog;

struct LookupContext {
    const Settings& settings;  // nocache, noutf8, and workdir (the cache is workdir + "cache/")
    ActivityLog& log;
    ControlHost& host;      // hosts the socket control "Wirran1"
    EpisodeList& episodes;  // the main window's episode table
    std::string api_base;   // e.g. "https://api.tvmaze.com", without a trailing "/"
};

}  // namespace vantel
