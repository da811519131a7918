#pragma once
// The binding's side of the optional trace library (libkvtrace6.so): loading it by name, its
// entry table and hook table, and the count of trace users.
//
// The trace library is loaded the first time tracing is switched on and then stays loaded; a
// missing library leaves tracing off and changes nothing else. Used by NetworkLibrary, which
// calls a hook after each network call and forwards enable, disable and the trace writes here.

#include <atomic>
#include <mutex>
#include <string>

#include "winsock/ocx/binding/module.h"
#include "winsock/ocx/binding/network_api.h"

namespace kvlink {

class TraceLink {
  public:
    explicit TraceLink(std::string moduleName) : m_moduleName(std::move(moduleName)) {}
    TraceLink(const TraceLink&) = delete;
    TraceLink& operator=(const TraceLink&) = delete;

    // enable loads and binds the trace library when it is not loaded yet (handing it the network
    // library's error pair), then calls WSXEnableTrace. Returns true, counting one more user, when
    // tracing is on; false when the library cannot be loaded, lacks WSXEnableTrace or refuses.
    bool enable(const std::string& fileName, DWORD flags, LPFN_WSAGETLASTERROR getError,
                LPFN_WSASETLASTERROR setError);
    // setModuleName changes the name load uses; a library already loaded stays in use.
    void setModuleName(const std::string& moduleName) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_moduleName = moduleName;
    }
    // disable counts one user less and calls WSXDisableTrace; false when there is no user.
    bool disable();
    int users() const { return m_users.load(); }

    // write passes a text line (flags without the dump bit) or a data block (with it) to
    // WSXTraceWrite; nothing happens before the library is bound or when it lacks that entry.
    void write(DWORD flags, const char* data, int size);

    // The hooks, all null until the library is loaded.
    TraceHooks& hooks() { return m_hooks; }

  private:
    bool load(LPFN_WSAGETLASTERROR getError, LPFN_WSASETLASTERROR setError);

    std::string m_moduleName;
    std::mutex m_lock;  // serialises loading and the enable and disable calls
    Module m_module;
    TraceEntries m_entries;             // written once, before m_loaded is set
    std::atomic<bool> m_loaded{false};  // published with release, read with acquire
    std::atomic<int> m_users{0};
    TraceHooks m_hooks;
};

}  // namespace kvlink
