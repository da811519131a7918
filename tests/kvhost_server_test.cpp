// The control as a server in kvhost scripts: a blocking echo server, an event-driven server that
// hands its connections to further instances, a datagram echo, a TLS server, and Reject. The
// clients are separate programs (Python, openssl s_client, a second kvhost) that retry until
// the script listens.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/kvhost_fixture.h"
#include "tools/testsupport/test_ca.h"
#include "winsock/ocx/socket/test_peer.h"

namespace {

// A TCP client in Python: connects to 127.0.0.1:port (retrying for ten seconds while nothing
// listens), sends each argument after the port and prints what comes back for it; "reset" when
// the connection was reset.
const char* const kPythonClient = R"(
import socket, sys, time
port = int(sys.argv[1])
deadline = time.time() + 10
while True:
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=10)
        break
    except ConnectionRefusedError:
        if time.time() > deadline: raise
        time.sleep(0.05)
    except ConnectionResetError:
        # A reset can overtake the end of the connect itself.
        print("reset")
        sys.exit(0)
try:
    for message in sys.argv[2:]:
        s.sendall(message.encode())
        data = b""
        while len(data) < len(message):
            more = s.recv(100)
            if not more: break
            data += more
        print(data.decode())
    if len(sys.argv) == 2:
        print("got", s.recv(100))
except ConnectionResetError:
    print("reset")
)";

ProgramResult python(int port, std::vector<std::string> messages) {
    std::vector<std::string> argv = {"python3", "-c", kPythonClient, std::to_string(port)};
    argv.insert(argv.end(), messages.begin(), messages.end());
    return runProgram(argv);
}

std::string portText(int port) {
    return std::to_string(port);
}

}  // namespace

TEST_F(KvhostProgram, ABlockingEchoServerServesAPythonClient) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    int port = refusedPort();
    ProgramResult client;
    std::thread peer([&] { client = python(port, {"hello"}); });
    std::string script =
        "Timeout = 10\n"
        "Listen , " +
        portText(port) +
        "\n"
        "? Listening\n"
        "Accept\n"
        "? Listening\n"
        "? Connected\n"
        "Read message, 100\n"
        "Write message\n"
        "Disconnect\n"
        "? message\n";
    ProgramResult run = kvhost(script);
    peer.join();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "0\nTrue\n0\nFalse\nTrue\n5\n5\n0\nhello\n");
    EXPECT_EQ(client.out, "hello\n") << client.err;
}

TEST_F(KvhostProgram, AnEventDrivenServerHandsEachConnectionToAnotherInstance) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    int port = refusedPort();
    ProgramResult first, second;
    std::thread peers([&] {
        first = python(port, {"one"});
        second = python(port, {"two"});
    });
    std::string script =
        "Blocking = False\n"
        "create A\n"
        "create B\n"
        "A.Timeout = 10\n"
        "B.Timeout = 10\n"
        // Each connection goes to the instance the handler names at the time.
        "on OnAccept A.Accept arg1\n"
        "Listen , " +
        portText(port) +
        "\n"
        "waitfor OnAccept 10000\n"
        "A.Read m1, 100\n"
        "A.Write m1\n"
        "on OnAccept B.Accept arg1\n"
        "waitfor OnAccept 10000\n"
        "B.Read m2, 100\n"
        "B.Write m2\n"
        "? Listening\n"
        "? A.Connected\n"
        "? B.Connected\n";
    ProgramResult run = kvhost(script);
    peers.join();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.substr(2, 15), "event OnAccept(") << run.out;
    EXPECT_NE(run.out.find(")\n0\n3\n3\nevent OnAccept("), std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 23), ")\n0\n3\n3\nTrue\nTrue\nTrue\n") << run.out;
    EXPECT_EQ(first.out, "one\n") << first.err;
    EXPECT_EQ(second.out, "two\n") << second.err;
}

