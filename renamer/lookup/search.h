#pragma once
// The show search: finds a queue item's detected show in the episode database (its id, title
// and page address), through the query cache when it holds the show, else with one search
// request whose first result is taken and cached.
//
//   LookupContext ctx{...};
//   if (!searchtv(item, ctx)) ...  // not found; the log says why

#include "renamer/common/queue_item.h"
#include "renamer/lookup/lookup_context.h"

namespace vantel {

// searchtv fills item.show_id, show_title and show_url from the query cache or the service.
// False when the request fails, the service reports no results ("Site reports no results
// for: ..." logged) or a reply it cannot read ("Error parsing results (Err 2)"), and on any
// other error ("Error searching for show: " + its description, logged at level 1). The three
// fields are left as they were on every failure.
bool searchtv(QueueItem& item, LookupContext& ctx);

// checkqcache reads the item's query cache file into its three show fields; found tells whether
// it did. A missing file or one without a tab is not found; an unreadable entry is logged
// ("Error checking q cache: " + the description, level 1) and not found.
void checkqcache(QueueItem& item, LookupContext& ctx, bool& found);

}  // namespace vantel
