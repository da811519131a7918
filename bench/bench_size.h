#pragma once
// How much a transfer benchmark moves per case: VANTEL_BENCH_MIB (MiB) when set to a positive
// number, else the benchmark's own default. bench/run-all.sh --quick sets it small.

#include <cstdint>
#include <cstdlib>

inline uint64_t benchTotalBytes(uint64_t default_mib) {
    uint64_t mib = default_mib;
    if (const char* text = std::getenv("VANTEL_BENCH_MIB")) {
        const long long value = std::atoll(text);
        if (value > 0) mib = static_cast<uint64_t>(value);
    }
    return mib << 20;
}
