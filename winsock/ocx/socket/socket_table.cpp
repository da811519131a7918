// The socket table: a vector of records under one mutex. The control has a socket or two at a
// time, so a linear search is the fastest lookup there is.

#include "winsock/ocx/socket/socket_table.h"

#include <algorithm>
#include <vector>

#include "winsock/ocx/base/error_slot.h"

namespace kvlink {
namespace {

std::vector<SocketRef>& table() {
    // Never destroyed: code running at exit may still close sockets.
    static auto* records = new std::vector<SocketRef>();
    return *records;
}

std::vector<SocketRef>::iterator position(int32_t handle) {
    auto& records = table();
    return std::find_if(records.begin(), records.end(),
                        [handle](const SocketRef& r) { return r->handle == handle; });
}

}  // namespace

std::mutex& socketTableLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

void addSocket(const SocketRef& record) {
    if (record->owner == 0) record->owner = GetCurrentThreadId();
    std::lock_guard lock(socketTableLock());
    table().push_back(record);
}

bool listedLocked(const SocketRef& record) {
    auto it = position(record->handle);
    return it != table().end() && *it == record;
}

SocketRef findSocket(int32_t handle) {
    SocketRef record;
    {
        std::lock_guard lock(socketTableLock());
        auto it = position(handle);
        if (it != table().end()) record = *it;
    }
    if (!record) {
        SetSocketError(wrErrorInvalidHandle);
        return nullptr;
    }
    if (record->owner != GetCurrentThreadId() && !record->shareable()) {
        SetSocketError(wrErrorNotHandleOwner);
        return nullptr;
    }
    return record;
}

bool removeSocket(const SocketRef& record) {
    std::lock_guard lock(socketTableLock());
    auto& records = table();
    auto it = std::find(records.begin(), records.end(), record);
    if (it == records.end()) return false;
    records.erase(it);
    return true;
}

std::vector<int32_t> socketHandles() {
    std::lock_guard lock(socketTableLock());
    std::vector<int32_t> handles;
    handles.reserve(table().size());
    for (const SocketRef& record : table())
        handles.push_back(record->handle);
    return handles;
}

size_t socketCount() {
    std::lock_guard lock(socketTableLock());
    return table().size();
}

}  // namespace kvlink
