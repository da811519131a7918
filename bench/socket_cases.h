#pragma once
// What the socket benchmarks share: connecting a control to a peer on 127.0.0.1, and the plain
// receive case they compare with (a blocking POSIX recv loop taking total bytes from a peer
// thread that sources them, in chunks of state.range(0) bytes).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "winsock/ocx/socket/test_peer.h"
#include "winsock/ocx/wirran.h"

// connectLoopback connects control to 127.0.0.1:port (time-out 30 s); false when it failed.
inline bool connectLoopback(CWirran* control, int port) {
    Variant error, missing = Variant::missing();
    return SUCCEEDED(control->Connect(Variant(u"127.0.0.1"), Variant(port), missing,
                                      Variant(int32_t{30}), missing, missing, missing, &error)) &&
           error.vt == VT_I4 && error.lVal == 0;
}

inline void plainReceiveCase(benchmark::State& state, uint64_t total, size_t sourceChunk) {
    size_t chunk = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        LoopbackServer source([&](PeerConnection& peer) { peer.source(total, sourceChunk); });
        if (plainReceiveLoop(source.port(), total, chunk) != static_cast<int64_t>(total))
            state.SkipWithError("the plain receive failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}
