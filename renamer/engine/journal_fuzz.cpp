// Reads arbitrary bytes as "journal.dat": every run and operation it gives must be one the text
// began, numbered from 1, and each line is either a record or counted as skipped.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "renamer/engine/journal.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    JournalHistory history;
    parseJournal(text, history);
    size_t records = 0;
    int32_t previous = 0;
    for (const JournalRun& run : history.runs) {
        if (run.number <= previous) std::abort();  // one entry per run, in order
        previous = run.number;
        std::set<int32_t> numbers;
        for (const JournalOp& op : run.ops) {
            if (op.number < 1 || !numbers.insert(op.number).second) std::abort();
        }
        records += 1 + run.ops.size();
    }
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    if (records + static_cast<size_t>(history.skipped_lines) > lines) std::abort();
    return 0;
}
