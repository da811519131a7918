// Tracing through the binding: the real libkvtrace6.so, fed by the wrappers over real loopback
// sockets of libws2_32.so; and a missing trace library.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "tools/testsupport/temp_dir.h"
#include "winsock/ocx/binding/network_library.h"
#include "winsock/ocx/binding/test_loopback.h"

using kvlink::NetworkLibrary;

namespace {

class BindingTrace : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        WSADATA data;
        ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
        log = dir.file("trace.log");
    }
    void TearDown() override {
        while (net.traceUsers() > 0)
            net.disableTrace();
        link.reset();  // its sockets close before the library stops
        net.stop();
    }

    std::string contents() { return readFile(log).value_or(""); }
    bool logged(const std::string& text) { return contents().find(text) != std::string::npos; }

    NetworkLibrary net;
    std::optional<LoopbackConnection> link{std::in_place, net};
    TempDir dir;
    std::string log;
};

}  // namespace

TEST_F(BindingTrace, ConnectSendAndReceiveOnLoopbackAreTraced) {
    ASSERT_TRUE(link->listen());
    ASSERT_TRUE(net.enableTrace(log, kvtrace::kTraceInfo));
    EXPECT_EQ(net.traceUsers(), 1);
    ASSERT_TRUE(link->connect());
    ASSERT_EQ(net.send(link->client, "Hello", 5, 0), 5);
    char buffer[64];
    ASSERT_EQ(net.recv(link->server, buffer, sizeof buffer, 0), 5);

    std::string c = std::to_string(link->client);
    std::string a = std::to_string(link->server);
    std::string p = std::to_string(link->port);
    EXPECT_TRUE(logged("] socket(af=2, type=1, protocol=6) = " + c + "\n")) << contents();
    EXPECT_TRUE(logged("] connect(s=" + c + ", addr=127.0.0.1:" + p + ", len=16) = 0\n"))
        << contents();
    EXPECT_TRUE(
        logged("] accept(s=" + std::to_string(link->listener) + ", addr=null) = " + a + "\n"))
        << contents();
    EXPECT_TRUE(logged("] send(s=" + c + ", len=5, flags=0x0) = 5\n")) << contents();
    EXPECT_TRUE(logged("] recv(s=" + a + ", len=64, flags=0x0) = 5\n")) << contents();
    EXPECT_FALSE(logged("48 65 6c 6c 6f")) << "no dump without wrTraceHexDump";

    // After the last disable the calls go on and the file stays as it was.
    EXPECT_TRUE(net.disableTrace());
    EXPECT_FALSE(net.disableTrace());
    std::string before = contents();
    EXPECT_EQ(net.send(link->client, "more", 4, 0), 4);
    EXPECT_EQ(contents(), before);
}

TEST_F(BindingTrace, HexDumpOfTheDataWithFlagFour) {
    ASSERT_TRUE(net.enableTrace(log, kvtrace::kTraceHexDump));
    ASSERT_TRUE(link->open());
    const std::string message = "GET / HTTP/1.0\r\nHost: x\r\n\r\n";  // 27 bytes: two dump lines
    ASSERT_EQ(net.send(link->client, message.data(), static_cast<int>(message.size()), 0), 27);
    char buffer[64];
    ASSERT_EQ(net.recv(link->server, buffer, sizeof buffer, 0), 27);
    std::string text = contents();
    size_t send = text.find("send(s=" + std::to_string(link->client) + ", len=27");
    ASSERT_NE(send, std::string::npos) << text;
    const std::string firstLine =
        "    0000  47 45 54 20 2f 20 48 54 54 50 2f 31 2e 30 0d 0a  GET / HTTP/1.0..\n";
    EXPECT_EQ(text.compare(text.find('\n', send) + 1, firstLine.size(), firstLine), 0) << text;
    EXPECT_NE(text.find("    0010  48 6f 73 74 3a 20 78 0d 0a 0d 0a", send), std::string::npos);
    // The receive is dumped as well, once.
    size_t recv = text.find("recv(s=" + std::to_string(link->server));
    ASSERT_NE(recv, std::string::npos);
    EXPECT_NE(text.find("    0000  47 45 54", recv), std::string::npos);
}

TEST_F(BindingTrace, FailedCallsCarryTheirErrorAndKeepItForTheCaller) {
    ASSERT_TRUE(link->listen());
    net.closesocket(link->listener);  // nothing listens on the port any more
    link->listener = INVALID_SOCKET;
    ASSERT_TRUE(net.enableTrace(log, kvtrace::kTraceError));
    link->client = net.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in refused = link->address(link->port);
    EXPECT_EQ(net.connect(link->client, LoopbackConnection::asAddress(&refused), sizeof refused),
              SOCKET_ERROR);
    EXPECT_EQ(net.getLastError(), WSAECONNREFUSED);
    EXPECT_TRUE(logged("connect(s=" + std::to_string(link->client) + ", addr=127.0.0.1:" +
                       std::to_string(link->port) + ", len=16) = -1 error 10061 WSAECONNREFUSED\n"))
        << contents();
    EXPECT_FALSE(logged("socket(")) << "errors only: the successful socket call is left out";
}

TEST_F(BindingTrace, AWaitOfManySlicesIsTracedOnce) {
    ASSERT_TRUE(link->listen());
    ASSERT_TRUE(net.enableTrace(log, kvtrace::kTraceInfo));
    FD_SET readable;
    timeval poll{0, 0};
    for (int slice = 0; slice < 3; ++slice) {
        FD_ZERO(&readable);
        FD_SET(link->listener, &readable);
        EXPECT_EQ(net.selectUntraced(0, &readable, nullptr, nullptr, &poll), 0);
    }
    EXPECT_FALSE(logged("select("));
    net.traceSelect(0, 0, &readable, nullptr, nullptr, &poll);
    EXPECT_TRUE(
        logged("] select(nfds=0, read={}, write=null, except=null, timeout=0.000000) = 0\n"))
        << contents();
}

TEST_F(BindingTrace, CallersLinesAndDumps) {
    ASSERT_TRUE(net.enableTrace(log, kvtrace::kTraceHexDump));
    net.traceWrite(kvtrace::kTraceError | kvtrace::kTraceHexDump, "connect to %s:%d", "host", 80);
    net.traceWrite(kvtrace::kTraceInfo, "%s", "");  // an empty line is still a line
    const char* empty = "";
    net.traceWrite(kvtrace::kTraceInfo, empty);  // an empty format is nothing
    net.traceDump(kvtrace::kTraceInfo, "AB", 2);
    std::string text = contents();
    EXPECT_NE(text.find("] error: connect to host:80\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    0000  41 42 "), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
}

TEST(BindingTraceMissing, TracingStaysOffAndEverythingElseWorks) {
    NetworkLibrary net("kvtrace-absent.DLL");
    TempDir dir;
    std::string log = dir.file("trace.log");
    EXPECT_FALSE(net.enableTrace(log, 0)) << "no network library loaded yet";
    WSADATA data;
    ASSERT_TRUE(net.start("", MAKEWORD(2, 2), &data, nullptr));
    EXPECT_FALSE(net.enableTrace(log, 0));
    EXPECT_EQ(net.traceUsers(), 0);
    EXPECT_FALSE(net.disableTrace());
    net.traceWrite(0, "nowhere");

    {
        LoopbackConnection link(net);
        ASSERT_TRUE(link.open());
        EXPECT_EQ(net.send(link.client, "ping", 4, 0), 4);
    }
    EXPECT_FALSE(readFile(log).has_value());
    net.stop();
}
