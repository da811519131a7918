// The host table: the compaction of a hosts file, loading by path and along PATH, and the
// lookups that read it.

#include "winsock/ocx/socket/host_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"
#include "winsock/ocx/socket/resolver.h"
#include "winsock/ocx/socket/socket_test_support.h"

namespace {

using namespace kvlink;
using socket_test::lastCode;

std::string write(const TempDir& dir, const std::string& name, const std::string& text) {
    std::string path = dir.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

uint32_t addressOf(const std::string& dotted) {
    uint32_t address = 0;
    EXPECT_TRUE(parseDottedAddress(dotted, &address)) << dotted;
    return address;
}

class HostTable : public ::testing::Test {
  protected:
    void TearDown() override { loadHostTable(""); }
    TempDir m_dir;
};

}  // namespace

TEST(HostTableText, CompactsLinesAsTheTableKeepsThem) {
    using namespace std::string_literals;
    EXPECT_EQ(compactHostText(""), "\0"s);
    EXPECT_EQ(compactHostText("\n\r\n  \t\n# only a comment\n"), "\0"s);
    EXPECT_EQ(compactHostText("10.1.2.3\talpha   beta # c\r\n"), "10.1.2.3 alpha beta\0\0"s);
    // Control characters are blanks; a trailing blank goes; the last line needs no LF.
    EXPECT_EQ(compactHostText("  1.2.3.4\x01x\x7fy \n5.6.7.8 z"),
              " 1.2.3.4 x\x7fy\0"
              "5.6.7.8 z\0\0"s);
    EXPECT_EQ(compactHostText("a#b\nc # d\n#\ne"), "a\0c\0e\0\0"s);
}

TEST_F(HostTable, AHashCommentedLineResolvesBothWays) {
    std::string path = write(m_dir, "hosts.test",
                             "# test hosts\n"
                             "0.0.0.0 nowhere\n"
                             "bogus notanaddress\n"
                             "10.1.2.3 alpha beta # c\n"
                             "10.1.2.4 gamma beta\n"
                             "10.1.2.3 delta\n");
    ASSERT_EQ(loadHostTable(path), 5);
    EXPECT_EQ(hostTablePath(), path);
    uint32_t address = 0;
    ASSERT_TRUE(hostTableAddress("BETA", &address));
    EXPECT_EQ(formatDottedAddress(address), "10.1.2.3");
    ASSERT_TRUE(resolveHostAddress("Gamma", &address));
    EXPECT_EQ(formatDottedAddress(address), "10.1.2.4");
    EXPECT_FALSE(hostTableAddress("nowhere", &address)) << "address 0 is skipped";
    EXPECT_FALSE(hostTableAddress("notanaddress", &address));
    EXPECT_FALSE(hostTableAddress("c", &address)) << "the comment is gone";

    std::string name;
    ASSERT_TRUE(reverseLookup(addressOf("10.1.2.3"), &name));
    EXPECT_EQ(name, "alpha");
    ASSERT_TRUE(hostTableName(addressOf("10.1.2.4"), &name));
    EXPECT_EQ(name, "gamma");

    // An empty name unloads the table.
    EXPECT_EQ(loadHostTable(""), 0);
    EXPECT_EQ(hostTablePath(), "");
    EXPECT_FALSE(hostTableAddress("beta", &address));
}

TEST_F(HostTable, ABareNameIsFoundAlongPath) {
    std::filesystem::create_directory(m_dir.path() + "/etc");
    std::string path = write(m_dir, "etc/hosts.path", "10.9.8.7 pathhost\n");
    ScopedEnv env;
    env.set("PATH", "/nonexistent:" + m_dir.path() + "/etc");
    ASSERT_EQ(loadHostTable("hosts.path"), 1);
    EXPECT_EQ(hostTablePath(), path);
}

TEST_F(HostTable, FailuresUnloadTheTableAndSayWhy) {
    ASSERT_EQ(loadHostTable(write(m_dir, "good", "10.0.0.9 good\n")), 1);
    EXPECT_EQ(loadHostTable(m_dir.path() + "/missing"), -1);
    EXPECT_EQ(socket_test::lastCode(), 10002u);
    EXPECT_EQ(hostTablePath(), "");
    uint32_t address;
    EXPECT_FALSE(hostTableAddress("good", &address));

    // A folder is not a file.
    EXPECT_EQ(loadHostTable(m_dir.path()), -1);
    EXPECT_EQ(lastCode(), 10002u);
    // A file with nothing in it loads no table, and that is no failure.
    EXPECT_EQ(loadHostTable(write(m_dir, "empty", "  # nothing\n\n")), 0);
    EXPECT_EQ(hostTablePath(), "");
    // An unreadable file (unless the tests run as root, who reads everything).
    std::string locked = write(m_dir, "locked", "10.0.0.1 locked\n");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (std::ifstream(locked).good()) GTEST_SKIP() << "running as root: every file is readable";
    EXPECT_EQ(loadHostTable(locked), -1);
    EXPECT_EQ(lastCode(), 10013u);
}
