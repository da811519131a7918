#include "renamer/engine/preferences.h"

#include "renamer/common/reg.h"
#include "renamer/engine/core.h"
#include "renamer/engine/open_with_entry.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace vantel {

namespace {

class Preferences : public RegistryTest {
  protected:
    static std::string verb(const std::string& type) {
        return "SystemFileAssociations\\." + type + "\\shell\\Vantel\\command";
    }
    RecordingView view;
    Core core{&view};
    const std::string program = "/opt/vantel/bin/vantel";
};

TEST_F(Preferences, OpenWithTheStoredSettingsReadByTheirRules) {
    Settings s;
    s.context = 1;
    s.logging = 1;
    PreferenceChoices c = loadPreferences(s);
    EXPECT_FALSE(c.context_menu);
    EXPECT_FALSE(c.verbose);
    EXPECT_EQ(c.types, kDefaultTypes);
    s.context = 2;
    s.logging = 2;
    s.confirm = s.nocache = s.noutf8 = s.autoclose = true;
    c = loadPreferences(s);
    EXPECT_TRUE(c.context_menu && c.verbose && c.confirm && c.nocache && c.noutf8 && c.autoclose);
}

TEST_F(Preferences, OkNormalisesTheTypesStoresEverySettingAndMovesTheEntries) {
    core.settings().types = "avi;mpg";
    addContextEntries(core.settings().types, program);
    ASSERT_TRUE(keyExists(verb("mpg")));

    PreferenceChoices c = loadPreferences(core.settings());
    c.types = "AVI;.MKV;";
    c.context_menu = true;
    c.confirm = true;
    c.verbose = true;
    c.autoclose = true;
    ASSERT_TRUE(applyPreferences(core, c, program));

    EXPECT_EQ(core.settings().types, "avi;mkv");
    EXPECT_EQ(modReg::GetSettingString("types"), "avi;mkv");
    EXPECT_EQ(modReg::GetSettingInt("context"), 2);
    EXPECT_EQ(modReg::GetSettingInt("confirm"), 1);
    EXPECT_EQ(modReg::GetSettingInt("nocache"), 0);
    EXPECT_EQ(modReg::GetSettingInt("noutf8"), 0);
    EXPECT_EQ(modReg::GetSettingInt("logging"), 2);
    EXPECT_EQ(modReg::GetSettingInt("autoclose"), 1);
    EXPECT_EQ(core.settings().context, 2);
    EXPECT_TRUE(core.settings().confirm);
    EXPECT_EQ(core.settings().logging, 2);
    // A type dropped by the user loses its entry; the new one and folders get theirs.
    EXPECT_FALSE(keyExists(verb("mpg")));
    EXPECT_TRUE(keyExists(verb("mkv")));
    EXPECT_TRUE(keyExists(verb("avi")));
    EXPECT_TRUE(keyExists("Directory\\shell\\Vantel\\command"));
    EXPECT_TRUE(std::filesystem::exists(openWithEntryPath()));
    EXPECT_TRUE(view.messages.empty());

    // Unticked: every entry goes, the desktop entry too, and context reads 1.
    c.context_menu = false;
    c.verbose = false;
    ASSERT_TRUE(applyPreferences(core, c, program));
    EXPECT_EQ(modReg::GetSettingInt("context"), 1);
    EXPECT_EQ(modReg::GetSettingInt("logging"), 1);
    EXPECT_FALSE(keyExists(verb("mkv")));
    EXPECT_FALSE(keyExists("Directory\\shell\\Vantel\\command"));
    EXPECT_FALSE(std::filesystem::exists(openWithEntryPath()));
}

TEST_F(Preferences, TooShortTypesAreRefusedAndNothingIsStored) {
    PreferenceChoices c = loadPreferences(core.settings());
    c.types = "av";
    c.confirm = true;
    EXPECT_FALSE(applyPreferences(core, c, program));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, "Filetypes Required");
    EXPECT_EQ(view.messages[0].icon, kIconInformation);
    EXPECT_FALSE(view.messages[0].offer_dont_show);
    EXPECT_EQ(modReg::GetSettingString("types"), "");
    EXPECT_EQ(modReg::GetSettingInt("confirm"), 0);
    EXPECT_FALSE(core.settings().confirm);
}

TEST_F(Preferences, TheCacheWarningCanBeSilencedAndSavingGoesOnEitherWay) {
    PreferenceChoices c = loadPreferences(core.settings());
    c.nocache = true;
    view.tick_dont_show = true;
    ASSERT_TRUE(applyPreferences(core, c, program));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, "Not Recommended");
    EXPECT_EQ(view.messages[0].icon, kIconWarning);
    EXPECT_TRUE(view.messages[0].offer_dont_show);
    EXPECT_EQ(modReg::GetSettingInt("1msgskip$"), 1);
    EXPECT_EQ(modReg::GetSettingInt("nocache"), 1);

    // Once silenced the warning is not shown at all.
    ASSERT_TRUE(applyPreferences(core, c, program));
    EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(Preferences, TheConfirmationSwitchIsStoredAtOnce) {
    setConfirmOperations(core, true);
    EXPECT_TRUE(core.settings().confirm);
    EXPECT_EQ(modReg::GetSettingInt("confirm"), 1);
    setConfirmOperations(core, false);
    EXPECT_FALSE(core.settings().confirm);
    EXPECT_EQ(modReg::GetSettingInt("confirm"), 0);
}

}  // namespace

}  // namespace vantel
