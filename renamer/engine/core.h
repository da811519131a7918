#pragma once
// Core: the main window's state and behaviour without any toolkit.
//
// One Core stands for the program's main window. It owns the settings and the run flags, the
// queue of files (numbered from 1; slot 0 never holds an item), the activity log, the queue
// driver and its timer Timer1, the action filters and the exceptions, and one platform window on
// which that timer runs and to which a close request (WM_CLOSE) can be sent. Whatever shows it (the
// Qt window, the terminal of the headless front end, a test) is its CoreView; the per-item work is
// done by PipelineStages.
//
//   Core core(&view);
//   startCore(core);                     // work directory, stored options (startup.h)
//   core.add_to_queue("/videos", true);  // arms Timer1; 1.5 s later a pass runs
//   MSG m;
//   while (!core.unloaded() && (core.flags().busy || core.timer1Enabled()) &&
//          GetMessageA(&m, nullptr, 0, 0) > 0)
//       DispatchMessageA(&m);
//
// Everything runs on the thread that created the Core. The view's calls and the stages may
// pump window messages (pumpEvents), so files can be added, a close requested or the log
// written while a pass runs; the driver allows for that. Each item keeps its place in memory
// until resetQueue, so a reference to it stays valid while files are added.
//
// A front end does not wire this by hand: Application (application.h) creates the Core and runs
// the start-up in order. The inherited names stay as the program has always called them, since
// its log lines, texts and tests speak of them:
//   add_to_queue     queue a file or a folder's files      process_queue  the queue driver's pass
//   Timer1_Timer     the driver's one-shot timer ticks     update_lv      repaint a queue row
//   refresh_lv2/3    refill the filter / exception list    confirm_item   the confirmation stage
//   loadfilters      read the action filters ("filters.dat")
//   loadefilters     read the exceptions ("man.dat")
//   mnuRetry_Click   the Retry command                     mnuUndo_Click  the Undo command
//   debug_log        the activity log                      getbits        filename detection
//   checkex          apply the exceptions                  searchtv       the show search
//   getlistings      the episode listing                   dofilter       choose the action filter
//   fileops          rename, move or copy the file         Wirran1        the hosted socket control

#include "platform/user/user.h"
#include "renamer/common/activity_log.h"
#include "renamer/common/queue_item.h"
#include "renamer/common/settings.h"
#include "renamer/engine/core_view.h"
#include "renamer/engine/exceptions.h"
#include "renamer/engine/filters.h"
#include "renamer/engine/hosted_control.h"
#include "renamer/engine/item_store.h"
#include "renamer/engine/journal.h"
#include "renamer/engine/path_index.h"
#include "renamer/engine/stages.h"
#include "renamer/lookup/episodes.h"
#include "renamer/lookup/lookup_context.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantel {

class Core {
  public:
    static constexpr UINT_PTR kTimer1Id = 1;
    static constexpr UINT kTimer1Interval = 1500;  // milliseconds

    // The site named in the error texts of a failed lookup.
    static constexpr const char* kSiteDescription = "TVmaze (www.tvmaze.com)";

    // Creates the core's window with the given caption: mainCaption() for the desktop window,
    // by which a second instance finds it; an empty caption keeps the window out of that search
    // (the headless front end). view and stages may be nullptr: no view, this build's stages.
    explicit Core(CoreView* view = nullptr, PipelineStages* stages = nullptr,
                  const std::string& caption = "");
    ~Core();
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    void setView(CoreView* view);
    void setStages(PipelineStages* stages);
    CoreView& view() { return *m_view; }
    PipelineStages& stages() { return *m_stages; }

    HWND hwnd() const { return m_hwnd; }

    // The main window's procedure gives every message to this hook first (the application
    // object takes the instance hand-over and the front end's own messages there); a value it
    // returns is the message's result and the core's own handling is skipped. nullptr removes it.
    using MessageHook =
        std::function<std::optional<LRESULT>(UINT msg, WPARAM wParam, LPARAM lParam)>;
    void setMessageHook(MessageHook hook) { m_message_hook = std::move(hook); }