TEST_F(KvhostProgram, ADatagramEchoRunsBothWays) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    int portB = refusedPort();  // free a moment ago
    std::string script =
        "Timeout = 5\n"
        "create U\n"
        "U.Timeout = 1\n"
        "Bind \"127.0.0.1\", 0, 17\n"
        "U.Bind \"\", " +
        portText(portB) +
        ", 17\n"
        "? U.RemotePort\n"
        "Write \"ping\", , , \"127.0.0.1\", " +
        portText(portB) +
        "\n"
        "U.Read data, 100, , address, port\n"
        "? data\n"
        "? address\n"
        "U.Write \"pong!\", , , address, port\n"
        "Read back, 100, , from, fromPort\n"
        "? back\n"
        "? fromPort\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "0\n0\n" + portText(portB) + "\n4\n4\nping\n127.0.0.1\n5\n5\npong!\n" +
                           portText(portB) + "\n")
        << run.out;
}

TEST_F(KvhostProgram, ATlsServerServesOpensslAndTheControlsOwnClient) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    TestCa ca;
    ASSERT_TRUE(ca.create()) << ca.error();
    const std::string store = m_dir.file("server.pem");
    ASSERT_TRUE(writeFile(store, readFile(ca.server().certFile).value_or("") +
                                     readFile(ca.server().keyFile).value_or("")));
    int port = refusedPort(), second = refusedPort();
    while (second == port)
        second = refusedPort();
    std::string server = "CertificateStore = \"" + store +
                         "\"\n"
                         "Secure = True\n"
                         "Timeout = 10\n"
                         "Listen , " +
                         portText(port) +
                         "\n"
                         "Accept\n"
                         "Read m, 100\n"
                         "Write m\n"
                         "Disconnect\n"
                         "Listen , " +
                         portText(second) +
                         "\n"
                         "Accept\n"
                         "? CertificateStatus\n"
                         "Read m, 100\n"
                         "Write \"secure \"\n"
                         "Write m\n"
                         "Read nothing, 100\n"
                         "? SecureProtocol\n";
    std::string shell =
        "for i in $(seq 200); do printf hello | openssl s_client -connect "
        "127.0.0.1:" +
        portText(port) + " -quiet -CAfile " + ca.caCertFile() +
        " -verify_return_error 2>/dev/null && exit 0; sleep 0.05; done; exit 1";
    ProgramResult openssl, own;
    std::thread peers([&] {
        openssl = runProgram({"sh", "-c", shell});
        std::string client =
            "Secure = True\n"
            "Connect \"127.0.0.1\", " +
            portText(second) +
            ", , 10\n"
            "? CertificateStatus\n"
            "Write \"world\"\n"
            "Read r, 100\n"
            "? r\n"
            "Read more, 100\n"
            "? more\n"
            "Disconnect\n";
        // Until the server listens again, the connect is refused.
        for (int tries = 0; tries < 100; ++tries) {
            own = runProgram({KVHOST_PROGRAM}, {{"SSL_CERT_FILE", ca.caCertFile()}}, client);
            if (own.out.find("OnError(10061,") == std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    ProgramResult run = kvhost(server);
    peers.join();
    EXPECT_EQ(openssl.out, "hello") << openssl.err << run.out << run.err;
    EXPECT_EQ(own.out.substr(0, 4), "0\n1\n") << own.out << own.err;
    EXPECT_NE(own.out.find("secure "), std::string::npos) << own.out;
    EXPECT_NE(own.out.find("world"), std::string::npos) << own.out;
    EXPECT_NE(run.out.find("5\n5\n0\n0\n"), std::string::npos) << run.out << run.err;
}

TEST_F(KvhostProgram, ARejectedClientSeesAReset) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    int port = refusedPort();
    ProgramResult client;
    std::thread peer([&] { client = python(port, {}); });
    std::string script =
        "Blocking = False\n"
        "Reject\n"
        "Listen , " +
        portText(port) +
        "\n"
        "Reject\n"
        "waitfor OnAccept 10000\n"
        "Reject\n"
        "wait 200\n";
    ProgramResult run = kvhost(script);
    peer.join();
    const std::string wouldBlock = "The specified operation would block the current thread";
    EXPECT_EQ(run.out.substr(0, run.out.find("event OnAccept(")),
              "event OnError(10057, No connection established with remote host)\n10057\n0\n"
              "event OnError(10035, " +
                  wouldBlock + ")\n10035\n")
        << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 4), ")\n0\n") << run.out;
    EXPECT_EQ(client.out, "reset\n") << client.err;
}
