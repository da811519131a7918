#include "renamer/engine/open_with_entry.h"

#include "renamer/common/reg.h"
#include "renamer/common/textfile.h"
#include "renamer/engine/shell_entries.h"
#include "renamer/engine/test_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace vantel {

namespace {

class OpenWithEntry : public RegistryTest {};

TEST_F(OpenWithEntry, OffersTheProgramForTheTypesAndFolders) {
    EXPECT_EQ(mimeTypeOf("MKV"), "video/x-matroska");
    EXPECT_EQ(mimeTypeOf("xyz"), std::nullopt);
    const std::string text =
        openWithEntryText("avi;mpg;mpeg;xyz;mkv", "/opt/my $dir/vantel", "vantel");
    EXPECT_NE(
        text.find("\nMimeType=video/x-msvideo;video/mpeg;video/x-matroska;inode/directory;\n"),
        std::string::npos)
        << text;
    // Quoted, "$" escaped, and the escaping backslash doubled by the key's own escaping.
    EXPECT_NE(text.find("\nExec=\"/opt/my \\\\$dir/vantel\" %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nNoDisplay=true\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=vantel\n"), std::string::npos);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(openWithEntryText("", "/v", "vantel").find("\nMimeType=inode/directory;\n"),
              std::string::npos);
}

TEST_F(OpenWithEntry, AddingAndRemovingEverythingLeavesNoEntryBehind) {
    const std::string entry = openWithEntryPath();
    EXPECT_EQ(entry, tree.path("data/applications/vantel-open-with.desktop"));
    addContextEntries("avi;mkv", "/opt/vantel/bin/vantel");
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_NE(ReadTextFile(entry).find("video/x-msvideo;video/x-matroska;"), std::string::npos);
    EXPECT_EQ(modReg::RegReadString(HKEY_CLASSES_ROOT, "Directory\\shell\\Vantel\\command", ""),
              "\"/opt/vantel/bin/vantel\" %1");
    EXPECT_TRUE(keyExists("avifile\\shell\\Vantel\\command"));
    removeContextEntries("avi;mkv");
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(keyExists("Directory\\shell\\Vantel"));
    EXPECT_FALSE(keyExists("avifile\\shell\\Vantel"));
    EXPECT_TRUE(removeOpenWithEntry());  // a missing entry counts as removed
}

}  // namespace

}  // namespace vantel