    // The window's socket control "Wirran1" (created through COM on first use, hosted_control.h),
    // through which every lookup request goes. setControlHost puts another host in its place
    // (tests); nullptr goes back to the window's own.
    ControlHost& controlHost() { return m_control_host ? *m_control_host : m_wirran; }
    void setControlHost(ControlHost* host) { m_control_host = host; }

    // The journal of this run's file operations (journal.h), kept in settings().workdir.
    Journal& journal() { return m_journal; }

    // The episode table of the last lookup.
    EpisodeList& episodes() { return m_episodes; }
    // Where the episode table came from (a cache file and its stamp), so that the next item of
    // the same show does not read an unchanged file again.
    EpisodeTableSource& episodesSource() { return m_episodes_source; }
    QueryCacheSource& queriesSource() { return m_queries_source; }

    // The address of the episode database's web API the lookups use: the one set here, or
    // else (read at the first lookup) ApiBase() of lookup_config.h.
    const std::string& apiBase();
    void setApiBase(const std::string& base) { m_api_base = base; }

    // Settings and flags.
    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    RunFlags& flags() { return m_flags; }
    const RunFlags& flags() const { return m_flags; }

    // The activity log; the threshold is always settings().logging. Never fails.
    void debug_log(const std::string& text, int level);
    // The log itself, for the stages that write to it directly.
    ActivityLog& log() {
        m_log.setThreshold(m_settings.logging);
        return m_log;
    }
    const ActivityLog& log() const { return m_log; }
    void setLogClock(ActivityLog::Clock clock) { m_log.setClock(std::move(clock)); }

    // The queue.
    int32_t queueCount() const { return static_cast<int32_t>(m_queue.size()) - 1; }
    // item: the queued item at index (1 to queueCount()); the index must be valid.
    QueueItem& item(int32_t index) { return m_queue.at(static_cast<size_t>(index)); }
    const QueueItem& item(int32_t index) const { return m_queue.at(static_cast<size_t>(index)); }
    bool validIndex(int32_t index) const { return index >= 1 && index <= queueCount(); }

    // What one add_to_queue call queued and why it left files out, for a front end that tells
    // the user (the files below a folder are counted one by one).
    struct QueueTally {
        int32_t added = 0;
        int32_t too_short = 0;       // the path is shorter than 3 characters
        int32_t missing = 0;         // no such file or folder
        int32_t too_long = 0;        // the path (or a name in it) is longer than the system allows
        int32_t unreadable = 0;      // it cannot be looked at (error: why)
        int32_t already_queued = 0;  // the same path is queued already
        int32_t unlisted_type = 0;   // its extension is not in settings().types
        int32_t sample = 0;          // "sample" is in its path
        std::string error;
    };

    // add_to_queue: queues the file path, or every suitable file below the folder path. True
    // when a file was added; a folder always gives false (its files are added one by one).
    // Ignored (false): a path shorter than 3 characters or missing, one already queued (exact
    // comparison), one whose extension is not in settings().types, one that contains "sample"
    // in any letter case. One pair of enclosing double quotes is removed first. An added file
    // gets a queue row; with start set and no pass running, Timer1 is (re)armed. tally, when
    // given, counts what was added and what was left out and why.
    bool add_to_queue(std::string path, bool start, QueueTally* tally = nullptr);

    // resetQueue: empties the queue (slot 0 only) and starts the numbering again.
    void resetQueue();

    // The queue driver: one pass over the waiting items (see driver.cpp). Started by Timer1 and
    // by the retry command; does nothing while a pass is already running.
    void process_queue();

    // Timer1: one-shot. enableTimer1 (re)starts the 1500 ms count; the tick disables the timer
    // and runs one pass. A tick that falls due while a folder is being walked re-arms the timer
    // instead, so a pass never starts inside a walk.
    void enableTimer1();
    void disableTimer1();
    bool timer1Enabled() const { return m_timer1_enabled; }
    void Timer1_Timer();

