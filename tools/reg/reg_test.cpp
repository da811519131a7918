// The reg command against a registry store in a temporary folder: each type written and read
// back, keys and values deleted, bad command lines refused with a clear message.

#include "tools/reg/reg_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/test_folder.h"
#include "tools/testsupport/run_program.h"

namespace {

struct RegRun {
    int status;
    std::string out;
    std::string err;
};

RegRun reg(const std::vector<std::string>& args, bool answerYes = false) {
    RegIo io;
    if (answerYes) io.confirm = [](const std::string&) { return true; };
    int status = runReg(args, io);
    return {status, io.out, io.err};
}

using Reg = RegistryFolderTest;

const std::string kKey = "HKCU\\Software\\Oxbrook\\Kestrine";

}  // namespace

TEST_F(Reg, EachTypeRoundTrips) {
    EXPECT_EQ(reg({"add", kKey, "/v", "Name", "/d", "alpha beta"}).status, 0);
    EXPECT_EQ(reg({"add", kKey, "/v", "Count", "/t", "REG_DWORD", "/d", "0x2A"}).status, 0);
    EXPECT_EQ(reg({"add", kKey, "/v", "Big", "/t", "reg_dword", "/d", "4294967295"}).status, 0);
    EXPECT_EQ(reg({"add", kKey, "/v", "Blob", "/t", "REG_BINARY", "/d", "00ff10Ab"}).status, 0);
    EXPECT_EQ(reg({"add", kKey, "/ve", "/d", "default text"}).status, 0);

    RegRun all = reg({"query", "hkey_current_user\\Software\\Oxbrook\\Kestrine"});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out,
              "\nHKEY_CURRENT_USER\\Software\\Oxbrook\\Kestrine\n"
              "    Name    REG_SZ    alpha beta\n"
              "    Count    REG_DWORD    0x2a\n"
              "    Big    REG_DWORD    0xffffffff\n"
              "    Blob    REG_BINARY    00FF10AB\n"
              "    (Default)    REG_SZ    default text\n");

    RegRun one = reg({"query", kKey, "/v", "count"});
    EXPECT_EQ(one.out,
              "\nHKEY_CURRENT_USER\\Software\\Oxbrook\\Kestrine\n"
              "    Count    REG_DWORD    0x2a\n");

    // The value the programs read is the one the tool wrote.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Oxbrook\\Kestrine", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExA(key, "Count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 42u);
    RegCloseKey(key);
}

