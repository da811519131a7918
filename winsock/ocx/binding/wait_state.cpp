// The per-thread wait word and the process-wide fact that it exists.

#include "winsock/ocx/binding/wait_state.h"

#include <atomic>

namespace kvlink {
namespace {

std::atomic<bool> g_slotAllocated{false};
thread_local uint32_t t_waitState = 0;

}  // namespace

bool waitSlotAllocated() {
    return g_slotAllocated.load(std::memory_order_acquire);
}

uint32_t waitState() {
    return waitSlotAllocated() ? t_waitState : 0;
}

bool setWaitBits(uint32_t bits) {
    if (!waitSlotAllocated()) return false;
    t_waitState |= bits;
    return true;
}

bool clearWaitBits(uint32_t bits) {
    if (!waitSlotAllocated()) return false;
    t_waitState &= ~bits;
    return true;
}

void allocateWaitSlot() {
    g_slotAllocated.store(true, std::memory_order_release);
}

}  // namespace kvlink
