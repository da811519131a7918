// The control as a whole program sees it: regsvr registers libkvlink6.so into a registry of the
// test's own, kvhost (another process) creates the control through it and runs scripts, and
// unregistration takes every key away again.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "tests/kvhost_fixture.h"

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
