#include "renamer/engine/exceptions.h"

#include "renamer/common/text.h"

namespace vantel {

bool ExceptionList::parse(std::string_view text, std::string* error) {
    clear();
    const std::vector<std::string_view> lines = splitRecords(text);
    // The list is sized first, so records from a failing line on stay as they are: empty.
    resize(static_cast<int32_t>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string_view> fields = splitFields(lines[i]);
        if (fields.size() < 2) {
            for (size_t j = i; j < lines.size(); ++j)
                at(static_cast<int32_t>(j) + 1).unloaded_line = std::string(lines[j]);
            if (error) *error = "line " + std::to_string(i + 1) + " holds no TAB";
            return false;
        }
        ExceptionFilter& record = at(static_cast<int32_t>(i) + 1);
        record.detected_name = fields[0];
        record.new_show_name = fields[1];
    }
    return true;
}

std::string ExceptionList::text() const {
    std::string out;
    for (int32_t i = 1; i <= count(); ++i) {
        const ExceptionFilter& record = at(i);
        if (record.removed) continue;
        if (record.unloaded_line) {
            out += *record.unloaded_line;
        } else {
            out += fieldText(record.detected_name);
            out += '\t';
            out += fieldText(record.new_show_name);
        }
        out += "\r\n";
    }
    return out;
}

bool ExceptionList::loadefilters(const std::string& workdir, ActivityLog& log, CoreView& view) {
    clear();
    // No file: no exceptions.
    if (!m_file.load(workdir, log, [this](const std::string* text, std::string* error) {
            return !text || parse(*text, error);
        })) {
        return false;
    }
    refresh_lv3(view);
    return true;
}

bool ExceptionList::saveefilters(const std::string& workdir, ActivityLog& log) const {
    return m_file.save(workdir, text(), log);
}

void ExceptionList::refresh_lv3(CoreView& view) const {
    std::vector<ListRow> rows;
    rows.reserve(static_cast<size_t>(count()));
    for (int32_t i = 1; i <= count(); ++i)
        rows.push_back({"F" + std::to_string(i), {at(i).detected_name, at(i).new_show_name}});
    view.listRefilled(CoreList::Exceptions, rows);
}

void checkex(QueueItem& item, const ExceptionList& exceptions) {
    if (exceptions.count() == 0) return;
    const std::string detected = lowerCase(item.detected_show);
    for (int32_t i = 1; i <= exceptions.count(); ++i) {
        const ExceptionFilter& exception = exceptions.at(i);
        if (lowerCase(exception.detected_name) == detected) {
            item.detected_show = lowerCase(exception.new_show_name);
            return;
        }
    }
}

}  // namespace vantel
