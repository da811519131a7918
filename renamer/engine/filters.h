#pragma once
// Action filters: what to do with a recognised episode file. Each filter has a condition (on
// the show's title or on the file's extension), an action (rename in place, or move or copy to
// a folder) and a name mask; dofilter picks the first filter whose condition holds for a queued
// item and computes the item's new name and target folder. The list lives in "filters.dat" in
// the work folder, one line of nine TAB-separated fields per filter; there is always at least
// one filter.
//
//   FilterList filters;
//   filters.loadfilters(workdir, log, view);  // no file: the default filter
//   dofilter(item, filters, log);             // Lost 1x05 "Pilot", x.AVI -> "Lost - 1x05 -
//   Pilot.avi"
//
// The window's commands on the list (add, edit, remove, move) are Core members (core.h).

#include "renamer/common/activity_log.h"
#include "renamer/common/queue_item.h"
#include "renamer/engine/core_view.h"
#include "renamer/engine/data_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantel {

// The condition modes: 1 the text must match the pattern; any other value (2 is written) it
// must not.
inline constexpr int32_t kModeEquals = 1;
inline constexpr int32_t kModeDoesntEqual = 2;

struct ActionFilter {
    std::string description;  // the list's text, e.g. "Show Name Equals Anything"
    FileAction action = kActionNone;
    bool enabled = false;      // a disabled filter never matches
    std::string dest_folder;   // actions 2 and 3: tokens [show] [s] [ss]; "" for Rename
    std::string name_mask;     // the new name without extension: [show] [s] [ss] [e] [ee] [title]
    std::string show_pattern;  // lower-case wildcard pattern on the show's title, or ""
    int32_t show_mode = 0;
    std::string type_pattern;  // lower-case wildcard pattern on the extension, or ""
    int32_t type_mode = 0;
    bool removed = false;  // left out when the list is saved; never stored
    // The line as read, for a record that failed to load (the failing line and every line after
    // it): the record stays empty and disabled, so it never matches, and the line is written
    // back unchanged until the record is removed or replaced.
    std::optional<std::string> unloaded_line;

    bool operator==(const ActionFilter&) const = default;
};

// defaultFilter: the filter used when there is no "filters.dat": rename every show's episodes
// to "[show] - [s]x[ee] - [title]".
ActionFilter defaultFilter();

// actionText: "Rename", "Move & Rename", "Copy & Rename"; "" for any other value.
const char* actionText(FileAction action);

class FilterList : public RecordList<ActionFilter> {
  public:
    static constexpr const char* kFileName = "filters.dat";

    // parse: replaces the list with the records of a file's text, one per CR LF-ended line (the
    // text after the last CR LF is ignored). A line with fewer than nine fields, a number field
    // that is not a decimal number or a flag that is neither "True" nor "False" stops loading
    // there: the records before it are loaded, it and every later one stay empty (keeping their
    // lines), and the result is false with *error describing the line.
    bool parse(std::string_view text, std::string* error = nullptr);

    // text: the file's text for every filter not removed; "" for none.
    std::string text() const;

    // action: the action of filter index; 0 when there is no such filter.
    FileAction action(int32_t index) const {
        return validIndex(index) ? at(index).action : kActionNone;
    }

    // loadfilters: replaces the list with the content of workdir + "filters.dat", or with the
    // default filter alone when there is no such file (not written until the list is saved),
    // and refills the view's "Filter List" (refresh_lv2). False, after logging "Error loading
    // afilters: " + the reason (level 1) and without refreshing the view, when the file cannot
    // be read or a line fails as parse describes.
    bool loadfilters(const std::string& workdir, ActivityLog& log, CoreView& view);

    // savefilters: writes every filter not removed to workdir + "filters.dat", replacing the
    // file atomically; no filter at all deletes the file. False, after logging "Error saving
    // afilters: " + the reason (level 1), when the file cannot be written or deleted, and while
    // the file's content is unknown because it existed but could not be read at the last load
    // (it is then left as it is until a load succeeds).
    bool savefilters(const std::string& workdir, ActivityLog& log) const;

    // refresh_lv2: the view's "Filter List" gets one row per filter, key "F" + index, columns
    // description, actionText(action), name_mask, dest_folder.
    void refresh_lv2(CoreView& view) const;

  private:
    DataFile m_file{kFileName, "afilters"};
};

// dofilter: chooses the first filter whose condition holds for item and fills item.new_name
// (name_mask with its tokens replaced, "." and the lower-case extension), item.target_folder
// (Rename: the source file's folder; Move and Copy: dest_folder with [show] [s] [ss] replaced;
// always ending in "/") and item.filter_index. False, with the item unchanged, when no filter
// matches. A malformed pattern ("[a" ...) never holds, in either mode, and is logged (level 1).
// The values put into the name and the folder (show and episode titles) lose any "/" and NUL,
// and NUL is removed from the results, so the name stays one file name in the folder shown.
bool dofilter(QueueItem& item, const FilterList& filters, ActivityLog& log);

}  // namespace vantel
