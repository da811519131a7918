#include "renamer/engine/shell_entries.h"

#include "renamer/common/reg.h"
#include "renamer/engine/core.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vantel {

namespace {

class ShellEntries : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv(kRegistryDirVariable, tree.path("registry").c_str(), 1); }
    void TearDown() override { ::unsetenv(kRegistryDirVariable); }

    static std::string value(const std::string& key) {
        return modReg::RegReadString(HKEY_CLASSES_ROOT, key, "");
    }
    static bool exists(const std::string& key) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return false;
        RegCloseKey(handle);
        return true;
    }

    TestTree tree;
    const std::string command = shellCommand("/opt/vantel/bin/vantel");
};

TEST_F(ShellEntries, TypesAreWalkedInOrderWithFoldersLast) {
    EXPECT_EQ(command, "\"/opt/vantel/bin/vantel\" %1");
    EXPECT_EQ(shellEntryTypes("avi;mkv;;mp4;"),
              (std::vector<std::string>{"avi", "mkv", "mp4", "DIR"}));
    EXPECT_EQ(shellEntryTypes(""), (std::vector<std::string>{"DIR"}));
}

TEST_F(ShellEntries, AnExtensionGetsTheVerbOfItsClassOrOfANewOne) {
    modReg::RegWriteString(HKEY_CLASSES_ROOT, ".AVI", "", "VideoPlayer.avi");
    AddShellEntries("AVI", command);
    EXPECT_EQ(value("SystemFileAssociations\\.avi\\shell\\Vantel\\command"), command);
    EXPECT_EQ(value("VideoPlayer.avi\\shell\\Vantel\\command"), command);

    // No class name: one is made from the extension and kept when the entries go.
    AddShellEntries("MKV", command);
    EXPECT_EQ(value(".MKV"), "mkvfile");
    EXPECT_EQ(value("mkvfile\\shell\\Vantel\\command"), command);
    RemoveShellEntries("MKV");
    EXPECT_EQ(value(".MKV"), "mkvfile");
    EXPECT_FALSE(exists("mkvfile\\shell\\Vantel"));
    EXPECT_TRUE(exists("mkvfile"));
    EXPECT_FALSE(exists("SystemFileAssociations\\.mkv\\shell\\Vantel\\command"));
    EXPECT_TRUE(exists("SystemFileAssociations\\.mkv\\shell\\Vantel"));

    // Entries of an earlier version (its "ddeexec" keys) go too.
    modReg::RegWriteString(HKEY_CLASSES_ROOT, "VideoPlayer.avi\\shell\\Vantel\\ddeexec\\Topic", "",
                           "System");
    RemoveShellEntries("AVI");
    EXPECT_FALSE(exists("VideoPlayer.avi\\shell\\Vantel"));
    EXPECT_EQ(value(".AVI"), "VideoPlayer.avi");

    // An extension that names no class loses nothing.
    AddShellEntries("ogm", command);
    modReg::RegWriteString(HKEY_CLASSES_ROOT, ".ogm", "", "");
    RemoveShellEntries("ogm");
    EXPECT_EQ(value("SystemFileAssociations\\.ogm\\shell\\Vantel\\command"), command);
}

TEST_F(ShellEntries, FoldersAndVideoFilesInGeneral) {
    AddShellEntries("DIR", command);
    EXPECT_EQ(value("Directory\\shell\\Vantel\\command"), command);
    EXPECT_EQ(value("SystemFileAssociations\\video\\shell\\Vantel\\command"), command);
    RemoveShellEntries("DIR");
    EXPECT_FALSE(exists("Directory\\shell\\Vantel"));
    EXPECT_FALSE(exists("SystemFileAssociations\\video\\shell\\Vantel"));
}

TEST_F(ShellEntries, StartUpWritesThemUntilThePreferencesAreConfirmed) {
    Core core;
    core.settings().types = "avi;mkv";
    core.settings().context = 0;
    modReg::SaveSettingInt("context", 0);
    EXPECT_TRUE(setUpShellEntries(core, command));
    EXPECT_EQ(core.settings().context, 2);
    EXPECT_EQ(modReg::GetSettingInt("context"), 0);  // in memory only
    EXPECT_EQ(value("SystemFileAssociations\\.avi\\shell\\Vantel\\command"), command);
    EXPECT_EQ(value("mkvfile\\shell\\Vantel\\command"), command);
    EXPECT_EQ(value("Directory\\shell\\Vantel\\command"), command);

    // Switched off by the user: nothing is written.
    RemoveShellEntries("DIR");
    core.settings().context = 1;
    EXPECT_FALSE(setUpShellEntries(core, command));
    EXPECT_FALSE(exists("Directory\\shell\\Vantel"));
}

}  // namespace

}  // namespace vantel
