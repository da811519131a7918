#pragma once
// The socket table: every socket the layer opened, process-wide, under one lock.
//
// Every operation on a socket starts by looking its handle up here, and looks it up again after
// any wait, since an event handler run by the wait may have closed it. A record belongs to the
// thread that created it; other threads may use it only when it is marked shareable.
//
//   SocketRef record = findSocket(handle);
//   if (!record) return -1;               // 10038 or 10001 is in the error slot
//   {
//       std::lock_guard lock(socketTableLock());
//       record->blocked = true;
//   }

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "winsock/ocx/socket/socket_record.h"

namespace kvlink {

using SocketRef = std::shared_ptr<SocketRecord>;

// socketTableLock guards the table and the records' shared flags (blocked, abort, cancel).
std::mutex& socketTableLock();

// addSocket enters a new record, owned by the calling thread unless record->owner is set.
void addSocket(const SocketRef& record);

// findSocket returns the record of handle for the calling thread, or nullptr with the error in
// the error slot: wrErrorInvalidHandle (10038) when no record has that handle,
// wrErrorNotHandleOwner (10001) when it belongs to another thread and is not shareable.
SocketRef findSocket(int32_t handle);

// listedLocked tells whether the record is still in the table; the caller holds
// socketTableLock().
bool listedLocked(const SocketRef& record);

// removeSocket takes the record out of the table. False when it is no longer there (someone
// removed it first), so only one caller goes on to close its socket.
bool removeSocket(const SocketRef& record);

// The handles of every record in the table, whatever thread owns them.
std::vector<int32_t> socketHandles();

// The number of records in the table.
size_t socketCount();

}  // namespace kvlink
