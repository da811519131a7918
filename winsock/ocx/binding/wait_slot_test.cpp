// The wait slot's life in a process of its own: absent until the first successful start.

#include <gtest/gtest.h>

#include <thread>

#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/binding/wait_state.h"

TEST(WaitSlot, ExistsFromTheFirstSuccessfulStartOn) {
    EXPECT_FALSE(kvlink::waitSlotAllocated());
    EXPECT_FALSE(kvlink::setWaitBits(kvlink::kWaitInProgress));
    EXPECT_EQ(kvlink::waitState(), 0u);

    kvlink::NetworkLibrary net;
    WSADATA data;
    EXPECT_FALSE(net.start("no-such-library.DLL", MAKEWORD(2, 2), &data, nullptr));
    EXPECT_FALSE(kvlink::waitSlotAllocated());

    ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
    EXPECT_TRUE(kvlink::waitSlotAllocated());
    EXPECT_TRUE(kvlink::setWaitBits(kvlink::kWaitInProgress | kvlink::kWaitNoPump));
    EXPECT_TRUE(kvlink::clearWaitBits(kvlink::kWaitNoPump));
    EXPECT_EQ(kvlink::waitState(), kvlink::kWaitInProgress);
    std::thread([] {
        EXPECT_TRUE(
            kvlink::waitSlotAllocated());  // the slot is the process's, the word the thread's
        EXPECT_EQ(kvlink::waitState(), 0u);
    }).join();

    EXPECT_TRUE(net.stop());
    EXPECT_EQ(kvlink::waitState(), 0u);
    EXPECT_TRUE(kvlink::waitSlotAllocated());  // it outlives the last stop, as the library does
}
