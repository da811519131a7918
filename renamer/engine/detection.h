#pragma once
// Filename detection: finds the show name, season and episode of a queued file in its name or
// in the name of the folder that holds it.
//
// A fixed, ordered table of wildcard rows (FilenameFilter) is tried against the lower-cased
// name; the first row whose pattern matches the whole name decides. Its marker, found inside the
// name, splits the name into the show (everything before the marker) and the numbers (fixed
// positions inside the marker).
//
//   QueueItem item;
//   item.path = "/tv/the.show.name.s02e05.720p.hdtv.mkv";
//   item.file_name = "the.show.name.s02e05.720p.hdtv.mkv";
//   int32_t row = 0;
//   getbits(item, false, log, &row);  // true: "the show name", 2, 5, row 1

#include <cstdint>
#include <span>

#include "renamer/common/activity_log.h"
#include "renamer/common/queue_item.h"

namespace vantel {

// How a row finds its marker inside a name.
enum class MarkerScan : uint8_t {
    kForward,        // every position from the start; the last match wins
    kBackwardSkipP,  // from the end; the first match not followed by "p" wins (skips "720p")
};

// One row of the detection table. Offsets count characters from the marker's first character.
struct FilenameFilter {
    int32_t id;           // logged when the row matches; two rows share id 6
    const char* pattern;  // matched against the whole lower-cased name
    const char* marker;   // "#" is a digit, every other character itself
    MarkerScan scan;
    int32_t season_offset, season_length;
    int32_t episode_offset, episode_length;
    bool folder;  // also used for folder names
};

// filenameFilters returns the 19 rows in the order in which they are tried.
std::span<const FilenameFilter> filenameFilters();

// getbits detects show, season and episode for item: with p true from the name of the folder
// holding item.path, with p false from item.file_name. On success it writes
// item.detected_show (cleaned by CleanText), item.season and item.episode, stores the matching
// row's id in *filter_id when given, and returns true.
// Returns false when no row applies ("No filter found", level 2), when a backward row finds only
// numbers followed by "p" (nothing logged), and on an error ("Error getting filename filter: "
// + description, level 1): a path without a folder for p true, or a show name that CleanText
// refuses.
bool getbits(QueueItem& item, bool p, ActivityLog& log, int32_t* filter_id = nullptr);

}  // namespace vantel
