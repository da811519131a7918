#include "winsock/ocx/socket/socket_info.h"

#include "winsock/ocx/socket/socket_table.h"

namespace kvlink {

bool readSocket(int32_t handle, SocketSnapshot* out) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    std::lock_guard lock(socketTableLock());
    out->connected = record->connected;
    out->closedByPeer = record->closedByPeer;
    out->blocked = record->blocked;
    // A running stream transfer shows its direction in place of the stored status.
    out->status = record->transferStatus != 0 ? record->transferStatus : record->status;
    out->protocol = record->protocol;
    out->timeoutSeconds = record->timeoutSeconds;
    out->options = record->options;
    out->remoteAddress = record->remoteAddress;
    out->remotePort = record->remotePort;
    out->localAddress = record->localAddress;
    out->localPort = record->localPort;
    out->bytesReceived = record->bytesReceived;
    out->bytesSent = record->bytesSent;
    return true;
}

bool setSocketTimeout(int32_t handle, int32_t timeout) {
    SocketRef record = findSocket(handle);
    if (!record) return false;
    record->timeoutSeconds = normalizeTimeout(timeout);
    return true;
}

}  // namespace kvlink
