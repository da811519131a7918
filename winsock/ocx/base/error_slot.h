#pragma once
// The control's last error as its layers share it: one value per thread, mirrored into one
// process-wide value. Header-only, so that every layer (binding, socket, secure channel, the
// control object) stores into the same slot without linking one another.
//
// Every code in the slot is in HRESULT form: a bare code below 0x10000 (10060) is stored as
// 0x80040000 | code (0x8004274C), facility 4. The control reads the slot when a member fails
// without naming its own code, and its LastError property writes it. The process-wide copy is
// only a fallback for a reader that has no thread slot; it is written with an atomic exchange.
//
//   SetSocketError(wrErrorConnectionRefused);
//   uint32_t hr = SocketError();  // 0x8004274D

#include <atomic>
#include <cstdint>

// The HRESULT form of an error code: bare codes below 0x10000 get facility 4; 0 stays 0 and a
// code that already has high bits is kept as it is.
constexpr uint32_t SocketErrorHresult(uint32_t code) {
    return (code != 0 && code < 0x10000) ? (0x80040000u | code) : code;
}

// The bare 16-bit code of a stored error (what LastError reads and OnError reports).
constexpr uint32_t SocketErrorCode(uint32_t hresult) {
    return hresult & 0xFFFFu;
}

namespace error_slot_detail {
// One definition for the whole program (inline variables), whichever layer includes this first.
inline thread_local uint32_t t_error = 0;
inline std::atomic<uint32_t> g_error{0};
}  // namespace error_slot_detail

// Stores code (bare or HRESULT form; 0 clears) for the calling thread and process-wide. Cannot
// fail.
inline void SetSocketError(uint32_t code) {
    uint32_t value = SocketErrorHresult(code);
    error_slot_detail::t_error = value;
    error_slot_detail::g_error.exchange(value);
}

// The calling thread's stored error in HRESULT form, 0 when none.
inline uint32_t SocketError() {
    return error_slot_detail::t_error;
}

// The process-wide copy: the last error stored by any thread.
inline uint32_t ProcessSocketError() {
    return error_slot_detail::g_error.load();
}
