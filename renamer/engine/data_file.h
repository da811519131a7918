#pragma once
// The user's data files ("filters.dat", "man.dat"): one record per line ended by CR LF, fields
// separated by TAB, and the numbered list that holds their records in memory.
//
//   for (std::string_view line : splitRecords(text))   // the text after the last CR LF is no line
//       std::vector<std::string_view> fields = splitFields(line);
//   std::string out = fieldText(name) + "\t" + ...;      // one field can never split a line

#include "renamer/common/activity_log.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantel {

// splitRecords: the lines of text, split at each CR LF. The text after the last CR LF (all of
// it when there is none) is not a record.
std::vector<std::string_view> splitRecords(std::string_view text);

// splitFields: the TAB-separated fields of a line (one field when it holds no TAB).
std::vector<std::string_view> splitFields(std::string_view line);

// fieldText: a field as it is written: a TAB or a CR LF pair inside it becomes one space, so
// the record stays one line with its fields in place. Text read from a file holds neither, so
// what was read is written back unchanged.
std::string fieldText(std::string_view field);

// DataFile: one data file of the work folder ("man.dat"), named in the log as "efilters", and
// whether its content is known. A file that exists but could not be read at the last load is
// never written over (nor deleted) until a load succeeds: the list in memory does not hold what
// the file holds.
class DataFile {
  public:
    DataFile(const char* file_name, const char* log_name)
        : m_file_name(file_name), m_log_name(log_name) {}

    // Parse: gets the file's whole text, or nullptr when there is no such file; returns false
    // with *error set when the text does not load.
    using Parse = std::function<bool(const std::string* text, std::string* error)>;

    // load: reads workdir + the file's name and hands the text to parse. False, after logging
    // "Error loading <log name>: " + the reason (level 1), when the file cannot be read or
    // parse fails.
    bool load(const std::string& workdir, ActivityLog& log, const Parse& parse);

    // save: makes text the file's content, atomically (the old content stays whole until the
    // new one is complete); an empty text deletes the file. False, after logging "Error saving
    // <log name>: " + the reason (level 1), when it cannot be written or deleted, or when the
    // last load could not read it.
    bool save(const std::string& workdir, const std::string& text, ActivityLog& log) const;

  private:
    const char* m_file_name;
    const char* m_log_name;
    bool m_unreadable = false;
};

// RecordList: a growable list numbered from 1, as the window's lists number their rows. Slot 0
// exists and never holds a record.
template <class Record>
class RecordList {
  public:
    RecordList() : m_records(1) {}

    int32_t count() const { return static_cast<int32_t>(m_records.size()) - 1; }
    bool validIndex(int32_t index) const { return index >= 1 && index <= count(); }
    // at: the record at index (1 to count()); the index must be valid.
    Record& at(int32_t index) { return m_records.at(static_cast<size_t>(index)); }
    const Record& at(int32_t index) const { return m_records.at(static_cast<size_t>(index)); }

    // clear: slot 0 only. resize: count() becomes n, new records are empty.
    void clear() { m_records.assign(1, Record{}); }
    void resize(int32_t n) { m_records.resize(static_cast<size_t>(n) + 1); }
    void append(Record record) { m_records.push_back(std::move(record)); }
    // swap: exchanges two valid records.
    void swap(int32_t a, int32_t b) { std::swap(at(a), at(b)); }

  private:
    std::vector<Record> m_records;
};

}  // namespace vantel