TEST_F(Reg, OverwritingAsksUnlessForced) {
    ASSERT_EQ(reg({"add", kKey, "/v", "Name", "/d", "one"}).status, 0);
    RegRun refused = reg({"add", kKey, "/v", "Name", "/d", "two"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("use /f"), std::string::npos) << refused.err;
    EXPECT_EQ(reg({"add", kKey, "/v", "Name", "/d", "two"}, true).status, 0);
    EXPECT_EQ(reg({"add", kKey, "/v", "Name", "/d", "three", "/f"}).status, 0);
    EXPECT_NE(reg({"query", kKey, "/v", "Name"}).out.find("REG_SZ    three"), std::string::npos);
}

TEST_F(Reg, DeletesValuesAndKeys) {
    ASSERT_EQ(reg({"add", kKey + "\\Settings", "/v", "A", "/d", "1"}).status, 0);
    ASSERT_EQ(reg({"add", kKey + "\\Settings", "/v", "B", "/d", "2"}).status, 0);
    ASSERT_EQ(reg({"add", kKey + "\\Settings", "/ve", "/d", "3"}).status, 0);
    ASSERT_EQ(reg({"add", kKey + "\\Settings\\Deeper", "/v", "C", "/d", "4"}).status, 0);

    // The listing of the parent names the subkey; /s walks into it.
    EXPECT_NE(reg({"query", kKey})
                  .out.find("\nHKEY_CURRENT_USER\\Software\\Oxbrook\\Kestrine\\"
                            "Settings\n"),
              std::string::npos);
    RegRun deep = reg({"query", kKey, "/s"});
    EXPECT_NE(deep.out.find("    C    REG_SZ    4\n"), std::string::npos) << deep.out;
    EXPECT_NE(deep.out.find("End of search: 4 match(es) found."), std::string::npos);

    EXPECT_EQ(reg({"delete", kKey + "\\Settings", "/v", "A"}).status, 1) << "asks; no answer";
    EXPECT_EQ(reg({"delete", kKey + "\\Settings", "/v", "A", "/f"}).status, 0);
    EXPECT_EQ(reg({"query", kKey + "\\Settings", "/v", "A"}).status, 1);
    EXPECT_EQ(reg({"delete", kKey + "\\Settings", "/ve", "/f"}).status, 0);
    EXPECT_EQ(reg({"query", kKey + "\\Settings", "/ve"}).status, 1);
    EXPECT_EQ(reg({"delete", kKey + "\\Settings", "/va", "/f"}).status, 0);
    EXPECT_EQ(reg({"query", kKey + "\\Settings", "/v", "B"}).status, 1);
    EXPECT_EQ(reg({"query", kKey + "\\Settings\\Deeper", "/v", "C"}).status, 0)
        << "/va keeps subkeys";

    // A whole key goes with everything below it.
    EXPECT_EQ(reg({"delete", kKey + "\\Settings"}, true).status, 0);
    RegRun gone = reg({"query", kKey + "\\Settings\\Deeper"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err,
              "ERROR: The system was unable to find the specified registry key or value.\n");
    EXPECT_EQ(reg({"delete", kKey + "\\Settings", "/f"}).status, 1);
}

TEST_F(Reg, RefusesBadInputClearly) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{}, "no operation"},
        {{"copy", kKey}, "unknown operation \"copy\""},
        {{"query"}, "no key given"},
        {{"query", "HKXX\\Software"}, "must start with HKCU, HKLM or HKCR"},
        {{"query", kKey, "/d", "x"}, "/d is not a switch of reg query"},
        {{"add", kKey, "/v"}, "/v needs a value"},
        {{"add", kKey, "/v", "a", "/ve"}, "only one of /v and /ve"},
        {{"add", kKey, "/v", "a", "/t", "REG_MULTI_SZ"}, "Invalid type \"REG_MULTI_SZ\""},
        {{"add", kKey, "/v", "a", "/t", "REG_DWORD", "/d", "4294967296"}, "Invalid REG_DWORD"},
        {{"add", kKey, "/v", "a", "/t", "REG_DWORD", "/d", "-1"}, "Invalid REG_DWORD"},
        {{"add", kKey, "/v", "a", "/t", "REG_DWORD", "/d", "12abc"}, "Invalid REG_DWORD"},
        {{"add", kKey, "/v", "a", "/t", "REG_BINARY", "/d", "abc"}, "Invalid REG_BINARY"},
        {{"add", kKey, "/v", "a", "/t", "REG_BINARY", "/d", "zz"}, "Invalid REG_BINARY"},
        {{"delete", kKey, "/va", "/v", "a"}, "/va cannot go with"},
        {{"delete", "HKCU", "/f"}, "A root key cannot be deleted"},
        {{"add", "HKLM\\Software\\Mine", "/v", "a", "/d", "1"}, "Access is denied"},
        {{"add", kKey, "stray"}, "unexpected argument \"stray\""},
    };
    for (const Case& c : cases) {
        RegRun run = reg(c.args);
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_EQ(run.err.rfind("ERROR: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // Nothing was written by any of them.
    EXPECT_EQ(reg({"query", kKey}).status, 1);
}

TEST_F(Reg, TheProgramUsesTheRelocatedStoreAndItsExitStatus) {
    ProgramResult added =
        runProgram({REG_PROGRAM, "add", "HKCR\\.mkv", "/v", "PerceivedType", "/d", "video"});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "The operation completed successfully.\n");
    // Class registrations live under the user's Software\Classes.
    ProgramResult read =
        runProgram({REG_PROGRAM, "query", "HKCU\\Software\\Classes\\.mkv", "/v", "PerceivedType"});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_NE(read.out.find("PerceivedType    REG_SZ    video"), std::string::npos);
    // No terminal: the deletion question is answered no, so the key stays.
    ProgramResult asked = runProgram({REG_PROGRAM, "delete", "HKCR\\.mkv"});
    EXPECT_EQ(asked.exitCode, 1);
    EXPECT_NE(asked.err.find("ERROR: The key was not deleted."), std::string::npos);
    ProgramResult machine = runProgram({REG_PROGRAM, "query",
                                        "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\"
                                        "Parameters",
                                        "/v", "Hostname"});
    EXPECT_EQ(machine.exitCode, 0) << machine.err;
}
