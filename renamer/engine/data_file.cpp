#include "renamer/engine/data_file.h"

#include "renamer/common/textfile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <optional>

namespace vantel {

std::vector<std::string_view> splitRecords(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t end; (end = text.find("\r\n")) != std::string_view::npos;) {
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return lines;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t tab; (tab = line.find('\t')) != std::string_view::npos;) {
        fields.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    fields.push_back(line);
    return fields;
}

std::string fieldText(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\t') {
            out += ' ';
        } else if (field[i] == '\r' && i + 1 < field.size() && field[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else {
            out += field[i];
        }
    }
    return out;
}

namespace {

// Reads path: the text, or std::nullopt when there is no such file. False with *error set when
// the file exists, or cannot be told apart from a missing one, and cannot be read.
bool readDataFile(const std::string& path, std::optional<std::string>* text, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    bool ok = false;
    *text = ReadTextFile(path, &ok);
    if (!ok) *error = std::strerror(errno);
    return ok;
}

}  // namespace

bool DataFile::load(const std::string& workdir, ActivityLog& log, const Parse& parse) {
    std::optional<std::string> text;
    std::string error;
    m_unreadable = !readDataFile(workdir + m_file_name, &text, &error);
    if (m_unreadable || !parse(text ? &*text : nullptr, &error)) {
        log.debug_log(std::string("Error loading ") + m_log_name + ": " + error, 1);
        return false;
    }
    return true;
}

bool DataFile::save(const std::string& workdir, const std::string& text, ActivityLog& log) const {
    const std::string path = workdir + m_file_name;
    std::string error;
    if (m_unreadable) {
        error = std::string(m_file_name) + " could not be read, so it is left as it is";
    } else if (text.empty() ? ::unlink(path.c_str()) == 0 || errno == ENOENT
                            : ReplaceTextFile(path, text)) {
        return true;
    } else {
        error = std::strerror(errno);
    }
    log.debug_log(std::string("Error saving ") + m_log_name + ": " + error, 1);
    return false;
}

}  // namespace vantel
