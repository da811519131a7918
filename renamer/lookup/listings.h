#pragma once
// The episode listing: finds the title and page address of a queue item's episode in the show's
// episode list, through the episode cache when it holds the episode, else by fetching the whole
// list from the service (which also rebuilds the episode table and rewrites the cache with the
// episodes that have aired).
//
//   std::string error;
//   if (!getlistings(item, ctx, &error)) ...  // error set: a failure, not "not found"

#include <chrono>
#include <string>

#include "renamer/common/queue_item.h"
#include "renamer/lookup/lookup_context.h"

namespace vantel {

// getlistings fills item.episode_title and episode_url for item.season and item.episode. False
// when the episode is not listed, the request fails, the service reports no episodes ("Site
// reports no episodes for: ..." logged) or a reply it cannot read ("Error parsing listings
// (Err 5)"). A failure that is no answer of the service (the control missing or refusing a call,
// a title with a bad character reference, a show title that names no cache file) also gives
// false and sets *error to its description: the caller reports it as an error of its own.
// Listing entries without a season or number (specials) are skipped.
bool getlistings(QueueItem& item, LookupContext& ctx, std::string* error = nullptr);

// checkepcache loads the show's episode cache file into the episode table; found tells whether
// it did. A missing file or one without a line end is not found; an unreadable line is logged
// ("Error checking ep cache: " + the description, level 1) and not found.
void checkepcache(QueueItem& item, LookupContext& ctx, bool& found);

// HasAired tells whether an air date ("yyyy-mm-dd") lies on or before today (local time).
// "0000-00-00", "0-0-0" and a month or day of "00" have not aired. A date it cannot read (fewer
// than three parts, not numbers, no such day) has not aired either and is logged ("Error
// checking date", level 1).
bool HasAired(const std::string& airdate, ActivityLog& log);
// The same against a given day.
bool HasAired(const std::string& airdate, std::chrono::year_month_day today, ActivityLog& log);

}  // namespace vantel
