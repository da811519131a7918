#pragma once
// Exceptions: the user's list of show names that file names spell differently from the episode
// database. checkex applies the list to a queued item between detection and the show search;
// the list lives in "man.dat" in the work folder, one "detected<TAB>new" line per exception.
//
//   ExceptionList list;
//   list.loadefilters(workdir, log, view);   // refreshes the "Exceptions" list of the view
//   item.detected_show = "doctor who 2005";  // list holds "Doctor Who 2005" -> "Doctor Who (2005)"
//   checkex(item, list);                     // item.detected_show == "doctor who (2005)"
//
// The window's commands on the list (add, remove, move) are Core members (core.h).

#include "renamer/common/activity_log.h"
#include "renamer/common/queue_item.h"
#include "renamer/engine/core_view.h"
#include "renamer/engine/data_file.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantel {

struct ExceptionFilter {
    std::string detected_name;  // a show name as detection produces it
    std::string new_show_name;  // the name to search for instead
    bool removed = false;       // left out when the list is saved; never stored
    // The line as read, for a record that failed to load (the failing line and every line after
    // it). The record itself stays empty, so it never applies, and the line is written back
    // unchanged until the record is removed or replaced: saving a list that did not load whole
    // loses nothing of the user's file.
    std::optional<std::string> unloaded_line;

    bool operator==(const ExceptionFilter&) const = default;
};

class ExceptionList : public RecordList<ExceptionFilter> {
  public:
    static constexpr const char* kFileName = "man.dat";

    using RecordList::append;
    // append: a new exception from detected_name to new_show_name at the end of the list.
    void append(std::string detected_name, std::string new_show_name) {
        ExceptionFilter record;
        record.detected_name = std::move(detected_name);
        record.new_show_name = std::move(new_show_name);
        append(std::move(record));
    }

    // parse: replaces the list with the records of a file's text, one per CR LF-ended line (the
    // text after the last CR LF is ignored). A line without a TAB stops loading there: the
    // records before it are loaded, it and every later one stay empty (keeping their lines),
    // and the result is false with *error describing the line.
    bool parse(std::string_view text, std::string* error = nullptr);

    // text: the file's text for every record not removed; "" for none.
    std::string text() const;

    // loadefilters: replaces the list with the content of workdir + "man.dat" (an empty list
    // when there is no such file) and refills the view's "Exceptions" list (refresh_lv3).
    // False, after logging "Error loading efilters: " + the reason (level 1) and without
    // refreshing the view, when the file cannot be read or a line fails as parse describes.
    bool loadefilters(const std::string& workdir, ActivityLog& log, CoreView& view);

    // saveefilters: writes every record not removed to workdir + "man.dat", replacing the file
    // atomically; no record at all deletes the file. False, after logging "Error saving
    // efilters: " + the reason (level 1), when the file cannot be written or deleted, and while
    // the file's content is unknown because it existed but could not be read at the last load
    // (it is then left as it is until a load succeeds).
    bool saveefilters(const std::string& workdir, ActivityLog& log) const;

    // refresh_lv3: the view's "Exceptions" list gets one row per record, key "F" + index,
    // columns detected_name and new_show_name.
    void refresh_lv3(CoreView& view) const;

  private:
    DataFile m_file{kFileName, "efilters"};
};

// checkex: the first exception whose detected_name equals the item's detected_show (both
// lower-cased, whole strings) replaces detected_show with its new_show_name in lower case.
// Nothing else applies after it; an item that matches none is left as it is. Never fails.
void checkex(QueueItem& item, const ExceptionList& exceptions);

}  // namespace vantel
