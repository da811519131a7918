// The control's blocking stream members in a script host: kvhost creates the registered control
// and calls Connect, Write, Read and Disconnect by name, late bound, against peers that this
// test runs on 127.0.0.1.

#include <gtest/gtest.h>

#include <string>

#include "tests/kvhost_fixture.h"
#include "winsock/ocx/socket/test_peer.h"

namespace {

std::string connectLine(int port, const std::string& more = "") {
    return "Connect \"127.0.0.1\", " + std::to_string(port) + more + "\n";
}

}  // namespace

TEST_F(KvhostProgram, AScriptTalksToAPeerAndReadsItsReply) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string request;
    LoopbackServer server([&](PeerConnection& peer) {
        request = peer.receive(6);
        peer.send("pong \xE9\x01\r\n");
    });
    std::string script = "Timeout = 4\n" + connectLine(server.port()) +
                         "? Connected\n"
                         "Write \"ping\\r\\n\"\n"
                         "Read reply, 100\n"
                         "? reply\n"
                         "Read reply\n"
                         "? IsClosed\n"
                         "Disconnect\n"
                         "? Handle\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The reply's bytes come back one character each (printed as UTF-8).
    EXPECT_EQ(run.out, "0\nTrue\n6\n9\npong \xC3\xA9\x01\r\n\n0\nTrue\n0\n-1\n");
    ASSERT_TRUE(server.waitHandled(1));
    EXPECT_EQ(request, "ping\r\n");
}

TEST_F(KvhostProgram, ARefusedConnectRaisesOnErrorAndReturnsTheCode) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script = connectLine(refusedPort()) +
                         "? LastError\n"
                         "? LastErrorString\n"
                         "ThrowError = True\n" +
                         connectLine(refusedPort());
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1) << "the raised error fails its line";
    const std::string refused = "The connection has been refused by the remote host";
    EXPECT_EQ(run.out, "event OnError(10061, " + refused + ")\n10061\n10061\n" + refused +
                           "\nevent OnError(10061, " + refused + ")\nerror 0x800A274D: " + refused +
                           "\n");
}

TEST_F(KvhostProgram, AReadThatGetsNothingTimesOut) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    ProgramResult run = kvhost(connectLine(server.port(), ", , 1") + "Read reply, 10\n? reply\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0\nevent OnError(10060, The specified operation has timed out)\n-1\n\n");
}
