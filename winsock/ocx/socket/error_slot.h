#pragma once
// The socket layer's last error: one value per thread, mirrored into one process-wide value.
//
// Every code in the slot is in HRESULT form: a bare code below 0x10000 (10060) is stored as
// 0x80040000 | code (0x8004274C), facility 4. The control reads the slot when a member fails
// without naming its own code, and its LastError property writes it. The process-wide copy is
// only a fallback for a reader that has no thread slot; it is written with an atomic exchange.
//
//   SetSocketError(10061);
//   uint32_t hr = SocketError();  // 0x8004274D

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

// Stores code (bare or HRESULT form; 0 clears) for the calling thread and process-wide.
void SetSocketError(uint32_t code);

// The calling thread's stored error in HRESULT form, 0 when none.
uint32_t SocketError();

// The process-wide copy: the last error stored by any thread.
uint32_t ProcessSocketError();
