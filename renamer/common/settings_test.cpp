#include "renamer/common/settings.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsRules, StoredValuesToWhatTheProgramUses) {
    // Types: a stored text shorter than 3 characters counts as missing.
    EXPECT_EQ(readTypesRule(""), kDefaultTypes);
    EXPECT_EQ(readTypesRule("mk"), kDefaultTypes);
    EXPECT_EQ(readTypesRule("mkv"), "mkv");

    struct Case {
        int32_t stored;
        int32_t context;
        bool flag;
        int32_t logging;
        bool autoclose;
    };
    const Case cases[] = {
        // stored  context flag   logging autoclose
        {0, 0, false, 1, false},  // also what a missing value reads as
        {1, 1, true, 1, true},   {2, 2, true, 2, false},  {3, 2, true, 1, false},
        {5, 2, true, 1, false},  {-1, 2, true, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(readContextRule(c.stored), c.context);
        EXPECT_EQ(readFlagRule(c.stored), c.flag);
        EXPECT_EQ(readLoggingRule(c.stored), c.logging);
        EXPECT_EQ(readAutocloseRule(c.stored), c.autoclose);
    }
}

TEST(SettingsRules, TypesAreStoredWithoutDotsTrailingSemicolonOrCapitals) {
    EXPECT_EQ(normaliseTypes(".AVI;.Mkv;"), "avi;mkv");
    EXPECT_EQ(normaliseTypes("avi;mkv;;"), "avi;mkv;");  // only one trailing ";" goes
    EXPECT_EQ(normaliseTypes("..."), "");
    EXPECT_EQ(normaliseTypes("ogm"), "ogm");
}

TEST(SettingsRules, OnlyTheDialogsValuesAreSettable) {
    const SettingValue* types = findSettingValue("types");
    ASSERT_NE(types, nullptr);
    EXPECT_TRUE(types->is_text);
    const SettingValue* logging = findSettingValue("logging");
    ASSERT_NE(logging, nullptr);
    EXPECT_FALSE(logging->is_text);
    EXPECT_EQ(logging->min_value, 1);
    EXPECT_EQ(logging->max_value, 2);
    EXPECT_EQ(findSettingValue("Types"), nullptr);
    EXPECT_EQ(findSettingValue("workdir"), nullptr);  // never stored
    EXPECT_EQ(findSettingValue(""), nullptr);
    EXPECT_EQ(settingNames(), "types, context, confirm, nocache, noutf8, logging, autoclose");
}

}  // namespace
