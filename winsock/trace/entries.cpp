// The WSX* entry points: switching tracing on and off, its file and flags, and callers' own lines.

#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "winsock/trace/exports.h"
#include "winsock/trace/trace_format.h"
#include "winsock/trace/trace_state.h"

BOOL WSXSetupTrace(LPFN_WSAGETLASTERROR getError, LPFN_WSASETLASTERROR setError) {
    kvtrace::setup(getError, setError);
    return TRUE;
}

BOOL WSXEnableTrace(const char* fileName, DWORD flags) {
    return kvtrace::enable(fileName, flags) ? TRUE : FALSE;
}

BOOL WSXDisableTrace() {
    return kvtrace::disable() ? TRUE : FALSE;
}

int WSXGetTraceUsage() {
    return kvtrace::usage();
}

BOOL WSXSetTraceFile(const char* fileName) {
    return kvtrace::setFile(fileName) ? TRUE : FALSE;
}

int WSXGetTraceFile(char* buffer, int size) {
    std::string path = kvtrace::file();
    if (buffer && size > 0) {
        size_t copied = path.size() < static_cast<size_t>(size) ? path.size() : size - 1;
        std::memcpy(buffer, path.data(), copied);
        buffer[copied] = '\0';
    }
    return static_cast<int>(path.size());
}

DWORD WSXSetTraceFlags(DWORD flags) {
    return kvtrace::setFlags(flags);
}

DWORD WSAGetTraceFlags() {
    return kvtrace::flags();
}

BOOL WSXTraceWrite(DWORD flags, const char* data, int size) {
    if (!kvtrace::active() || !data) return FALSE;
    if (flags & kvtrace::kTraceHexDump) {
        if (size <= 0 || !kvtrace::dumpWanted()) return FALSE;
        return kvtrace::writeRecord(kvtrace::hexDump(data, static_cast<size_t>(size)));
    }
    kvtrace::LineKind kind = (flags & kvtrace::kTraceError)     ? kvtrace::LineKind::Error
                             : (flags & kvtrace::kTraceWarning) ? kvtrace::LineKind::Warning
                                                                : kvtrace::LineKind::Info;
    if (!kvtrace::wanted(kind)) return FALSE;
    std::string text = size < 0 ? std::string(data) : std::string(data, static_cast<size_t>(size));
    // A caller's line stays one line: its own line breaks become blanks.
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const char* label = kind == kvtrace::LineKind::Error     ? "error: "
                        : kind == kvtrace::LineKind::Warning ? "warning: "
                                                             : "";
    return kvtrace::writeRecord(kvtrace::linePrefix(now, gettid()) + label + text + "\n") ? TRUE
                                                                                          : FALSE;
}
