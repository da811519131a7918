#pragma once
// The entry table of the network library: one pointer per function the control binds by name,
// in the order they are bound, and the table of trace hooks that goes with it.
//
// A pointer stays null when the library does not export its name (libws2_32.so leaves
// WSAEventSelect and WSAEnumNetworkEvents out); the call wrappers test it before every call.

#include <atomic>

#include "platform/ws2/winsock2.h"
#include "winsock/trace/kvtrace6.h"

namespace kvlink {

#define KVLINK_NETWORK_FUNCTIONS(X) WS2_BINDING_FUNCTIONS(X)

// The bound functions. Written once, when the library is first loaded, before any use.
struct NetworkApi {
#define KVLINK_API_MEMBER(name, type) LPFN_##type name = nullptr;
    KVLINK_NETWORK_FUNCTIONS(KVLINK_API_MEMBER)
#undef KVLINK_API_MEMBER
};

// The bound trace hooks. They are filled when the trace library is loaded, which may happen while
// other threads are calling through the wrappers, so each pointer is atomic.
struct TraceHooks {
#define KVLINK_HOOK_MEMBER(name, type) std::atomic<TraceHook<LPFN_##type>> name{nullptr};
    KVTRACE_HOOKS(KVLINK_HOOK_MEMBER)
#undef KVLINK_HOOK_MEMBER
};

// The bound entry points of the trace library.
struct TraceEntries {
#define KVLINK_ENTRY_MEMBER(name, type) LPFN_##type name = nullptr;
    KVTRACE_ENTRIES(KVLINK_ENTRY_MEMBER)
#undef KVLINK_ENTRY_MEMBER
};

}  // namespace kvlink
