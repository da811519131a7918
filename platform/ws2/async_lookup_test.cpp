// The asynchronous database calls: the reply message and the result packed into the caller's
// buffer.

#include <fstream>

#include "platform/ws2/test_support.h"

namespace {

constexpr UINT kReply = WM_USER + 7;

class AsyncLookup : public Ws2Test {
  protected:
    // Waits for the reply to request and returns its lParam.
    LPARAM replyTo(HANDLE request) {
        auto id = reinterpret_cast<WPARAM>(request);
        EXPECT_NE(request, nullptr) << api.WSAGetLastError();
        auto replied = [&] {
            for (const Received& r : window.received) {
                if (r.message == kReply && r.wParam == id) return true;
            }
            return false;
        };
        EXPECT_TRUE(window.pumpUntil(replied));
        for (const Received& r : window.received) {
            if (r.message == kReply && r.wParam == id) return r.lParam;
        }
        return -1;
    }

    MessageWindow window;
    alignas(8) char buffer[MAXGETHOSTSTRUCT];
};

TEST_F(AsyncLookup, HostByNameFillsTheBuffer) {
    HANDLE request =
        api.WSAAsyncGetHostByName(window.hwnd(), kReply, "localhost", buffer, sizeof buffer);
    LPARAM reply = replyTo(request);
    ASSERT_EQ(WSAGETASYNCERROR(reply), 0u);
    EXPECT_GT(WSAGETASYNCBUFLEN(reply), sizeof(hostent));
    EXPECT_LE(WSAGETASYNCBUFLEN(reply), sizeof buffer);
    auto* h = reinterpret_cast<hostent*>(buffer);
    EXPECT_EQ(h->h_addrtype, AF_INET);
    in_addr first;
    std::memcpy(&first, h->h_addr, 4);
    EXPECT_STREQ(api.inet_ntoa(first), "127.0.0.1");
    // Everything the entry points to lies inside the caller's buffer.
    EXPECT_GE(h->h_name, buffer);
    EXPECT_LT(h->h_name, buffer + sizeof buffer);

    EXPECT_EQ(api.WSACancelAsyncRequest(request), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10037) << "the request already replied";
    EXPECT_EQ(api.WSACancelAsyncRequest(reinterpret_cast<HANDLE>(uintptr_t{999999})), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), 10022) << "no such request";
}

TEST_F(AsyncLookup, SmallBufferGetsTheSizeItNeeds) {
    HANDLE request = api.WSAAsyncGetHostByName(window.hwnd(), kReply, "localhost", buffer, 16);
    LPARAM reply = replyTo(request);
    EXPECT_EQ(WSAGETASYNCERROR(reply), 10055u);
    EXPECT_GT(WSAGETASYNCBUFLEN(reply), 16u);
}

TEST_F(AsyncLookup, HostByAddress) {
    uint32_t loopback = api.htonl(INADDR_LOOPBACK);
    HANDLE request =
        api.WSAAsyncGetHostByAddr(window.hwnd(), kReply, reinterpret_cast<const char*>(&loopback),
                                  4, AF_INET, buffer, sizeof buffer);
    LPARAM reply = replyTo(request);
    ASSERT_EQ(WSAGETASYNCERROR(reply), 0u);
    EXPECT_NE(reinterpret_cast<hostent*>(buffer)->h_name[0], '\0');
}

TEST_F(AsyncLookup, ServiceAndProtocol) {
    if (!std::ifstream("/etc/services").good() || !std::ifstream("/etc/protocols").good()) {
        GTEST_SKIP() << "this machine lacks /etc/services or /etc/protocols";
    }
    LPARAM reply = replyTo(
        api.WSAAsyncGetServByName(window.hwnd(), kReply, "http", "tcp", buffer, sizeof buffer));
    ASSERT_EQ(WSAGETASYNCERROR(reply), 0u);
    EXPECT_EQ(reinterpret_cast<servent*>(buffer)->s_port, static_cast<short>(api.htons(80)));

    reply = replyTo(api.WSAAsyncGetProtoByNumber(window.hwnd(), kReply, 17, buffer, sizeof buffer));
    ASSERT_EQ(WSAGETASYNCERROR(reply), 0u);
    EXPECT_STREQ(reinterpret_cast<protoent*>(buffer)->p_name, "udp");

    reply = replyTo(api.WSAAsyncGetServByName(window.hwnd(), kReply, "no-such-service-here", "tcp",
                                              buffer, sizeof buffer));
    EXPECT_EQ(WSAGETASYNCERROR(reply), 11004u);
}

TEST_F(AsyncLookup, RefusesAMissingBuffer) {
    EXPECT_EQ(api.WSAAsyncGetHostByName(window.hwnd(), kReply, "localhost", nullptr, 100), nullptr);
    EXPECT_EQ(api.WSAGetLastError(), 10014);
}

}  // namespace
