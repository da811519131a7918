#include "renamer/engine/data_file.h"

#include "renamer/common/textfile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

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

DataFileText readDataFile(const std::string& path) {
    DataFileText result;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return result;
    bool ok = false;
    result.text = ReadTextFile(path, &ok);
    if (ok) {
        result.status = DataFileText::kRead;
    } else {
        result.status = DataFileText::kUnreadable;
        result.error = std::strerror(errno);
    }
    return result;
}

bool replaceDataFile(const std::string& path, const std::string& text, std::string* error) {
    if (text.empty()) {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    } else if (ReplaceTextFile(path, text)) {
        return true;
    }
    if (error) *error = std::strerror(errno);
    return false;
}
