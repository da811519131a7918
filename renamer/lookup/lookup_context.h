#pragma once
// What the show search and the episode listing need from the program that runs them: the
// options, the activity log, the window that hosts the socket control, the episode table and
// the service's address. The queue driver builds one for each call, so option changes made
// meanwhile (the preferences dialog) count from the next item on.
//
//   LookupContext ctx{{s.nocache, s.noutf8, s.workdir}, log, host, episodes, ApiBase()};
//   if (searchtv(item, ctx) && getlistings(item, ctx, &error)) ...

#include <string>

#include "renamer/http/control_host.h"
#include "renamer/lookup/episodes.h"

class ActivityLog;

struct LookupOptions {
    bool nocache = false;  // neither read nor write the query and episode caches
    bool noutf8 = false;   // keep titles in their received form (one character per byte)
    std::string workdir;   // the cache lives in workdir + "cache/"; workdir ends in "/"
};

struct LookupContext {
    LookupOptions options;
    ActivityLog& log;
    ControlHost& host;      // hosts the socket control "Wirran1"
    EpisodeList& episodes;  // the main window's episode table
    std::string api_base;   // e.g. "https://api.tvmaze.com", without a trailing "/"
};
