#include "winsock/ocx/base/error_slot.h"

#include <gtest/gtest.h>

#include <thread>

TEST(SocketErrorSlot, StoresBareCodesInHresultForm) {
    SetSocketError(10060);
    EXPECT_EQ(SocketError(), 0x8004274Cu);
    EXPECT_EQ(SocketErrorCode(SocketError()), 10060u);
    SetSocketError(0x8004274D);
    EXPECT_EQ(SocketError(), 0x8004274Du);
    SetSocketError(0);
    EXPECT_EQ(SocketError(), 0u);
}

TEST(SocketErrorSlot, EachThreadHasItsOwnValue) {
    SetSocketError(10061);
    std::thread other([] {
        EXPECT_EQ(SocketError(), 0u);
        SetSocketError(10004);
        EXPECT_EQ(SocketError(), 0x80042714u);
    });
    other.join();
    EXPECT_EQ(SocketError(), 0x8004274Du);
    EXPECT_EQ(ProcessSocketError(), 0x80042714u);  // the last store of any thread
}
