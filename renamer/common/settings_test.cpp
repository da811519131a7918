#include "renamer/common/settings.h"

#include <gtest/gtest.h>

namespace vantel {

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

}  // namespace

}  // namespace vantel
