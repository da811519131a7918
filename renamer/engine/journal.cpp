#include "renamer/engine/journal.h"

#include "renamer/common/textfile.h"

#include "renamer/engine/data_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <string_view>
#include <unordered_map>

namespace vantel {

namespace {

constexpr off_t kMaxJournalSize = 64 * 1024 * 1024;

// A path as one field: the characters that separate fields and records, and the escape itself,
// are written as two characters.
std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // Paths rarely hold any of the four: the runs between them are copied whole.
    auto special = [](char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; };
    size_t from = 0;
    for (size_t at = 0;; ++at) {
        while (at < text.size() && !special(text[at]))
            ++at;
        if (at == text.size()) break;
        out.append(text, from, at - from);
        switch (text[at]) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += "\\r";
        }
        from = at + 1;
    }
    out.append(text, from);
    return out;
}

// The inverse of escaped; false for an escape it never writes.
bool unescaped(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case '\\':
                out.push_back('\\');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            default:
                return false;
        }
    }
    return true;
}

bool number(std::string_view text, int32_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value > 0;
}

std::string utcText(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// Opens workdir's journal for appending, created (mode 0600) when missing. Never follows a link
// planted in its place, and refuses anything but a regular file.
int openForAppend(const std::string& workdir, std::string& reason) {
    const std::string path = workdir + Journal::kFileName;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        reason = path + ": " + std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = path + " is not a regular file";
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads the whole of an open journal from its start; false with reason set beyond the cap.
bool readAll(int fd, const std::string& path, std::string& text, std::string& reason) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = path + " is not a regular file";
        return false;
    }
    if (st.st_size > kMaxJournalSize) {
        reason = path + " is larger than 64 MiB";
        return false;
    }
    text.clear();
    char buffer[65536];
    for (off_t at = 0;;) {
        ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0) return true;
        if (text.size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxJournalSize)) {
            reason = path + " is larger than 64 MiB";
            return false;
        }
        text.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

