#pragma once
// One queued file and everything the pipeline learns about it.
//
// The queue numbers its items from 1 (slot 0 exists and never holds an item), so item i is
// row i of the queue list. Fields are filled stage by stage: detection writes the detected show,
// season and episode; the show search the database's show; the listing lookup the episode; the
// filter choice the new name and target folder; the file operation the final state.

#include <cstdint>
#include <string>

namespace vantel {

// Processing states of an item, with the status texts the queue list shows. The numbers are
// those the queue has always used; a retry pass takes the items at kStateInactive or below.
enum ItemState : int32_t {
    kStateCancelled = -2,  // declined at confirmation, or undone
    kStateFailed = -1,     // error_text says why
    kStateInactive = 0,    // queued, not yet processed
    kStateScanning = 1,
    kStateSearching = 2,
    kStateFetchingListings = 3,
    kStateCheckingFilters = 4,
    kStateFileOperation = 5,  // "Renaming", "Moving" or "Copying" after the filter's action
    kStateDone = 6,
};

// What an action filter does with a file, and so what the file operation and its undo do. The
// numbers are those stored in "filters.dat"; a filter read from a file may hold another number,
// which no operation carries out.
enum FileAction : int32_t {
    kActionNone = 0,    // no such filter
    kActionRename = 1,  // Rename in its folder
    kActionMove = 2,    // Move & Rename
    kActionCopy = 3,    // Copy & Rename
};

struct QueueItem {
    ItemState state = kStateInactive;
    std::string path;       // full path of the source file as it was queued
    std::string file_name;  // last "/"-separated component of path
    int32_t episode = 0;
    int32_t season = 0;
    std::string detected_show;  // from the name; replaced by an exception's new name
    std::string show_title;     // the database's title
    int32_t show_id = 0;
    std::string show_url;  // verbatim from the reply, quotes included
    std::string episode_title;
    std::string new_name;       // new file name with extension
    std::string target_folder;  // always ends in "/"
    int32_t filter_index = 0;   // 1-based index of the action filter that matched
    bool confirmed = false;
    std::string error_text;  // may hold several lines separated by CR LF
    std::string episode_url;
};

}  // namespace vantel