    // The retry command: when no pass runs, a pass over the whole queue that processes only the
    // items at state 0 or below.
    void mnuRetry_Click();

    // The undo command (mnuUndo) for queue item index, the row the user right-clicked. Only a
    // Done item is undone, by the action of the filter now at its filter_index. On success the
    // item becomes Cancelled with "The file operation has been undone"; on failure it is logged
    // ("Failed to undo file operation") and the item becomes Failed with "The file undo
    // operation failed". Returns whether the undo succeeded; false and no change for an index
    // outside the queue or an item that is not Done. An undone operation is recorded in the
    // journal, so that an undo of the whole run later passes it over.
    bool mnuUndo_Click(int32_t index);

    // The undo entry of the queue list's context menu for item index: for a Done item enabled,
    // reading "Undo Rename", "Undo Move/Rename" or "Undo Copy/Rename" by the action of the
    // filter now at its filter_index; for any other item (or index) "Undo Rename", disabled.
    struct UndoMenuEntry {
        std::string caption;
        bool enabled = false;
    };
    UndoMenuEntry undoMenuEntry(int32_t index) const;

    // statusText: the status the queue row of item index shows ("Inactive", ..., "Done").
    std::string statusText(int32_t index) const;

    int32_t current_item() const { return m_current_item; }
    bool retry_mode() const { return m_retry_mode; }

    // update_lv: shows item index's state in its queue row (status, icon, new name), selects it
    // (scrolling to it unless it is Inactive) and lets the view pump twice. Errors are logged
    // ("Error updating q state: ..."); always true.
    bool update_lv(int32_t index);

    // confirm_item: the confirmation stage. False for an index outside the queue; true when
    // settings().confirm is off; otherwise the view's answer, stored in the item's confirmed.
    bool confirm_item(int32_t index);

    // The action filters ("filters.dat") and the exceptions ("man.dat") in settings().workdir,
    // numbered from 1 as the window's rows. The window reads them for its lists and its wizard
    // and changes them only through the commands below.
    FilterList& filters() { return m_filters; }
    const FilterList& filters() const { return m_filters; }
    ExceptionList& exceptions() { return m_exceptions; }
    const ExceptionList& exceptions() const { return m_exceptions; }

    // The lists' file operations in settings().workdir, reporting to the log and the view; their
    // failures are those of FilterList and ExceptionList.
    bool loadfilters() { return m_filters.loadfilters(m_settings.workdir, log(), *m_view); }
    bool savefilters() { return m_filters.savefilters(m_settings.workdir, log()); }
    void refresh_lv2() { m_filters.refresh_lv2(*m_view); }
    bool loadefilters() { return m_exceptions.loadefilters(m_settings.workdir, log(), *m_view); }
    bool saveefilters() { return m_exceptions.saveefilters(m_settings.workdir, log()); }
    void refresh_lv3() { m_exceptions.refresh_lv3(*m_view); }

    // The window's commands on the two lists (core_lists.cpp); index is the 1-based row the
    // user chose, and an index outside the list does nothing. A command that saves and loads
    // the list again leaves the view's rows showing the list in memory and selects a row
    // (listRowSelected) as said; a save that fails is logged and the file keeps its content.
    //
    // addException (the "Add Exception" dialog): appends detected_name -> new_show_name,
    // saves, refreshes the rows. False when saving failed.
    bool addException(const std::string& detected_name, const std::string& new_show_name);
    // addFilter / editFilter (the filter wizard): appends filter, or replaces filter index with
    // it, saves, refreshes the rows. False when saving failed or index is not a filter.
    bool addFilter(const ActionFilter& filter);
    bool editFilter(int32_t index, const ActionFilter& filter);
    // removeException / removeFilter ("Remove Exception", "Remove Filter"): marks the entry,
    // saves without it and loads again; selects the row at the same index, or the new last row
    // when the last was removed. The last remaining filter is never removed: the message box
    // "Unable to remove filter" / "You must have at least one filter" is shown instead.
    void removeException(int32_t index);
    void removeFilter(int32_t index);
    // moveExceptionUp / moveExceptionDown / moveFilterUp / moveFilterDown ("Move Up", "Move
    // Down"): exchanges the entry with its neighbour, saves, loads again and selects the moved
    // entry at its new row. Up on the first row only selects it again; down on the last row
    // does nothing. Nothing is saved when nothing moves.
    void moveExceptionUp(int32_t index);
    void moveExceptionDown(int32_t index);
    void moveFilterUp(int32_t index);
    void moveFilterDown(int32_t index);

