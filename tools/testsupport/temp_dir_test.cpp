#include "tools/testsupport/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tools/testsupport/scoped_env.h"

namespace fs = std::filesystem;

TEST(TempDir, RemovesEverythingIncludingReadOnlyFolders) {
    std::string path;
    {
        TempDir dir;
        ASSERT_TRUE(dir.ok());
        path = dir.path();
        std::string locked = dir.makeDir("a/b/locked");
        ASSERT_FALSE(locked.empty());
        ASSERT_TRUE(writeFile(locked + "/file.txt", "x"));
        ASSERT_EQ(symlink("/etc", dir.file("a/link").c_str()), 0);
        ASSERT_EQ(chmod(locked.c_str(), 0500), 0);
        ASSERT_EQ(chmod(dir.file("a/b").c_str(), 0500), 0);
    }
    EXPECT_FALSE(fs::exists(path));
    // The link was removed, not followed.
    EXPECT_TRUE(fs::exists("/etc"));
}

TEST(TempDir, FilesRoundTripAndMissingOnesReadAsNothing) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::string content("bin\0ary\r\n\xff", 10);
    ASSERT_TRUE(writeFile(dir.file("x"), content));
    EXPECT_EQ(readFile(dir.file("x")), content);
    ASSERT_TRUE(writeFile(dir.file("x"), "short"));
    EXPECT_EQ(readFile(dir.file("x")), "short");
    EXPECT_FALSE(readFile(dir.file("missing")).has_value());
    EXPECT_FALSE(writeFile(dir.file("no/such/folder/x"), "y"));
}

TEST(ScopedEnv, RestoresSetAndUnsetVariables) {
    setenv("VANTEL_SCOPED_A", "old", 1);
    unsetenv("VANTEL_SCOPED_B");
    {
        ScopedEnv env;
        env.set("VANTEL_SCOPED_A", "new");
        env.set("VANTEL_SCOPED_A", "newer");
        env.set("VANTEL_SCOPED_B", "b");
        EXPECT_STREQ(std::getenv("VANTEL_SCOPED_A"), "newer");
        EXPECT_STREQ(std::getenv("VANTEL_SCOPED_B"), "b");
        env.unset("VANTEL_SCOPED_B");
        EXPECT_EQ(std::getenv("VANTEL_SCOPED_B"), nullptr);
    }
    EXPECT_STREQ(std::getenv("VANTEL_SCOPED_A"), "old");
    EXPECT_EQ(std::getenv("VANTEL_SCOPED_B"), nullptr);
    unsetenv("VANTEL_SCOPED_A");
}

TEST(ScopedEnv, IsolatedUserEnvPointsEveryUserFolderBelowRoot) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    EnvChanges changes = isolatedUserEnv(dir.path());
    ASSERT_FALSE(changes.empty());
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "VANTEL_REGISTRY_DIR"}) {
        ASSERT_TRUE(changes.count(name) && changes[name]) << name;
        EXPECT_EQ(changes[name]->rfind(dir.path() + "/", 0), 0u) << name;
        EXPECT_TRUE(fs::is_directory(*changes[name])) << name;
    }
    ASSERT_TRUE(changes.count("APPDATA"));
    EXPECT_FALSE(changes["APPDATA"].has_value());
    struct stat st {};
    ASSERT_EQ(stat(changes["XDG_RUNTIME_DIR"]->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    setenv("APPDATA", "/somewhere", 1);
    {
        ScopedEnv env(changes);
        EXPECT_EQ(std::getenv("APPDATA"), nullptr);
        EXPECT_EQ(std::string(std::getenv("HOME")), dir.path() + "/home");
    }
    EXPECT_STREQ(std::getenv("APPDATA"), "/somewhere");
    unsetenv("APPDATA");
}