// The lines of a journal: CR LF or LF ended. A last line without an end was cut short by a
// killed run and is no record.
std::vector<std::string_view> journalLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string_view::npos;
         end = text.find('\n', start)) {
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

Journal::~Journal() {
    closeUndo();
    if (m_fd < 0) return;
    (void)::fdatasync(m_fd);  // the records of the last second; a failure changes nothing now
    ::close(m_fd);
}

void Journal::closeUndo() {
    if (m_undo_fd < 0) return;
    // As for a run: a failure changes nothing now.
    if (m_undo_unsynced) (void)::fdatasync(m_undo_fd);
    ::close(m_undo_fd);
    m_undo_fd = -1;
}

std::string Journal::now() const {
    return utcText(m_clock ? m_clock() : std::time(nullptr));
}

void Journal::failed(const std::string& reason, ActivityLog& log) {
    if (m_error_logged) return;
    m_error_logged = true;
    log.debug_log("Error writing journal: " + reason, 1);
}

bool Journal::openRun(const std::string& workdir, ActivityLog& log) {
    if (m_fd >= 0 && workdir == m_workdir) return true;
    // A core without a work folder (one that was never started) keeps no journal.
    if (workdir.empty()) return false;
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_run = 0;
    m_next_op = 1;
    std::string reason;
    int fd = openForAppend(workdir, reason);
    if (fd < 0) {
        failed(reason, log);
        return false;
    }
    // The next run number is one past the highest in the file; the lock keeps another run
    // from taking the same number between the read and the append.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    std::string text;
    const bool read = readAll(fd, workdir + kFileName, text, reason);
    const int32_t run = (read ? highestRun(text) : 0) + 1;
    const std::string line = "run\t" + std::to_string(run) + "\t" + now() + "\r\n";
    const bool written = read && WriteAll(fd, line) && ::fdatasync(fd) == 0;
    if (read && !written) reason = workdir + kFileName + ": " + std::strerror(errno);
    ::flock(fd, LOCK_UN);
    if (!written) {
        ::close(fd);
        failed(reason, log);
        return false;
    }
    m_fd = fd;
    m_workdir = workdir;
    m_run = run;
    return true;
}

bool Journal::append(const std::string& line, bool sync, ActivityLog& log) {
    // One write per record: with O_APPEND another process's records never land inside it.
    if (!WriteAll(m_fd, line)) {
        failed(m_workdir + kFileName + ": " + std::strerror(errno), log);
        return false;
    }
    // Forcing every record to the disk would cost more than the renames themselves (a flush of
    // the file each time, about 13 times the time of a pass over cached episodes); once a
    // second bounds what a crash of the whole system can take.
    const auto now = std::chrono::steady_clock::now();
    if (!sync || now - m_last_sync < std::chrono::seconds(1)) return true;
    m_last_sync = now;
    if (::fdatasync(m_fd) == 0) return true;
    failed(m_workdir + kFileName + ": " + std::strerror(errno), log);
    return false;
}

JournalOpId Journal::begin(const std::string& workdir, int32_t index, int32_t action,
                           const std::string& old_path, const std::string& new_path,
                           ActivityLog& log) {
    m_item_ops.erase(index);
    if (!openRun(workdir, log)) return {};
    JournalOpId id{m_run, m_next_op};
    const std::string line = "op\t" + std::to_string(id.run) + "\t" + std::to_string(id.op) + "\t" +
                             now() + "\t" + std::to_string(action) + "\t" + escaped(old_path) +
                             "\t" + escaped(new_path) + "\r\n";
    if (!append(line, true, log)) return {};
    ++m_next_op;
    m_item_ops[index] = id;
    return id;
}

void Journal::finish(JournalOpId id, bool done, ActivityLog& log) {
    if (!id.valid() || m_fd < 0) return;
    // Should a crash of the system lose this record, the operation reads as pending, and an
    // undo looks at the files to see whether it was made.
    append(std::string(done ? "done" : "failed") + "\t" + std::to_string(id.run) + "\t" +
               std::to_string(id.op) + "\r\n",
           false, log);
}

JournalOpId Journal::opOfItem(int32_t index) const {
    auto found = m_item_ops.find(index);
    return found == m_item_ops.end() ? JournalOpId{} : found->second;
}

bool Journal::appendUndo(const std::string& workdir, const std::string& line, bool force,
                         ActivityLog& log) {
    if (m_undo_fd >= 0 && workdir != m_undo_workdir) closeUndo();
    std::string reason;
    if (m_undo_fd < 0) {
        m_undo_fd = openForAppend(workdir, reason);
        if (m_undo_fd < 0) {
            log.debug_log("Error writing journal: " + reason, 1);
            return false;
        }
        m_undo_workdir = workdir;
        m_undo_sync = {};
    }
    bool ok = WriteAll(m_undo_fd, line);
    m_undo_unsynced = ok;
    const auto now = std::chrono::steady_clock::now();
    if (ok && (force || now - m_undo_sync >= std::chrono::seconds(1))) {
        m_undo_sync = now;
        ok = ::fdatasync(m_undo_fd) == 0;
        m_undo_unsynced = false;
    }
    if (!ok) {
        log.debug_log("Error writing journal: " + workdir + kFileName + ": " + std::strerror(errno),
                      1);
        // The next record opens the file afresh.
        ::close(m_undo_fd);
        m_undo_fd = -1;
    }
    return ok;
}

bool Journal::recordUndo(const std::string& workdir, JournalOpId id, ActivityLog& log,
                         bool more_follow) {
    if (!id.valid()) return false;
    const std::string line =
        "undo\t" + std::to_string(id.run) + "\t" + std::to_string(id.op) + "\t" + now() + "\r\n";
    // A record on its own (one operation undone from the window) goes to the disk at once.
    const bool ok = appendUndo(workdir, line, !more_follow, log);
    if (!more_follow) closeUndo();
    return ok;
}

bool Journal::recordRunUndone(const std::string& workdir, int32_t run, ActivityLog& log) {
    const std::string line = "undone\t" + std::to_string(run) + "\t" + now() + "\r\n";
    // The end of an undo: its last records go to the disk with this one.
    const bool ok = appendUndo(workdir, line, true, log);
    closeUndo();
    return ok;
}

int32_t JournalRun::undoable() const {
    return static_cast<int32_t>(std::count_if(ops.begin(), ops.end(), [](const JournalOp& op) {
        return op.state == JournalOpState::Done || op.state == JournalOpState::Pending;
    }));
}

int32_t JournalRun::made() const {
    return static_cast<int32_t>(std::count_if(ops.begin(), ops.end(), [](const JournalOp& op) {
        return op.state != JournalOpState::Failed;
    }));
}

const JournalRun* JournalHistory::find(int32_t number) const {
    for (const JournalRun& run : runs) {
        if (run.number == number) return &run;
    }
    return nullptr;
}

const JournalRun* JournalHistory::newestToUndo() const {
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        if (run->undone_time.empty() && run->undoable() > 0) return &*run;
    }
    return nullptr;
}

