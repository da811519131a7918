// The control's names, addresses and ports in a script host: kvhost runs the registered control
// and puts and gets the host, local and peer members by name, with a host file of the test's
// own and a peer on 127.0.0.1.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/kvhost_fixture.h"
#include "winsock/ocx/socket/test_peer.h"

namespace {

const std::string kInvalidHostAddress = "error 0x800A2EE5: Invalid host address specified\n";

}  // namespace

TEST_F(KvhostProgram, HostNameAndHostAddressFollowAutoResolve) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script =
        "# a name without AutoResolve: stored, no address, and no failure\n"
        "HostName = \"localhost\"\n"
        "? HostName\n"
        "? HostAddress\n"
        "AutoResolve = True\n"
        "HostName = \"localhost\"\n"
        "? HostAddress\n"
        "HostName = \"no-such-host.invalid\"\n"
        "? HostAddress\n"
        "# a dotted address moves into HostAddress, normalised\n"
        "AutoResolve = False\n"
        "HostName = \"10.0.0.001\"\n"
        "? HostName\n"
        "? HostAddress\n"
        "# an empty address keeps the old one; a shorthand one is refused even without ThrowError\n"
        "HostAddress = \"\"\n"
        "? HostAddress\n"
        "HostAddress = \"1.2.3\"\n"
        "? LastError\n"
        "? HostAddress\n"
        "? HostAlias(-1)\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1) << "the refused address and alias fail their lines";
    EXPECT_EQ(run.out, "localhost\n\n127.0.0.1\n\n\n10.0.0.1\n10.0.0.1\n" + kInvalidHostAddress +
                           "12005\n10.0.0.1\nerror 0x80070057: Invalid argument\n")
        << run.err;
}

TEST_F(KvhostProgram, ResolveReportsWithoutOnError) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script =
        "Resolve \"no-such-host.invalid\", address\n"
        "? LastError\n"
        "Resolve \"localhost\", address\n"
        "? address\n"
        "ThrowError = True\n"
        "Resolve \"\", address\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1);
    const std::string invalid = "The specified hostname is invalid or could not be resolved";
    // No "event OnError" line anywhere: Resolve never raises it.
    EXPECT_EQ(run.out, "11001\n11001\n0\n127.0.0.1\nerror 0x800A2AF9: " + invalid + "\n");
}

TEST_F(KvhostProgram, AHostFileResolvesBothWaysForEveryControl) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string hosts = m_dir.file("hosts.test");
    std::ofstream(hosts) << "# the test's hosts\n10.1.2.3 alpha beta # c\n";
    std::string script = "HostFile = \"" + hosts +
                         "\"\n"
                         "? HostFile\n"
                         "Resolve \"BETA\", address\n"
                         "? address\n"
                         "AutoResolve = True\n"
                         "HostAddress = \"10.1.2.3\"\n"
                         "? HostName\n"
                         "HostName = \"beta\"\n"
                         "? HostAddress\n"
                         "HostFile = \"" +
                         m_dir.file("missing") +
                         "\"\n"
                         "? HostFile\n"
                         "Resolve \"beta\", address\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, hosts + "\n0\n10.1.2.3\nalpha\n10.1.2.3\n" +
                           "error 0x800A2712: The specified file or directory does not exist\n\n"
                           "11001\n");
}

TEST_F(KvhostProgram, PortsAndServicesOfBothSides) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script =
        "? RemotePort\n"
        "RemoteService = \"https\"\n"
        "? RemotePort\n"
        "? RemoteService\n"
        "RemotePort = 65535\n"
        "? RemoteService\n"
        "RemotePort = 0\n"
        "RemoteService = \"no-such-service\"\n"
        "RemoteService = \"70000\"\n"
        "RemoteService = \"\"\n"
        "LocalService = \"8080\"\n"
        "? LocalPort\n"
        "LocalAddress = \"1.2.3\"\n"
        "LocalAddress = \"192.168.1.2\"\n"
        "? LocalAddress\n"
        "? PortString\n"
        "? PeerAddress\n"
        "? PeerPort\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "0\n443\nhttps\n\n"
              "error 0x800A017C: Invalid property value\n"
              "error 0x800A2EE7: Invalid or unknown service name specified\n"
              "error 0x800A2EE6: Invalid service port number specified\n"
              "error 0x800A271E: Invalid argument passed to function\n"
              "8080\n" +
                  kInvalidHostAddress + "192.168.1.2\n\n\n0\n")
        << run.err;
}

TEST_F(KvhostProgram, TheConnectedSideAndItsPeer) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    LoopbackServer server([](PeerConnection& peer) { peer.hold(); });
    std::string script = "Connect \"127.0.0.1\", " + std::to_string(server.port()) +
                         "\n"
                         "? PeerAddress\n"
                         "? PeerPort\n"
                         "? PeerName\n"
                         "AutoResolve = True\n"
                         "? PeerName\n"
                         "LocalPort = 5000\n"
                         "RemotePort = 5000\n"
                         "? LocalAddress\n"
                         "? PortString\n"
                         "Disconnect\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1);
    const int port = server.port();
    std::string prefix = "0\n127.0.0.1\n" + std::to_string(port) + "\n\n";
    ASSERT_EQ(run.out.substr(0, prefix.size()), prefix) << run.out;
    std::string rest = run.out.substr(prefix.size());
    // The reverse name of 127.0.0.1 is the system's (localhost, or this machine's name).
    size_t nameEnd = rest.find('\n');
    EXPECT_GT(nameEnd, 0u) << rest;
    rest = rest.substr(nameEnd + 1);
    const std::string readOnly = "error 0x800A017F: Property is read-only\n";
    EXPECT_EQ(rest.rfind(readOnly + readOnly + "127.0.0.1\n127,0,0,1,", 0), 0u) << rest;
}

TEST_F(KvhostProgram, TheLocalMachine) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    std::string script =
        "? LocalName\n"
        "? AdapterCount\n"
        "? AdapterAddress(0)\n"
        "? AdapterAddress(64)\n"
        "? AdapterAddress(-1)\n"
        "? PhysicalAddress\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1);
    std::istringstream lines(run.out);
    std::string name, count, first, beyond, below, mac;
    std::getline(lines, name);
    std::getline(lines, count);
    std::getline(lines, first);
    std::getline(lines, beyond);
    std::getline(lines, below);
    std::getline(lines, mac);
    EXPECT_FALSE(name.empty());
    EXPECT_GE(std::stoi(count), 1);
    EXPECT_NE(first.find('.'), std::string::npos) << first;
    EXPECT_EQ(beyond, "error 0x80070057: Invalid argument");
    EXPECT_EQ(below, "error 0x80070057: Invalid argument");
    EXPECT_TRUE(mac.empty() || mac.size() == 17) << mac;
}
