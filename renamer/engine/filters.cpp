#include "renamer/engine/filters.h"

#include "renamer/common/text.h"
#include "renamer/engine/like.h"
#include "renamer/engine/paths.h"

#include <charconv>

namespace vantel {

namespace {

constexpr size_t kFieldCount = 9;

// A number field: decimal, optionally signed, within 32 bits; spaces around it are allowed.
std::optional<int32_t> numberField(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The flag field: "True" or "False" in any letter case, or a number (0 is false).
std::optional<bool> flagField(std::string_view text) {
    const std::string lower = lowerCase(text);
    if (lower == "true") return true;
    if (lower == "false") return false;
    if (std::optional<int32_t> number = numberField(text)) return *number != 0;
    return std::nullopt;
}

// Fills filter from the nine fields of a line; the reason in *error when a field is not valid.
bool parseFilter(const std::vector<std::string_view>& fields, ActionFilter& filter,
                 std::string* error) {
    if (fields.size() < kFieldCount) {
        *error = "holds " + std::to_string(fields.size()) + " fields, not 9";
        return false;
    }
    const std::optional<int32_t> action = numberField(fields[0]);
    const std::optional<bool> enabled = flagField(fields[1]);
    const std::optional<int32_t> type_mode = numberField(fields[7]);
    const std::optional<int32_t> show_mode = numberField(fields[8]);
    // The first field in line order that does not convert is the one reported.
    const char* bad = !action      ? "field 1 is not a number"
                      : !enabled   ? "field 2 is neither True nor False"
                      : !type_mode ? "field 8 is not a number"
                      : !show_mode ? "field 9 is not a number"
                                   : nullptr;
    if (bad) {
        *error = bad;
        return false;
    }
    filter.action = static_cast<FileAction>(*action);
    filter.enabled = *enabled;
    filter.type_pattern = fields[2];
    filter.show_pattern = fields[3];
    filter.dest_folder = fields[4];
    filter.name_mask = fields[5];
    filter.description = fields[6];
    filter.type_mode = *type_mode;
    filter.show_mode = *show_mode;
    return true;
}

// Replaces every occurrence of token in text in one pass from the left; inserted values are not
// searched again.
void replaceAll(std::string& text, std::string_view token, std::string_view value) {
    std::string out;
    size_t from = 0;
    for (size_t at; (at = text.find(token, from)) != std::string::npos; from = at + token.size()) {
        out.append(text, from, at - from);
        out += value;
    }
    if (from == 0) return;
    out.append(text, from);
    text = std::move(out);
}

// A number with at least two digits ("00" format): 5 -> "05", 123 -> "123".
std::string twoDigits(int32_t n) {
    std::string digits = std::to_string(n < 0 ? -static_cast<int64_t>(n) : n);
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
    return n < 0 ? "-" + digits : digits;
}

// A title put into a name or a folder: without "/" (it would name a sub folder) and NUL (it
// would end the path early), whichever lookup produced it.
std::string insertable(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c != '/' && c != '\0') out += c;
    }
    return out;
}

void removeNul(std::string& text) {
    std::erase(text, '\0');
}

// Whether text meets a condition: it matches pattern in mode Equals, or does not in any other
// mode. A malformed pattern holds in neither mode, rather than "not matching" every text.
bool conditionHolds(std::string_view text, const std::string& pattern, int32_t mode, int32_t index,
                    ActivityLog& log) {
    LikePattern like(pattern);
    if (!like.valid()) {
        log.debug_log("Invalid pattern in filter " + std::to_string(index) + ": " + pattern, 1);
        return false;
    }
    return like.matches(text) == (mode == kModeEquals);
}

// Whether filter index matches an item with extension ext and lower-case show title show.
bool filterMatches(const ActionFilter& filter, int32_t index, const std::string& ext,
                   const std::string& show, ActivityLog& log) {
    bool found = false;
    if (!filter.type_pattern.empty() && filter.enabled &&
        conditionHolds(ext, filter.type_pattern, filter.type_mode, index, log)) {
        found = true;
    }
    if (!filter.show_pattern.empty()) {
        // A disabled filter stops here. (found is never set for one: the type condition is
        // tested on enabled filters only.)
        if (!filter.enabled) return found;
        if (conditionHolds(show, filter.show_pattern, filter.show_mode, index, log)) found = true;
    }
    return found;
}

}  // namespace

