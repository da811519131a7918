#pragma once
// For the socket layer's tests: the network library started for the whole program, and a
// connect helper.

#include <gtest/gtest.h>

#include <string>

#include "platform/user/user.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/connect.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/socket/socket_table.h"
#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/socket/test_timer.h"

namespace socket_test {

// Starts the real libws2_32.so once for the test program.
class NetworkEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        WSADATA data;
        ASSERT_TRUE(kvlink::networkLibrary().start("", MAKEWORD(2, 2), &data, nullptr))
            << std::hex << SocketError() << " " << kvlink::networkLibrary().loadError();
    }
    void TearDown() override { kvlink::networkLibrary().stop(); }
};
inline ::testing::Environment* const g_network =
    ::testing::AddGlobalTestEnvironment(new NetworkEnvironment);

// The bare code in the calling thread's error slot.
inline uint32_t lastCode() {
    return SocketErrorCode(SocketError());
}

// Connects to 127.0.0.1:port with a time-out; the handle, or -1 (the error is in the slot).
inline int32_t connectTo(int port, int32_t timeout = 10) {
    kvlink::ConnectRequest request;
    request.host = "127.0.0.1";
    request.remotePort = port;
    request.timeout = timeout;
    int32_t handle = wrInvalidSocket;
    kvlink::connectSocket(request, &handle);
    return handle;
}

}  // namespace socket_test
