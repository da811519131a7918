#include "renamer/engine/startup.h"

#include "renamer/common/reg.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vantel {

namespace {

class StartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv(kRegistryDirVariable, tree.path("registry").c_str(), 1);
        ::setenv("APPDATA", tree.path("appdata").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(kRegistryDirVariable);
        ::unsetenv("APPDATA");
    }
    std::string workdir() const { return tree.path("appdata/Vantel/"); }

    TestTree tree;
};

TEST_F(StartUp, BringsTheCoreUpWithItsWorkFolderAndSettings) {
    modReg::SaveSettingString("", "4.0");
    modReg::SaveSettingInt("logging", 2);
    modReg::SaveSettingString("types", "ogm");
    Core core;
    core.add_to_queue(tree.file("left.mkv"), false);
    startCore(core);
    EXPECT_EQ(core.settings().workdir, workdir());
    EXPECT_EQ(core.settings().logging, 2);
    EXPECT_EQ(core.settings().types, "ogm");
    EXPECT_EQ(core.queueCount(), 0);
    EXPECT_EQ(startedLine().rfind("Vantel 4.0 (build ", 0), 0u);
}

TEST_F(StartUp, VersionMigrationDeletesCachesOfUnreadableFormats) {
    struct Case {
        const char* stored;  // nullptr: nothing stored
        bool cache;
        const char* version_after;
        bool cache_after;
        std::optional<DWORD> context_after;
    };
    const Case cases[] = {
        {nullptr, true, "4.0", false, 0u}, {nullptr, false, "4.0", false, std::nullopt},
        {"3.2", true, "4.0", false, 1u},   {"3.3", false, "4.0", false, 1u},
        {"4.0", true, "4.0", true, 1u},    {"2.5", true, "2.5", true, 1u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(nothing)");
        TestTree cases_tree;
        ::setenv(kRegistryDirVariable, cases_tree.path("registry").c_str(), 1);
        if (c.stored) modReg::SaveSettingString("", c.stored);
        if (c.stored) modReg::SaveSettingInt("context", 1);
        Core core;
        core.settings().workdir = cases_tree.root();
        if (c.cache) cases_tree.file("cache/12.epc");
        migrateVersion(core);
        EXPECT_EQ(modReg::GetSettingString(""), c.version_after);
        EXPECT_EQ(std::filesystem::exists(cases_tree.path("cache")), c.cache_after);
        EXPECT_EQ(modReg::RegReadDword(HKEY_CURRENT_USER, modReg::kAppKey, "context"),
                  c.context_after);
    }
}

TEST_F(StartUp, ASecondStartLeavesTheNewCacheAlone) {
    modReg::SaveSettingString("", "3.2");
    Core core;
    startCore(core);
    tree.file("appdata/Vantel/cache/12.epc");
    startCore(core);
    EXPECT_TRUE(std::filesystem::exists(workdir() + "cache/12.epc"));
    EXPECT_EQ(modReg::GetSettingString(""), "4.0");
}

TEST_F(StartUp, TheCommandLineIsQueuedThenOnePassIsArmed) {
    Core core;
    queueCommandLine(core, {});
    EXPECT_TRUE(core.timer1Enabled());  // also with nothing to queue

    Core closed;
    closed.unloadMainWindow();
    queueCommandLine(closed, {tree.file("a.mkv")});
    EXPECT_EQ(closed.queueCount(), 0);
    EXPECT_FALSE(closed.timer1Enabled());
}

}  // namespace

}  // namespace vantel
