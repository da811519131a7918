// The built-in network library functions: the control's start, stop and trace calls, handed to
// the process's binding of libws2_32.so and libkvtrace6.so (winsock/ocx/binding).

#include "winsock/ocx/network_library.h"

#include <atomic>

#include "winsock/ocx/binding/network_library.h"

namespace {

// The control speaks Winsock 2.2.
constexpr WORD kRequestedVersion = MAKEWORD(2, 2);

bool startBound(const std::string& moduleName, NetworkLibraryInfo* info) {
    kvlink::NetworkLibrary& net = kvlink::networkLibrary();
    WSADATA data{};
    if (!net.start(moduleName, kRequestedVersion, &data, nullptr)) return false;
    info->path = net.path();
    info->description = data.szDescription;
    info->highVersionMajor = static_cast<int>(LOBYTE(data.wHighVersion));
    info->highVersionMinor = static_cast<int>(HIBYTE(data.wHighVersion));
    info->maxSockets = data.iMaxSockets;
    info->maxDatagram = data.iMaxUdpDg;
    return true;
}

void stopBound() {
    kvlink::networkLibrary().stop();
}

bool enableTraceBound(const std::string& traceFile, int32_t flags) {
    return kvlink::networkLibrary().enableTrace(traceFile, static_cast<DWORD>(flags));
}

void disableTraceBound() {
    kvlink::networkLibrary().disableTrace();
}

constexpr NetworkLibrary kBound{startBound, stopBound, enableTraceBound, disableTraceBound};

std::atomic<const NetworkLibrary*> g_library{&kBound};

}  // namespace

const NetworkLibrary& networkLibrary() {
    return *g_library.load();
}

void setNetworkLibrary(const NetworkLibrary* replacement) {
    g_library.store(replacement ? replacement : &kBound);
}
