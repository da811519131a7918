// The control as a whole program sees it: regsvr registers libkvlink6.so into a registry of the
// test's own, kvhost (another process) creates the control through it and runs scripts, and
// unregistration takes every key away again.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/typeinfo.h"
#include "platform/registry/registry.h"
#include "tests/kvhost_fixture.h"
#include "winsock/ocx/interface/iwirran.h"

namespace {

const char* const kClsid = "{E05F5BC3-43FB-48CE-9266-025DCDACB529}";

bool keyExists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

}  // namespace

TEST_F(KvhostProgram, CreatesTheRegisteredControlByProgIdAndByClsid) {
    ProgramResult run = regsvr({KVLINK6_MODULE});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (std::vector<std::string> args :
         {std::vector<std::string>{}, {"--progid", "Kestrine.Wirran.6"}, {"--progid", kClsid}}) {
        run = kvhost("? Version\nTimeout = 4\n? Timeout\n? Handle\n", args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "6.0.6000.0\n4\n-1\n") << (args.empty() ? "" : args[1]);
    }
}

TEST_F(KvhostProgram, PrintsEventsAndFailuresInOrder) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    const std::string script =
        "# a failing method, first quietly, then raising\n"
        "Read buffer, 2048\n"
        "? LastError\n"
        "ThrowError = True\n"
        "Abort\n"
        "Initialize , \"no-such-network.dll\"\n"
        "LastError = &H8004274C\n"
        "? LastErrorString\n"
        "? Bad(\n";
    ProgramResult run = kvhost(script);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "event OnError(10057, No connection established with remote host)\n"
              "-1\n"
              "10057\n"
              "event OnError(10057, No connection established with remote host)\n"
              "error 0x800A2749: No connection established with remote host\n"
              "error 0x800A276B: The networking subsystem is not available on this system\n"
              "The specified operation has timed out\n"
              "error: line 9: column 7: \")\" is expected\n");

    run = kvhost("? Version\n", {"--design-mode"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.rfind("error 0x800A018A: ", 0), 0u) << run.out;

    // The script may also come from a file.
    std::string file = m_dir.file("script.txt");
    ASSERT_TRUE(writeFile(file, "About\n? Enabled\n"));
    run = kvhost("", {file});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "True\n");
    EXPECT_NE(run.err.find("About Wirran\nWirran Windows Sockets Control\n"), std::string::npos);
}

TEST_F(KvhostProgram, UnregistrationRemovesTheClassBothProgIdsAndTheTypeLibrary) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    const std::string keys[] = {std::string("CLSID\\") + kClsid, "Kestrine.Wirran",
                                "Kestrine.Wirran.6",
                                "TypeLib\\{6A967C3A-24E5-47BD-9298-705322683301}"};
    for (const std::string& key : keys)
        EXPECT_TRUE(keyExists(key)) << key;

    ProgramResult run = regsvr({"-u", KVLINK6_MODULE});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const std::string& key : keys)
        EXPECT_FALSE(keyExists(key)) << key;

    run = kvhost("? Version\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("cannot create Kestrine.Wirran: error 0x800401F3"), std::string::npos)
        << run.err;
}

TEST_F(KvhostProgram, HelpAndUsage) {
    ProgramResult run = kvhost("", {"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Name = value"), std::string::npos);
    EXPECT_NE(run.out.find("Example:"), std::string::npos);
    EXPECT_EQ(kvhost("", {"--bogus"}).exitCode, 2);
    EXPECT_EQ(kvhost("", {"a.txt", "b.txt"}).exitCode, 2);
}

TEST_F(KvhostProgram, ListsTheMembersAndTakesConstantsByName) {
    ASSERT_EQ(regsvr({KVLINK6_MODULE}).exitCode, 0);
    ProgramResult run = kvhost("", {"--members"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    size_t lines = 0;
    for (char c : run.out)
        lines += c == '\n';
    EXPECT_EQ(lines, 134u + 10u);  // every member slot, then every event
    EXPECT_EQ(run.out.rfind("About()  [method -552]  Shows the about box\n", 0), 0u) << run.out;
    for (const char* line :
         {"\nTimeout(value As Long)  [put 62]  Seconds a blocking call waits\n",
          "\nHostAlias(Index As Variant) As String  [get 22]",
          "\nConnect([RemoteAddress As Variant], [RemotePort As Variant], [Protocol As Variant], "
          "[Timeout As Variant], [Options As Variant], [LocalAddress As Variant], "
          "[LocalPort As Variant]) As Variant  [method 75]",
          "\nResolve(HostName As Variant, out HostAddress As Variant, [Reserved As Variant]) As "
          "Variant  [method 88]",
          "\nevent OnError(ErrorCode As Variant, Description As Variant)  [method 5]"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line;

    // Constants of the type library stand for their values; other bare names stay variables.
    run = kvhost(
        "Protocol = wrProtocolUdp\n? Protocol\n? WRSHUTDOWNBOTH\n? wrAddressLoopback\n"
        "Shutdown wrShutdownBoth\nRead wrNoSuchConstant, 16\n? wrNoSuchConstant\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "17\n2\n127.0.0.1\n"
              "event OnError(10038, Invalid handle passed to function)\n10038\n"
              "event OnError(10038, Invalid handle passed to function)\n-1\n\n");

    // The registration names the module that holds the type library, and loading it gives the
    // same library.
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(LIBID_WirranCtl, 1, 0, 0, lib.put()), S_OK);
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID__IWirranEvents, events.put()), S_OK);
    Variant constant;
    ASSERT_EQ(findTypeLibConstant(lib.get(), "wrStatusConnect", &constant), S_OK);
    EXPECT_EQ(constant.lVal, 3);
    EXPECT_EQ(LoadRegTypeLib(LIBID_WirranCtl, 2, 0, 0, lib.put()), TYPE_E_LIBNOTREGISTERED);

    // Without a registered class there is nothing to list.
    ASSERT_EQ(regsvr({"-u", KVLINK6_MODULE}).exitCode, 0);
    EXPECT_EQ(kvhost("", {"--members"}).exitCode, 1);
}
