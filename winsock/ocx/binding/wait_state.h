#pragma once
// The per-thread wait state of the socket layer: one word per thread whose bits say that a
// blocking wait is in progress on the thread, that its cancellation was requested, and that the
// thread's waits must not run the message loop.
//
// The slot exists once the network library has been started for the first time in the process;
// until then waitSlotAllocated() is false and the socket layer's waits fail with
// wrErrorNetworkNotInitialized (10093).
//
//   if (!waitSlotAllocated()) return fail(10093);
//   if (waitState() & kWaitInProgress) return fail(10036);
//   setWaitBits(kWaitInProgress);
//   ...
//   clearWaitBits(kWaitInProgress | kWaitCancelRequested);

#include <cstdint>

namespace kvlink {

constexpr uint32_t kWaitInProgress = 1;       // a blocking wait runs on this thread
constexpr uint32_t kWaitCancelRequested = 2;  // that wait is to end with wrErrorOperationCanceled
constexpr uint32_t kWaitNoPump = 4;           // waits on this thread do not run the message loop
constexpr uint32_t kWaitAllBits = kWaitInProgress | kWaitCancelRequested | kWaitNoPump;

// waitSlotAllocated tells whether the slot exists: true from the first successful start of the
// network library on, in every thread.
bool waitSlotAllocated();

// waitState returns the calling thread's word; 0 while the slot does not exist.
uint32_t waitState();

// setWaitBits and clearWaitBits change the calling thread's word; without the slot they do
// nothing and return false.
bool setWaitBits(uint32_t bits);
bool clearWaitBits(uint32_t bits);

// allocateWaitSlot makes the slot exist; the binding calls it when it starts the library.
void allocateWaitSlot();

}  // namespace kvlink
