// The socket table.

#include "platform/ws2/socket_table.h"

#include <unordered_map>

#include "platform/ws2/sys.h"

namespace ws2 {
namespace {

constexpr int kStreamType = 1;  // SOCK_STREAM in both views

std::unordered_map<uintptr_t, SocketRef>& table() {
    static auto* sockets = new std::unordered_map<uintptr_t, SocketRef>();
    return *sockets;
}

}  // namespace

SocketEntry::SocketEntry(int fd, int type)
    : fd(fd), type(type), state(type == kStreamType ? SocketState::Fresh : SocketState::Datagram) {}

SocketEntry::~SocketEntry() {
    for (const DeferredConnection& d : deferred)
        sys::closeDescriptor(d.fd);
    sys::closeDescriptor(fd);
}

std::mutex& tableLock() {
    // Never destroyed: the watcher thread and late callers may still take it during exit.
    static auto* lock = new std::mutex();
    return *lock;
}

void insertSocket(const SocketRef& entry) {
    table()[static_cast<uintptr_t>(entry->fd)] = entry;
}

SocketRef findSocket(uintptr_t handle) {
    auto it = table().find(handle);
    return it == table().end() ? nullptr : it->second;
}

SocketRef removeSocket(uintptr_t handle) {
    auto it = table().find(handle);
    if (it == table().end()) return nullptr;
    SocketRef entry = std::move(it->second);
    table().erase(it);
    return entry;
}

std::vector<SocketRef> removeAllSockets() {
    std::vector<SocketRef> all;
    for (auto& [handle, entry] : table())
        all.push_back(std::move(entry));
    table().clear();
    return all;
}

}  // namespace ws2