    // ShowMessage: the program's one message box (caption, text with "#" as line break, icon,
    // message id). An id of 1 or more can be suppressed: once its "<id>msgskip$" value is set,
    // the message is not shown; ticking "Don't show this again" sets it.
    void ShowMessage(const std::string& caption, const std::string& text, int icon, int message_id);

    // queryUnload: the close request (window close box, Exit, a quit message). While a pass
    // runs it logs "Got quit signal, finishing up...", sets quit_requested and refuses (false);
    // the driver unloads at its next check point. Otherwise true: the window may close.
    bool queryUnload();

    // unloadMainWindow: the window goes away and the program is to end: Timer1 stops, no pass
    // starts any more, and the view is told (closeMainWindow). Only the first call acts.
    void unloadMainWindow();
    bool unloaded() const { return m_unloaded; }

    // cancelSocketActivity: the unload step for "Wirran1": when the control exists and its
    // State is 2 or more (anything but unused and idle), calls its Cancel. Never fails.
    void cancelSocketActivity();
    // controlVersion: the Version of "Wirran1" (created when needed), "" when it has none.
    std::string controlVersion();

  private:
    enum class ItemOutcome { Next, Quit };

    struct PipelineStep;
    static const PipelineStep kPipeline[];

    static LRESULT windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    ItemOutcome processItem(int32_t index);
    StageResult runStep(int32_t index, const PipelineStep& step);
    void setState(int32_t index, ItemState state);
    void failItem(int32_t index);
    void endPassForQuit();
    std::string episodeText(int32_t index) const;
    void pump();
    bool listedType(const std::string& extension) const;
    // Queues one existing file unless it is already queued, of an unlisted type or a sample;
    // true when it was added (with its row), otherwise counted in tally. Does not arm the timer.
    // hash is std::hash of path.
    bool queueFile(std::string path, size_t hash, QueueTally& tally);
    bool alreadyQueued(const std::string& path, size_t hash) const;
    // Whether "sample" in any letter case occurs in path, whose name starts at name_from.
    bool sampleInPath(std::string_view path, size_t name_from);

    CoreView* m_view;
    PipelineStages* m_stages;
    HWND m_hwnd = nullptr;
    MessageHook m_message_hook;
    HostedControl m_wirran;
    ControlHost* m_control_host = nullptr;
    EpisodeList m_episodes;
    EpisodeTableSource m_episodes_source;
    QueryCacheSource m_queries_source;
    std::string m_api_base;
    Settings m_settings;
    RunFlags m_flags;
    ActivityLog m_log;
    ItemStore m_queue;  // slot 0 holds an empty item
    FilterList m_filters;
    ExceptionList m_exceptions;
    Journal m_journal;
    // The duplicate test: the hash of every queued path with its item, so that queueing a file
    // costs the same however long the queue is.
    PathIndex m_queued_paths;
    // Room reused from one queued file to the next: its lower-cased extension and its row text.
    std::string m_extension;
    std::string m_row_text;
    // The folder (up to its last "/") of the last path looked at, when it holds no "sample".
    std::string m_folder_without_sample;
    int32_t m_current_item = 0;
    bool m_retry_mode = false;
    bool m_timer1_enabled = false;
    int m_walking = 0;  // folder walks in progress
    bool m_unloaded = false;
};

}  // namespace vantel