ActionFilter defaultFilter() {
    ActionFilter filter;
    filter.action = kActionRename;
    filter.enabled = true;
    filter.show_pattern = "*";
    filter.show_mode = kModeEquals;
    filter.name_mask = "[show] - [s]x[ee] - [title]";
    filter.description = "Show Name Equals Anything";
    return filter;
}

const char* actionText(FileAction action) {
    switch (action) {
        case kActionRename:
            return "Rename";
        case kActionMove:
            return "Move & Rename";
        case kActionCopy:
            return "Copy & Rename";
        default:
            return "";
    }
}

bool FilterList::parse(std::string_view text, std::string* error) {
    clear();
    const std::vector<std::string_view> lines = splitRecords(text);
    // The list is sized first, so records from a failing line on stay as they are: empty.
    resize(static_cast<int32_t>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string why;
        if (!parseFilter(splitFields(lines[i]), at(static_cast<int32_t>(i) + 1), &why)) {
            for (size_t j = i; j < lines.size(); ++j)
                at(static_cast<int32_t>(j) + 1).unloaded_line = std::string(lines[j]);
            if (error) *error = "line " + std::to_string(i + 1) + " " + why;
            return false;
        }
    }
    return true;
}

std::string FilterList::text() const {
    std::string out;
    for (int32_t i = 1; i <= count(); ++i) {
        const ActionFilter& f = at(i);
        if (f.removed) continue;
        if (f.unloaded_line) {
            out += *f.unloaded_line;
        } else {
            out += std::to_string(f.action) + '\t' + (f.enabled ? "True" : "False") + '\t' +
                   fieldText(f.type_pattern) + '\t' + fieldText(f.show_pattern) + '\t' +
                   fieldText(f.dest_folder) + '\t' + fieldText(f.name_mask) + '\t' +
                   fieldText(f.description) + '\t' + std::to_string(f.type_mode) + '\t' +
                   std::to_string(f.show_mode);
        }
        out += "\r\n";
    }
    return out;
}

bool FilterList::loadfilters(const std::string& workdir, ActivityLog& log, CoreView& view) {
    clear();
    if (!m_file.load(workdir, log, [this](const std::string* text, std::string* error) {
            if (text) return parse(*text, error);
            append(defaultFilter());  // not written until the list is saved
            return true;
        })) {
        return false;
    }
    refresh_lv2(view);
    return true;
}

bool FilterList::savefilters(const std::string& workdir, ActivityLog& log) const {
    return m_file.save(workdir, text(), log);
}

void FilterList::refresh_lv2(CoreView& view) const {
    std::vector<ListRow> rows;
    rows.reserve(static_cast<size_t>(count()));
    for (int32_t i = 1; i <= count(); ++i) {
        const ActionFilter& f = at(i);
        rows.push_back({"F" + std::to_string(i),
                        {f.description, actionText(f.action), f.name_mask, f.dest_folder}});
    }
    view.listRefilled(CoreList::Filters, rows);
}

bool dofilter(QueueItem& item, const FilterList& filters, ActivityLog& log) {
    const std::string ext = getextension(item.file_name);
    const std::string show = lowerCase(item.show_title);
    int32_t chosen = 0;
    for (int32_t i = 1; i <= filters.count() && chosen == 0; ++i) {
        if (filterMatches(filters.at(i), i, ext, show, log)) chosen = i;
    }
    if (chosen == 0) return false;
    const ActionFilter& filter = filters.at(chosen);

    const std::string show_title = insertable(item.show_title);
    const std::string season = std::to_string(item.season);
    const std::string season2 = twoDigits(item.season);
    std::string name = filter.name_mask + "." + ext;
    replaceAll(name, "[show]", show_title);
    replaceAll(name, "[s]", season);
    replaceAll(name, "[ss]", season2);
    replaceAll(name, "[e]", std::to_string(item.episode));
    replaceAll(name, "[ee]", twoDigits(item.episode));
    replaceAll(name, "[title]", insertable(item.episode_title));
    removeNul(name);

    std::string folder;
    if (filter.action < kActionMove) {
        // A path queued without a folder is in the current one; "" + "/" would be the root.
        folder = getpath(item.path, 0);
        if (folder.empty()) folder = "./";
    } else {
        folder = filter.dest_folder;
        replaceAll(folder, "[show]", show_title);
        replaceAll(folder, "[s]", season);
        replaceAll(folder, "[ss]", season2);
    }
    removeNul(folder);
    if (folder.empty() || folder.back() != '/') folder += '/';

    item.new_name = std::move(name);
    item.target_folder = std::move(folder);
    item.filter_index = chosen;
    return true;
}

}  // namespace vantel
