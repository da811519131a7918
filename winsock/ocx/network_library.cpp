// The built-in network library functions. The network library binding replaces these bodies:
// start binds libws2_32.so and calls WSAStartup, stop calls WSACleanup, and the trace pair loads
// libkvtrace6.so.

#include "winsock/ocx/network_library.h"

#include <atomic>

#include "winsock/ocx/socket/error_slot.h"

namespace {

constexpr uint32_t kNetworkNotReady = 10091;

bool startUnbound(const std::string&, NetworkLibraryInfo*) {
    // No binding of the network library is built into this control yet.
    SetSocketError(kNetworkNotReady);
    return false;
}

void stopUnbound() {}

bool enableTraceUnbound(const std::string&, int32_t) {
    return false;  // as with a missing trace library: tracing stays off
}

void disableTraceUnbound() {}

constexpr NetworkLibrary kUnbound{startUnbound, stopUnbound, enableTraceUnbound,
                                  disableTraceUnbound};

std::atomic<const NetworkLibrary*> g_library{&kUnbound};

}  // namespace

const NetworkLibrary& networkLibrary() {
    return *g_library.load();
}

void setNetworkLibrary(const NetworkLibrary* replacement) {
    g_library.store(replacement ? replacement : &kUnbound);
}
