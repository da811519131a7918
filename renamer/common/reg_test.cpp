#include "renamer/common/reg.h"
#include "renamer/common/settings.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>

namespace vantel {

namespace fs = std::filesystem;

namespace {

// Every test gets a registry store of its own in a temporary folder.
class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("vantel-reg-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        ::setenv(kRegistryDirVariable, m_dir.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(kRegistryDirVariable);
        fs::remove_all(m_dir);
    }
    // Writes a raw value into the program's key, of any type.
    static void store(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, modReg::kAppKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    fs::path m_dir;
};

TEST_F(Registry, SettingReadsGiveEmptyOrZeroForAnythingButTheirType) {
    EXPECT_EQ(modReg::GetSettingString("types"), "");  // no key at all
    EXPECT_EQ(modReg::GetSettingInt("logging"), 0);

    const DWORD two = 2;
    store("dword", REG_DWORD, &two, 4);
    store("text", REG_SZ, "avi;mkv", 7);
    store("nul", REG_SZ, "avi\0mkv", 7);
    store("binary", REG_BINARY, "\x02\x00\x00\x00", 4);
    EXPECT_EQ(modReg::GetSettingString("text"), "avi;mkv");
    EXPECT_EQ(modReg::GetSettingString("nul"), "avi");  // cut at the first zero
    EXPECT_EQ(modReg::GetSettingString("dword"), "");
    EXPECT_EQ(modReg::GetSettingString("missing"), "");
    EXPECT_EQ(modReg::GetSettingInt("dword"), 2);
    EXPECT_EQ(modReg::GetSettingInt("text"), 0);
    EXPECT_EQ(modReg::GetSettingInt("binary"), 0);

    // Numbers are 16-bit: one that does not fit reads as nothing stored.
    struct Case {
        DWORD stored;
        int16_t read;
    };
    for (Case c : {Case{32767, 32767}, Case{32768, 0}, Case{70000, 0}, Case{0xFFFFFFFFu, -1},
                   Case{0xFFFF8000u, -32768}}) {
        store("n", REG_DWORD, &c.stored, 4);
        EXPECT_EQ(modReg::GetSettingInt("n"), c.read) << c.stored;
    }
}

TEST_F(Registry, SavesRoundTripAndTheDefaultValueIsTheEmptyName) {
    EXPECT_TRUE(modReg::SaveSettingString("", "4.0"));
    EXPECT_TRUE(modReg::SaveSettingString("types", "ogm;mkv"));
    EXPECT_TRUE(modReg::SaveSettingInt("1msgskip$", 1));
    EXPECT_TRUE(modReg::SaveSettingInt("logging", -2));
    EXPECT_EQ(modReg::GetSettingString(""), "4.0");
    EXPECT_EQ(modReg::GetSettingString("types"), "ogm;mkv");
    EXPECT_EQ(modReg::GetSettingInt("1msgskip$"), 1);
    EXPECT_EQ(modReg::GetSettingInt("logging"), -2);
    // Value names compare without regard to case, as the registry's do.
    EXPECT_EQ(modReg::GetSettingString("TYPES"), "ogm;mkv");
    EXPECT_EQ(modReg::RegReadDword(HKEY_CURRENT_USER, modReg::kAppKey, "logging"), 0xFFFFFFFEu);
    EXPECT_EQ(modReg::RegReadDword(HKEY_CURRENT_USER, modReg::kAppKey, "types"), std::nullopt);
}

TEST_F(Registry, LowLevelFormsTakeAnyKeyAndDeleteOnlyLeaves) {
    const std::string verb = "mkvfile\\shell\\Vantel";
    EXPECT_TRUE(modReg::RegWriteString(HKEY_CLASSES_ROOT, verb + "\\command", "", "\"/x\" %1"));
    EXPECT_EQ(modReg::RegReadString(HKEY_CLASSES_ROOT, verb + "\\command", ""), "\"/x\" %1");
    // Classes land in the user's own tree.
    EXPECT_EQ(
        modReg::RegReadString(HKEY_CURRENT_USER, "Software\\Classes\\" + verb + "\\command", ""),
        "\"/x\" %1");
    EXPECT_FALSE(modReg::DeleteRegKey(HKEY_CLASSES_ROOT, verb));  // it has a subkey
    EXPECT_TRUE(modReg::DeleteRegKey(HKEY_CLASSES_ROOT, verb + "\\command"));
    EXPECT_TRUE(modReg::DeleteRegKey(HKEY_CLASSES_ROOT, verb));
    EXPECT_FALSE(modReg::DeleteRegKey(HKEY_CLASSES_ROOT, verb));
    EXPECT_EQ(modReg::RegReadString(HKEY_CLASSES_ROOT, verb + "\\command", ""), "");

    EXPECT_FALSE(modReg::RegWriteDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantel", "x", 1));
}

TEST_F(Registry, ReadSettingsAppliesEveryReadingRule) {
    Settings defaults;
    readSettings(defaults);  // nothing stored
    EXPECT_EQ(defaults.types, kDefaultTypes);
    EXPECT_EQ(defaults.context, 0);
    EXPECT_FALSE(defaults.confirm);
    EXPECT_EQ(defaults.logging, 1);
    EXPECT_FALSE(defaults.autoclose);

    modReg::SaveSettingString("types", "mk");
    modReg::SaveSettingInt("context", 5);
    modReg::SaveSettingInt("confirm", 7);
    modReg::SaveSettingInt("nocache", 0);
    modReg::SaveSettingInt("noutf8", 1);
    modReg::SaveSettingInt("logging", 3);
    modReg::SaveSettingInt("autoclose", 2);
    Settings s;
    s.workdir = "/kept/";
    readSettings(s);
    EXPECT_EQ(s.types, kDefaultTypes);
    EXPECT_EQ(s.context, 2);
    EXPECT_TRUE(s.confirm);
    EXPECT_FALSE(s.nocache);
    EXPECT_TRUE(s.noutf8);
    EXPECT_EQ(s.logging, 1);
    EXPECT_FALSE(s.autoclose);
    EXPECT_EQ(s.workdir, "/kept/");

    modReg::SaveSettingString("types", "ogm");
    modReg::SaveSettingInt("logging", 2);
    modReg::SaveSettingInt("autoclose", 1);
    readSettings(s);
    EXPECT_EQ(s.types, "ogm");
    EXPECT_EQ(s.logging, 2);
    EXPECT_TRUE(s.autoclose);
}

}  // namespace

}  // namespace vantel
