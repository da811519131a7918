#include "renamer/common/activity_log.h"

#include <ctime>

namespace vantel {

std::string LocalTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    size_t n = std::strftime(buffer, sizeof buffer, "%X", &local);
    return std::string(buffer, n);
}

void ActivityLog::debug_log(const std::string& text, int level) {
    if (level > m_threshold) return;
    // A failing listener or allocation must never reach the caller: logging is best effort.
    try {
        if (m_lines.size() == kMaxLines) {
            // The list is full: start again with the notice (which has no time prefix).
            m_lines.clear();
            append(true, kLimitNotice, level);
        }
        std::string time = m_clock ? m_clock() : LocalTimeText();
        append(false, "(" + time + ") " + text, level);
    } catch (...) {
    }
}

void ActivityLog::append(bool cleared, std::string line, int level) {
    m_lines.push_back(std::move(line));
    if (m_listener) m_listener(cleared, m_lines.back(), level);
}

}  // namespace vantel
