// Runs the regsvr program on the COM runtime's test server, in a temporary registry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/activation.h"
#include "platform/registry/test_folder.h"
#include "tools/testsupport/run_program.h"

namespace {

const char* const kClassKey = "CLSID\\{A1B2C3D4-0001-4E5F-8A9B-0C1D2E3F4A5B}";

// Runs regsvr with the arguments in this process's environment (which names the test's
// registry folder), plus the given changes.
ProgramResult regsvr(std::vector<std::string> args, const EnvChanges& env = {}) {
    args.insert(args.begin(), REGSVR_PROGRAM);
    return runProgram(args, env);
}

bool classRegistered() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

using Regsvr = RegistryFolderTest;

}  // namespace

TEST_F(Regsvr, RegistersAndUnregisters) {
    ProgramResult run = regsvr({COM_TEST_SERVER});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("DllRegisterServer"), std::string::npos);
    EXPECT_NE(run.out.find("succeeded"), std::string::npos);
    EXPECT_TRUE(classRegistered());
    CLSID clsid;
    EXPECT_EQ(clsidFromProgId("Vantel.TestCalc", &clsid), S_OK);

    run = regsvr({"-u", "-s", COM_TEST_SERVER});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(classRegistered());
    EXPECT_EQ(clsidFromProgId("Vantel.TestCalc", &clsid), CO_E_CLASSSTRING);
}

TEST_F(Regsvr, ReportsEachKindOfFailure) {
    std::string missing = m_folder + "/missing.so";
    ProgramResult run = regsvr({missing});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("cannot load " + missing), std::string::npos) << run.err;

    // A shared library that is no server: the COM runtime itself.
    std::string runtime = modulePathOf(reinterpret_cast<const void*>(&CoCreateInstance));
    run = regsvr({"-u", runtime});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("no DllUnregisterServer entry point"), std::string::npos) << run.err;

    run = regsvr({COM_TEST_SERVER}, {{"VANTEL_TEST_SERVER_FAIL", "1"}});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("failed with 0x80040201"), std::string::npos) << run.err;
    EXPECT_FALSE(classRegistered());

    EXPECT_EQ(regsvr({}).exitCode, 1);
    EXPECT_EQ(regsvr({"-x", COM_TEST_SERVER}).exitCode, 1);
    run = regsvr({COM_TEST_SERVER, COM_TEST_SERVER});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("usage: regsvr"), std::string::npos);
}
