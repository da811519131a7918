#pragma once
// Test support: libws2_32.so loaded the way the socket control loads it (dlopen by path with
// RTLD_NOW | RTLD_LOCAL, every function bound by name with dlsym), and loopback helpers.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ws2/winsock2.h"

// The names of the control's binding table, in its order, with the pointer each is bound to.
#define WS2_TEST_FUNCTIONS(X) WS2_BINDING_FUNCTIONS(X)

struct Ws2Api {
#define WS2_TEST_MEMBER(name, type) LPFN_##type name = nullptr;
    WS2_TEST_FUNCTIONS(WS2_TEST_MEMBER)
#undef WS2_TEST_MEMBER
};

inline void* ws2Library() {
    static void* handle = dlopen(WS2_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

// The bound table; a name the library lacks leaves its pointer null, as in the control.
inline const Ws2Api& ws2() {
    static const Ws2Api api = [] {
        Ws2Api a;
        void* lib = ws2Library();
        if (!lib) ADD_FAILURE() << "dlopen: " << dlerror();
#define WS2_TEST_BIND(name, type) \
    if (lib) a.name = reinterpret_cast<LPFN_##type>(dlsym(lib, #name));
        WS2_TEST_FUNCTIONS(WS2_TEST_BIND)
#undef WS2_TEST_BIND
        return a;
    }();
    return api;
}

inline sockaddr_in loopbackAddress(u_short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = ws2().htons(port);
    a.sin_addr.s_addr = ws2().htonl(INADDR_LOOPBACK);
    return a;
}

inline const sockaddr* asAddress(const sockaddr_in& a) {
    return reinterpret_cast<const sockaddr*>(&a);
}

// A test with the library started; the helpers fail the test on any error.
class Ws2Test : public ::testing::Test {
  protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(api.WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override { api.WSACleanup(); }

    SOCKET makeSocket(int type = SOCK_STREAM) {
        SOCKET s = api.socket(AF_INET, type, 0);
        EXPECT_NE(s, INVALID_SOCKET) << api.WSAGetLastError();
        return s;
    }

    // The port a socket is bound to, in host order.
    u_short portOf(SOCKET s) {
        sockaddr_in a{};
        int size = sizeof a;
        EXPECT_EQ(api.getsockname(s, reinterpret_cast<sockaddr*>(&a), &size), 0)
            << api.WSAGetLastError();
        return api.ntohs(a.sin_port);
    }

    // A socket bound to a free loopback port.
    SOCKET bound(int type = SOCK_STREAM) {
        SOCKET s = makeSocket(type);
        sockaddr_in a = loopbackAddress(0);
        EXPECT_EQ(api.bind(s, asAddress(a), sizeof a), 0) << api.WSAGetLastError();
        return s;
    }

    SOCKET listening(u_short* port) {
        SOCKET s = bound();
        EXPECT_EQ(api.listen(s, 5), 0) << api.WSAGetLastError();
        *port = portOf(s);
        return s;
    }

    // A blocking connect to a loopback port.
    SOCKET connected(u_short port) {
        SOCKET s = makeSocket();
        sockaddr_in a = loopbackAddress(port);
        EXPECT_EQ(api.connect(s, asAddress(a), sizeof a), 0) << api.WSAGetLastError();
        return s;
    }

    // A connected pair: *client from connect, *server from accept.
    void connectedPair(SOCKET* client, SOCKET* server) {
        u_short port = 0;
        SOCKET l = listening(&port);
        *client = connected(port);
        *server = api.accept(l, nullptr, nullptr);
        EXPECT_NE(*server, INVALID_SOCKET) << api.WSAGetLastError();
        api.closesocket(l);
    }

    // A loopback port that nothing listens on: bound, then closed.
    u_short closedPort() {
        SOCKET s = bound();
        u_short port = portOf(s);
        api.closesocket(s);
        return port;
    }

    // Waits (without limit: the test's own time-out guards it) until s is readable.
    void waitReadable(SOCKET s) {
        FD_SET readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        ASSERT_EQ(api.select(0, &readable, nullptr, nullptr, nullptr), 1) << api.WSAGetLastError();
    }

    int sendText(SOCKET s, const std::string& text) {
        return api.send(s, text.data(), static_cast<int>(text.size()), 0);
    }

    std::string receiveText(SOCKET s, int most = 256) {
        std::string buffer(static_cast<size_t>(most), '\0');
        int n = api.recv(s, buffer.data(), most, 0);
        EXPECT_GE(n, 0) << api.WSAGetLastError();
        buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buffer;
    }

    const Ws2Api& api = ws2();
};

// A platform_user window that records the messages at or above WM_USER that reach it.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageWindow {
  public:
    MessageWindow() {
        static const ATOM registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = &MessageWindow::procedure;
            wc.lpszClassName = "Ws2TestWindow";
            return RegisterClassA(&wc);
        }();
        EXPECT_NE(registered, 0);
        m_hwnd = CreateWindowExA(0, "Ws2TestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                 nullptr);
        EXPECT_NE(m_hwnd, nullptr);
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~MessageWindow() { DestroyWindow(m_hwnd); }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND hwnd() const { return m_hwnd; }

    // Dispatches messages until done() holds; false after a wait far longer than any healthy
    // run needs, so a missing message fails the test instead of hanging it.
    template <typename Done>
    bool pumpUntil(Done done) {
        for (int slice = 0; slice < 1000; ++slice) {
            dispatchWaiting();
            if (done()) return true;
            waitForMessages(10);
        }
        return done();
    }

    // Dispatches whatever arrives for a while, to see that nothing more comes.
    void pumpFor(int milliseconds) {
        for (int slice = 0; slice < milliseconds / 10; ++slice) {
            dispatchWaiting();
            waitForMessages(10);
        }
        dispatchWaiting();
    }

    // How many messages of this number arrived for socket s with the given low word.
    int count(UINT message, SOCKET s, unsigned lowWord) const {
        int n = 0;
        for (const Received& r : received) {
            if (r.message == message && r.wParam == s && (r.lParam & 0xFFFF) == lowWord) ++n;
        }
        return n;
    }

    // The high word (the error number) of the last such message; -1 when none came.
    int lastError(UINT message, SOCKET s, unsigned lowWord) const {
        int error = -1;
        for (const Received& r : received) {
            if (r.message == message && r.wParam == s && (r.lParam & 0xFFFF) == lowWord) {
                error = static_cast<int>((r.lParam >> 16) & 0xFFFF);
            }
        }
        return error;
    }

    std::vector<Received> received;

  private:
    static LRESULT procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && message >= WM_USER) self->received.push_back({message, wParam, lParam});
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    void dispatchWaiting() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    static void waitForMessages(int milliseconds) {
        pollfd ready{GetQueueReadyFd(), POLLIN, 0};
        poll(&ready, 1, milliseconds);
    }

    HWND m_hwnd = nullptr;
};
