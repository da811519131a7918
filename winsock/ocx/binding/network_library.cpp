// Starting and stopping the network library, binding its entry table, and the trace controls.

#include "winsock/ocx/binding/network_library.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "winsock/ocx/binding/wait_state.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/base/constants.h"

namespace kvlink {
namespace {

// The library's own version, reported in the information record.
constexpr uint16_t kMajorVersion = 6;
constexpr uint16_t kMinorVersion = 0;
constexpr uint32_t kBuildNumber = 6000;
constexpr const char* kDescription = "Wirran Windows Sockets Library";

// The control refuses platforms older than major version 5. Every Linux system offers what it
// needs, so the platform counts as version 6; the check stays for the day that is not so.
constexpr int kOldestPlatformMajorVersion = 5;
int platformMajorVersion() {
    return 6;
}


}  // namespace

NetworkLibrary::NetworkLibrary(std::string traceModule) : m_trace(std::move(traceModule)) {}

bool NetworkLibrary::start(const std::string& moduleName, WORD version, WSADATA* data,
                           LibraryInfo* info) {
    if (platformMajorVersion() < kOldestPlatformMajorVersion) {
        SetSocketError(WSAVERNOTSUPPORTED);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (info) {
        if (info->dwSize != sizeof(LibraryInfo)) {
            SetSocketError(wrErrorInvalidParameter);
            return false;
        }
        std::memset(info, 0, sizeof *info);
        info->dwSize = sizeof(LibraryInfo);
        info->wMajorVersion = kMajorVersion;
        info->wMinorVersion = kMinorVersion;
        info->dwBuildNumber = kBuildNumber;
        std::snprintf(info->szDescription, sizeof info->szDescription, "%s", kDescription);
    }
    WSADATA scratch;
    if (!data) data = &scratch;
    int result = bindLibrary(moduleName, version, data);
    if (result != 0) {
        SetSocketError(static_cast<uint32_t>(result));
        return false;
    }
    if (info) {
        info->wWinsockVersion = data->wVersion;
        info->wWinsockHighVersion = data->wHighVersion;
        info->wMaxSockets = data->iMaxSockets;
        info->wMaxDatagram = data->iMaxUdpDg;
    }
    SetSocketError(0);
    return true;
}

int NetworkLibrary::bindLibrary(const std::string& moduleName, WORD version, WSADATA* data) {
    if (!loaded()) {
        std::string name = moduleName;
        if (name.empty()) {
            // The default library speaks Winsock 2; an older request must name its library.
            if (LOBYTE(version) < 2) return WSAVERNOTSUPPORTED;
            name = kDefaultNetworkModule;
        }
        if (moduleOpen(name, &m_module) != 0) return WSASYSNOTREADY;
#define KVLINK_BIND_FUNCTION(function, type) \
    m_api.function = moduleFunction<LPFN_##type>(&m_module, #function);
        KVLINK_NETWORK_FUNCTIONS(KVLINK_BIND_FUNCTION)
#undef KVLINK_BIND_FUNCTION
        m_loaded.store(true, std::memory_order_release);
    }
    // Without its start-up call the library cannot be used at all.
    if (!m_api.WSAStartup) return WSASYSNOTREADY;
    int result = m_api.WSAStartup(version, data);
    if (result != 0) return result;
    ++m_users;
    allocateWaitSlot();
    return 0;
}

bool NetworkLibrary::stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    // A stop without a start to balance changes nothing: the count never goes below zero.
    if (m_users.load() <= 0) {
        SetSocketError(WSANOTINITIALISED);
        return false;
    }
    --m_users;
    clearWaitBits(kWaitAllBits);
    if (m_api.WSACleanup) m_api.WSACleanup();
    return true;
}

std::string NetworkLibrary::path() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return modulePath(&m_module);
}

std::string NetworkLibrary::loadError() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return moduleError(&m_module);
}

bool NetworkLibrary::enableTrace(const std::string& fileName, DWORD flags) {
    if (!loaded()) return false;
    return m_trace.enable(fileName, flags, m_api.WSAGetLastError, m_api.WSASetLastError);
}

bool NetworkLibrary::disableTrace() {
    return m_trace.disable();
}

void NetworkLibrary::traceWrite(DWORD flags, const char* format, ...) {
    if (!format || !*format) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) return;
    // A longer line is cut to the buffer; the trace is for reading, not for replaying.
    m_trace.write(flags & ~kvtrace::kTraceHexDump, line, -1);
}

void NetworkLibrary::traceDump(DWORD flags, const void* data, int size) {
    if (!data || size <= 0) return;
    m_trace.write(flags | kvtrace::kTraceHexDump, static_cast<const char*>(data), size);
}

NetworkLibrary& networkLibrary() {
    // Never destroyed: the library it loaded stays loaded, and code running at exit may still call.
    static NetworkLibrary* library = new NetworkLibrary();
    return *library;
}

}  // namespace kvlink
