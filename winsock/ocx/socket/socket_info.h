#pragma once
// What the control reads of a socket's record, and the one field it changes directly.
//
//   SocketSnapshot info;
//   if (readSocket(handle, &info)) connected = info.connected;   // else 10038/10001 in the slot

#include <cstdint>

namespace kvlink {

struct SocketSnapshot {
    bool connected = false;
    bool closedByPeer = false;
    bool blocked = false;
    int32_t status = 0;
    int32_t protocol = 0;
    int32_t timeoutSeconds = 0;
    uint32_t options = 0;
    uint32_t remoteAddress = 0;  // network byte order
    uint16_t remotePort = 0;
    uint32_t localAddress = 0;  // network byte order
    uint16_t localPort = 0;
    uint64_t bytesReceived = 0;
    uint64_t bytesSent = 0;
};

// readSocket copies the record of handle. False with wrErrorInvalidHandle (10038) or
// wrErrorNotHandleOwner (10001) in the error slot.
bool readSocket(int32_t handle, SocketSnapshot* out);

// setSocketTimeout stores a time-out (seconds, or milliseconds from 1001 on) in the record; the
// next wait uses it. False with 10038 / 10001 in the slot.
bool setSocketTimeout(int32_t handle, int32_t timeout);

}  // namespace kvlink
