#pragma once
// For the socket layer's tests: the network library started for the whole program, a timer
// that runs an action from inside a wait, and a connect helper.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/user/user.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/socket/connect.h"
#include "winsock/ocx/socket/error_slot.h"
#include "winsock/ocx/socket/socket_table.h"
#include "winsock/ocx/socket/test_peer.h"

namespace socket_test {

// Starts the real libws2_32.so once for the test program.
class NetworkEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        WSADATA data;
        ASSERT_TRUE(kvlink::networkLibrary().start("", MAKEWORD(2, 2), &data, nullptr))
            << std::hex << SocketError() << " " << kvlink::networkLibrary().loadError();
    }
    void TearDown() override { kvlink::networkLibrary().stop(); }
};
inline ::testing::Environment* const g_network =
    ::testing::AddGlobalTestEnvironment(new NetworkEnvironment);

// The bare code in the calling thread's error slot.
inline uint32_t lastCode() {
    return SocketErrorCode(SocketError());
}

// Runs an action from a WM_TIMER of a window of the calling thread, ms after construction (and
// again every ms while repeat is set). The window lives as long as the object.
class TimerAction {
  public:
    TimerAction(unsigned ms, std::function<void()> action, bool repeat = false)
        : m_action(std::move(action)), m_repeat(repeat) {
        static const ATOM registered = [] {
            WNDCLASSA wc{0, &TimerAction::windowProc, "KvlinkTestTimer"};
            return RegisterClassA(&wc);
        }();
        (void)registered;
        m_window = CreateWindowExA(0, "KvlinkTestTimer", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                   nullptr, nullptr);
        SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetTimer(m_window, 1, ms, nullptr);
    }
    ~TimerAction() { DestroyWindow(m_window); }
    TimerAction(const TimerAction&) = delete;
    TimerAction& operator=(const TimerAction&) = delete;

    int runs() const { return m_runs; }

  private:
    static LRESULT windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_TIMER) {
            auto* self = reinterpret_cast<TimerAction*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
            if (self) {
                if (!self->m_repeat) KillTimer(hwnd, 1);
                ++self->m_runs;
                self->m_action();
            }
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    std::function<void()> m_action;
    bool m_repeat;
    HWND m_window = nullptr;
    int m_runs = 0;
};

// Connects to 127.0.0.1:port with a time-out; the handle, or -1 (the error is in the slot).
inline int32_t connectTo(int port, int32_t timeout = 10) {
    kvlink::ConnectRequest request;
    request.host = "127.0.0.1";
    request.remotePort = port;
    request.timeout = timeout;
    int32_t handle = kvlink::kNoSocket;
    kvlink::connectSocket(request, &handle);
    return handle;
}

}  // namespace socket_test
