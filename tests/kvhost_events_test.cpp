// The control in event-driven mode as a script host drives it: kvhost runs the message loop in
// wait and waitfor, runs "on" handlers inside the events, and makes further instances, against
// peers that this test runs on 127.0.0.1.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/kvhost_fixture.h"
#include "winsock/ocx/socket/test_peer.h"

namespace {

const std::string kRefused = "The connection has been refused by the remote host";

std::string connectLine(int port) {
    return "Connect \"127.0.0.1\", " + std::to_string(port) + "\n";
}

// Whether the pieces appear in text in this order, each after the end of the one before.
::testing::AssertionResult inOrder(const std::string& text,
                                   const std::vector<std::string>& pieces) {
    size_t at = 0;
    for (const std::string& piece : pieces) {
        size_t found = text.find(piece, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure()
                   << "\"" << piece << "\" missing after offset " << at << " in:\n"
                   << text;
        at = found + piece.size();
    }
    return ::testing::AssertionSuccess();
}

int count(const std::string& text, const std::string& piece) {
    int n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST_F(KvhostProgram, AnEventDrivenEchoClient) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    LoopbackServer server([](PeerConnection& peer) {
        peer.send(peer.receive(5));
        peer.hold(3000);
    });
    std::string script =
        "Blocking = False\n"
        "on OnConnect Write \"hello\"\n"
        "on OnRead Read reply, 100\n" +
        connectLine(server.port()) +
        "waitfor OnConnect 5000\n"
        "waitfor OnRead 5000\n"
        "? reply\n"
        "? State\n"
        "Disconnect\n"
        "? State\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(inOrder(
        run.out, {"0\n", "event OnConnect()\n5\n", "event OnRead()\n5\n", "hello\n1\n0\n0\n"}));
    EXPECT_EQ(count(run.out, "event OnConnect()"), 1);
}

TEST_F(KvhostProgram, ARefusedAsynchronousConnectHasNoSocketInItsOnError) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script =
        "Blocking = False\n"
        "on OnError ? Handle\n" +
        connectLine(refusedPort()) +
        "waitfor OnError 5000\n"
        "? arg1\n"
        "? LastError\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "0\nevent OnError(10061, " + kRefused + ")\n-1\n10061\n10061\n");
}

TEST_F(KvhostProgram, AnOnReadHandlerHearsNoOnReadWhileItRunsAndAgainAfterAPartialRead) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    LoopbackServer server([](PeerConnection& peer) {
        peer.send("0123456789");
        peer.hold(3000);
    });
    // The first handler pumps messages and waits for another OnRead: it never comes while it
    // runs. The second reads 4 bytes each time, and each partial read brings another OnRead.
    std::string script =
        "Blocking = False\n"
        "on OnRead waitfor OnRead 300\n" +
        connectLine(server.port()) +
        "waitfor OnRead 5000\n"
        "on OnRead Read part, 4\n"
        "Read part, 4\n"
        "wait 300\n"
        "? part\n"
        "on OnRead\n"
        "wait 100\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1) << "the handler's waitfor timed out";
    EXPECT_TRUE(inOrder(run.out, {"event OnRead()\ntimeout waiting for OnRead\n", "4\n",
                                  "event OnRead()\n4\n", "event OnRead()\n2\n", "89\n"}))
        << run.out;
    EXPECT_EQ(count(run.out, "event OnRead()"), 3) << run.out;
    EXPECT_EQ(count(run.out, "timeout"), 1) << run.out;
}

TEST_F(KvhostProgram, TheIntervalTimerNeverRunsInsideItsOwnHandler) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script =
        "Interval = 70000\n"
        "? Interval\n"
        "on OnTimer waitfor OnTimer 300\n"
        "Interval = 20\n"
        "waitfor OnTimer 3000\n"
        "on OnTimer\n"
        "Interval = 0\n"
        "? Interval\n"
        "wait 200\n"
        "? Interval\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1) << "the handler's waitfor timed out";
    EXPECT_TRUE(inOrder(run.out, {"error 0x800A017C: ", "\n0\n", "event OnTimer()\n",
                                  "timeout waiting for OnTimer\n"}))
        << run.out;
    // Every OnTimer line is followed by its handler's time-out: none came inside another.
    EXPECT_EQ(count(run.out, "event OnTimer()"), count(run.out, "timeout waiting for OnTimer"));
    EXPECT_TRUE(run.out.size() > 5 && run.out.substr(run.out.size() - 5) == "\n0\n0\n")
        << "no tick after Interval = 0:\n"
        << run.out;
}

TEST_F(KvhostProgram, FurtherInstancesAreAddressedByNameAndNameTheirEvents) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script =
        "create b\n"
        "b.Timeout = 7\n"
        "? b.Timeout\n"
        "? Timeout\n"
        "on b.OnError ? arg1\n"
        "b.Read x, 5\n"
        "create b\n"
        "? c.Timeout\n"
        "waitfor OnTimer 10\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "7\n0\n"
              "event b.OnError(10057, No connection established with remote host)\n10057\n-1\n"
              "error: line 7: b exists already\n"
              "error 0x80020006: no control named c\n"
              "timeout waiting for OnTimer\n");
}
