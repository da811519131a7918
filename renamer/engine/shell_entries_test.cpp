#include "renamer/engine/shell_entries.h"

#include "renamer/common/reg.h"
#include "renamer/common/textfile.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class ShellEntries : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv(kRegistryDirVariable, tree.path("registry").c_str(), 1);
        ::setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(kRegistryDirVariable);
        ::unsetenv("XDG_DATA_HOME");
    }
    static bool keyExists(const std::string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    static std::string command(const std::string& path) {
        return modReg::RegReadString(HKEY_CLASSES_ROOT, path, "");
    }

    TestTree tree;
};

TEST_F(ShellEntries, AnExtensionGetsItsVerbUnderItsClassOrAClassMadeForIt) {
    const std::string cmd = shellCommandText();
    ASSERT_EQ(cmd.front(), '"');
    ASSERT_EQ(cmd.substr(cmd.size() - 11), "/vantel\" %1");

    modReg::RegWriteString(HKEY_CLASSES_ROOT, ".avi", "", "VLC.avi");
    AddShellEntries("avi");
    EXPECT_EQ(command("SystemFileAssociations\\.avi\\shell\\Vantel\\command"), cmd);
    EXPECT_EQ(command("VLC.avi\\shell\\Vantel\\command"), cmd);
    EXPECT_FALSE(keyExists("avifile"));

    AddShellEntries("MKV");  // no class: one is made, in lower case
    EXPECT_EQ(command(".MKV"), "mkvfile");
    EXPECT_EQ(command("mkvfile\\shell\\Vantel\\command"), cmd);
    EXPECT_EQ(command("SystemFileAssociations\\.mkv\\shell\\Vantel\\command"), cmd);

    AddShellEntries("DIR");
    EXPECT_EQ(command("SystemFileAssociations\\video\\shell\\Vantel\\command"), cmd);
    EXPECT_EQ(command("Directory\\shell\\Vantel\\command"), cmd);
}

TEST_F(ShellEntries, RemovingDeletesTheVerbsButKeepsTheClassNames) {
    // Entries of an earlier version that wrote "ddeexec" keys go too.
    modReg::RegWriteString(HKEY_CLASSES_ROOT, "Directory\\shell\\Vantel\\ddeexec\\Topic", "", "x");
    for (const char* ext : {"mkv", "avi", "DIR"})
        AddShellEntries(ext);
    modReg::RegWriteString(HKEY_CLASSES_ROOT, "mkvfile\\shell\\Vantel\\ddeexec\\Application", "",
                           "x");
    for (const char* ext : {"mkv", "avi", "DIR"})
        RemoveShellEntries(ext);
    for (const char* gone :
         {"mkvfile\\shell\\Vantel", "avifile\\shell\\Vantel", "Directory\\shell\\Vantel",
          "SystemFileAssociations\\.mkv\\shell\\Vantel\\command",
          "SystemFileAssociations\\video\\shell\\Vantel"}) {
        EXPECT_FALSE(keyExists(gone)) << gone;
    }
    EXPECT_EQ(command(".mkv"), "mkvfile");
    EXPECT_TRUE(keyExists("SystemFileAssociations\\.mkv\\shell\\Vantel"));
    // An extension without a class name has nothing to remove and removes nothing.
    AddShellEntries("ogm");
    modReg::RegWriteString(HKEY_CLASSES_ROOT, ".ogm", "", "");
    RemoveShellEntries("ogm");
    EXPECT_TRUE(keyExists("SystemFileAssociations\\.ogm\\shell\\Vantel\\command"));
}

TEST_F(ShellEntries, TheDesktopEntryOffersTheProgramForTheTypesAndFolders) {
    EXPECT_EQ(splitTypes("avi;;mkv;"), (std::vector<std::string>{"avi", "mkv"}));
    EXPECT_EQ(splitTypes(""), std::vector<std::string>{});
    EXPECT_EQ(mimeTypeOf("MKV"), "video/x-matroska");
    EXPECT_EQ(mimeTypeOf("xyz"), std::nullopt);

    const std::string text = openWithEntryText("avi;mpg;mpeg;xyz;mkv", "/opt/my $dir/vantel");
    EXPECT_NE(
        text.find("\nMimeType=video/x-msvideo;video/mpeg;video/x-matroska;inode/directory;\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\nExec=\"/opt/my \\\\$dir/vantel\" %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nNoDisplay=true\n"), std::string::npos);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
}

TEST_F(ShellEntries, AddingAndRemovingEverythingLeavesNoEntryBehind) {
    const std::string entry = openWithEntryPath();
    EXPECT_EQ(entry, tree.path("data/applications/vantel-open-with.desktop"));
    addContextEntries("avi;mkv");
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_NE(ReadTextFile(entry).find("video/x-msvideo;video/x-matroska;"), std::string::npos);
    EXPECT_TRUE(keyExists("Directory\\shell\\Vantel\\command"));
    removeContextEntries("avi;mkv");
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(keyExists("Directory\\shell\\Vantel"));
    EXPECT_FALSE(keyExists("avifile\\shell\\Vantel"));
    EXPECT_TRUE(removeOpenWithEntry());  // a missing entry counts as removed
}

}  // namespace