int32_t highestRun(const std::string& text) {
    // A run exists by its own line alone, whatever the other records say: only those are read.
    int32_t highest = 0;
    bool any = false;
    for (std::string_view line : journalLines(text)) {
        if (!line.starts_with("run\t")) continue;
        std::vector<std::string_view> f = splitFields(line);
        int32_t run = 0;
        if (f.size() == 3 && number(f[1], run) && (!any || run > highest)) {
            highest = run;
            any = true;
        }
    }
    return highest;
}

void parseJournal(const std::string& text, JournalHistory& history) {
    history = JournalHistory{};
    std::map<int32_t, JournalRun> runs;
    // Where each operation stands in its run's list: a run of a hundred thousand renames must
    // not be searched from the start for each of its records.
    std::unordered_map<uint64_t, size_t> positions;
    auto key = [](int32_t run, int32_t op) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(run)) << 32) |
               static_cast<uint32_t>(op);
    };
    // The operation a record names, or nullptr when its run or operation was never begun.
    auto opOf = [&](int32_t run, int32_t op) -> JournalOp* {
        auto found = positions.find(key(run, op));
        return found == positions.end() ? nullptr : &runs[run].ops[found->second];
    };
    for (std::string_view line : journalLines(text)) {
        std::vector<std::string_view> f = splitFields(line);
        int32_t run = 0;
        int32_t op = 0;
        bool ok = f.size() >= 2 && number(f[1], run);
        if (ok && f[0] == "run" && f.size() == 3 && !runs.count(run)) {
            runs[run] = JournalRun{run, std::string(f[2]), "", {}};
        } else if (ok && f[0] == "op" && f.size() == 7 && number(f[2], op) && runs.count(run) &&
                   !opOf(run, op)) {
            JournalOp record;
            record.number = op;
            record.time = std::string(f[3]);
            ok = number(f[4], record.action) && unescaped(f[5], record.old_path) &&
                 unescaped(f[6], record.new_path);
            if (ok) {
                std::vector<JournalOp>& ops = runs[run].ops;
                positions.emplace(key(run, op), ops.size());
                ops.push_back(std::move(record));
            }
        } else if (ok && (f[0] == "done" || f[0] == "failed" || f[0] == "undo") && f.size() >= 3 &&
                   number(f[2], op) && opOf(run, op)) {
            JournalOp* record = opOf(run, op);
            if (f[0] == "done") record->state = JournalOpState::Done;
            if (f[0] == "failed") record->state = JournalOpState::Failed;
            if (f[0] == "undo") record->state = JournalOpState::Undone;
        } else if (ok && f[0] == "undone" && f.size() == 3 && runs.count(run)) {
            runs[run].undone_time = std::string(f[2]);
        } else {
            ok = false;
        }
        if (!ok) ++history.skipped_lines;
    }
    for (auto& [number, run] : runs)
        history.runs.push_back(std::move(run));
}

bool readJournal(const std::string& workdir, JournalHistory& history, std::string* error) {
    history = JournalHistory{};
    const std::string path = workdir + Journal::kFileName;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        if (error) *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    std::string reason;
    const bool read = readAll(fd, path, text, reason);
    ::close(fd);
    if (!read) {
        if (error) *error = reason;
        return false;
    }
    parseJournal(text, history);
    return true;
}

std::string localTimeText(const std::string& utc) {
    std::tm tm{};
    const char* end = strptime(utc.c_str(), "%Y-%m-%dT%H:%M:%SZ", &tm);
    if (!end || *end != '\0') return utc;
    std::time_t t = timegm(&tm);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace vantel
