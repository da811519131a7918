#pragma once
// The activity log: the renamer's one running, human-readable account of what it does.
//
// Every procedure reports through debug_log(text, level): level 1 for failures, results and
// start-up facts, level 2 for step-by-step detail. A line is kept when its level is at most the
// threshold (Settings.logging: 1 normal, 2 verbose). Lines live in memory only, at most 1000
// before the list is cleared; each is "(" + local time + ") " + text. Whatever view is attached
// (the window's log list, the terminal of the headless front end) is told of every change.
//
//   ActivityLog log;
//   log.setThreshold(2);
//   log.debug_log("Checking exceptions", 2);

#include <functional>
#include <string>
#include <vector>

namespace vantel {

class ActivityLog {
public:
    static constexpr size_t kMaxLines = 1000;
    static constexpr const char* kLimitNotice =
        "Log has exceeded maximum allowed limit and will be cleared.";

    // Called after every change: cleared is true when the list was emptied first (the 1000-line
    // rule), line is the newest line as stored.
    using Listener = std::function<void(bool cleared, const std::string& line, int level)>;

    // Records text when level <= threshold. Never fails and never throws to its caller.
    void debug_log(const std::string& text, int level);

    void setThreshold(int threshold) { m_threshold = threshold; }
    int threshold() const { return m_threshold; }

    const std::vector<std::string>& lines() const { return m_lines; }
    void setListener(Listener listener) { m_listener = std::move(listener); }

    // The time prefix source; tests replace it to get fixed lines. Returns e.g. "15:04:05".
    using Clock = std::function<std::string()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }

private:
    void append(bool cleared, std::string line, int level);

    int m_threshold = 1;
    std::vector<std::string> m_lines;
    Listener m_listener;
    Clock m_clock;
};

// The local time in the time format of this desktop's locale ("%X"), e.g. "15:04:05".
std::string LocalTimeText();

}  // namespace vantel
