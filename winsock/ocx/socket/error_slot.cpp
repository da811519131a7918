#include "winsock/ocx/socket/error_slot.h"

#include <atomic>

namespace {

thread_local uint32_t t_error = 0;
std::atomic<uint32_t> g_error{0};

}  // namespace

void SetSocketError(uint32_t code) {
    uint32_t value = SocketErrorHresult(code);
    t_error = value;
    g_error.exchange(value);
}

uint32_t SocketError() {
    return t_error;
}

uint32_t ProcessSocketError() {
    return g_error.load();
}
