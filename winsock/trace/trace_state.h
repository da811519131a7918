#pragma once
// The trace library's process-wide state: the trace file, the flags, the count of users, and the
// network library's last-error pair; and the writing of one record to the file.

#include <string>

#include "winsock/trace/kvtrace6.h"

namespace kvtrace {

// The kind of a line, matched against the trace flags.
enum class LineKind { Info, Error, Warning };

void setup(LPFN_WSAGETLASTERROR getError, LPFN_WSASETLASTERROR setError);
bool enable(const char* fileName, DWORD flags);
bool disable();
int usage();
bool setFile(const char* fileName);
// The path of the trace file: the one set, or the default.
std::string file();
DWORD setFlags(DWORD flags);
DWORD flags();

// active tells whether tracing is on; hooks return at once while it is off.
bool active();
// wanted tells whether lines of kind are written under the current flags.
bool wanted(LineKind kind);
// dumpWanted tells whether hex dumps are written.
bool dumpWanted();

// writeRecord appends text (one or more whole lines, each ended by "\n") to the trace file with
// one write. Returns false when tracing is off or the write failed.
bool writeRecord(const std::string& text);

// The calling thread's last network error, and putting it back; 0 and nothing without setup.
int lastError();
void restoreError(int error);

// defaultFile returns "$XDG_STATE_HOME/kvlink6/kvtrace6.log" ("~/.local/state" when the variable
// is unset), creating its folder; "kvtrace6.log" when no such folder can be made.
std::string defaultFile();

}  // namespace kvtrace
