// Loading libkvtrace6.so on demand and forwarding the trace calls to it.

#include "winsock/ocx/binding/trace_link.h"

namespace kvlink {

bool TraceLink::load(LPFN_WSAGETLASTERROR getError, LPFN_WSASETLASTERROR setError) {
    if (m_loaded.load(std::memory_order_acquire)) return true;
    if (moduleOpen(m_moduleName, &m_module) != 0) return false;
        // A name the library lacks leaves its entry null; each use below tests it.
#define KVLINK_BIND_ENTRY(name, type) \
    m_entries.name = moduleFunction<LPFN_##type>(&m_module, #name);
    KVTRACE_ENTRIES(KVLINK_BIND_ENTRY)
#undef KVLINK_BIND_ENTRY
#define KVLINK_BIND_HOOK(name, type)                                                   \
    m_hooks.name.store(moduleFunction<TraceHook<LPFN_##type>>(&m_module, "TX_" #name), \
                       std::memory_order_release);
    KVTRACE_HOOKS(KVLINK_BIND_HOOK)
#undef KVLINK_BIND_HOOK
    if (m_entries.WSXSetupTrace) m_entries.WSXSetupTrace(getError, setError);
    m_loaded.store(true, std::memory_order_release);
    return true;
}

bool TraceLink::enable(const std::string& fileName, DWORD flags, LPFN_WSAGETLASTERROR getError,
                       LPFN_WSASETLASTERROR setError) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!load(getError, setError) || !m_entries.WSXEnableTrace) return false;
    // Only an enable that took effect is counted, so every later disable has one to balance.
    if (!m_entries.WSXEnableTrace(fileName.c_str(), flags)) return false;
    ++m_users;
    return true;
}

bool TraceLink::disable() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_users.load() <= 0) return false;
    --m_users;
    return m_entries.WSXDisableTrace ? m_entries.WSXDisableTrace() != FALSE : true;
}

void TraceLink::write(DWORD flags, const char* data, int size) {
    if (!m_loaded.load(std::memory_order_acquire) || !m_entries.WSXTraceWrite) return;
    m_entries.WSXTraceWrite(flags, data, size);
}

}  // namespace kvlink
