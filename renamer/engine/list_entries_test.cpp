// The fields the filter wizard and the "Add Exception" dialog store.

#include "renamer/engine/list_entries.h"

#include <gtest/gtest.h>

namespace vantel {

namespace {

FilterChoices choices(bool file_type, bool doesnt_equal, std::string condition, int32_t action,
                      std::string path, std::string mask) {
    return {file_type,       doesnt_equal,   std::move(condition), static_cast<FileAction>(action),
            std::move(path), std::move(mask)};
}

TEST(ListEntries, TheWizardsFieldsAreStoredAsTheWizardStoresThem) {
    // An empty condition and Rename: "*", no path, the default mask, "Anything".
    ActionFilter rename = wizardFilter(choices(false, false, "", kActionRename, "/ignored", ""));
    EXPECT_EQ(rename, defaultFilter());

    // A file type typed with dots and capitals; a path without its trailing "/".
    ActionFilter move =
        wizardFilter(choices(true, true, ".M.KV", kActionMove, "/tv/[show]", "[e]"));
    EXPECT_EQ(move.type_pattern, "mkv");
    EXPECT_EQ(move.type_mode, kModeDoesntEqual);
    EXPECT_EQ(move.show_pattern, "");
    EXPECT_EQ(move.show_mode, 0);
    EXPECT_EQ(move.dest_folder, "/tv/[show]/");
    EXPECT_EQ(move.name_mask, "[e]");
    EXPECT_EQ(move.description, "File Type Doesn't Equal mkv");
    EXPECT_TRUE(move.enabled);

    // A show name is compared in lower case, so the pattern is stored so; a path that ends in
    // "/" stays as typed; "*" reads "Anything".
    ActionFilter copy = wizardFilter(choices(false, false, "Doctor Who*", kActionCopy, "/c/", ""));
    EXPECT_EQ(copy.show_pattern, "doctor who*");
    EXPECT_EQ(copy.dest_folder, "/c/");
    EXPECT_EQ(copy.description, "Show Name Equals doctor who*");
    EXPECT_EQ(wizardFilter(choices(false, false, "*", 1, "", "")).description,
              "Show Name Equals Anything");

    // Editing keeps the condition the wizard does not show.
    ActionFilter edited = move;
    ActionFilter both = wizardFilter(choices(false, false, "lost", kActionRename, "", ""), &edited);
    EXPECT_EQ(both.type_pattern, "mkv");
    EXPECT_EQ(both.show_pattern, "lost");
    EXPECT_EQ(both.dest_folder, "");
}

TEST(ListEntries, EntriesThatCannotBeStoredAreRefusedWithTheDialogsTexts) {
    // The path check: at least 3 characters for a move or copy only.
    EXPECT_EQ(filterChoicesProblem(choices(false, false, "", kActionMove, "D:", ""))->caption,
              "Path not valid");
    EXPECT_EQ(filterChoicesProblem(choices(false, false, "", kActionCopy, "", ""))->text,
              "You must enter a complete path");
    EXPECT_FALSE(filterChoicesProblem(choices(false, false, "", kActionMove, "/tv", "")));
    EXPECT_FALSE(filterChoicesProblem(choices(false, false, "", kActionRename, "", "")));
    EXPECT_TRUE(filterChoicesProblem(choices(false, false, "", 4, "/tv", "")));

    EXPECT_EQ(exceptionEntryProblem("", "x")->caption, "Detected Name Required");
    EXPECT_EQ(exceptionEntryProblem("x", "")->text, "Please enter a new show name");
    EXPECT_FALSE(exceptionEntryProblem("x", "y"));
}

TEST(ListEntries, AStoredFilterGivesBackTheFieldsItWasMadeFrom) {
    const FilterChoices type = choices(true, true, ".MKV", kActionMove, "/tv/[show]", "[show]");
    FilterChoices back = filterChoices(wizardFilter(type));
    EXPECT_TRUE(back.file_type);
    EXPECT_TRUE(back.doesnt_equal);
    EXPECT_EQ(back.condition, "mkv");
    EXPECT_EQ(back.action, kActionMove);
    EXPECT_EQ(back.path, "/tv/[show]/");
    EXPECT_EQ(back.mask, "[show]");

    back = filterChoices(wizardFilter(choices(false, false, "", kActionRename, "", "")));
    EXPECT_FALSE(back.file_type);
    EXPECT_FALSE(back.doesnt_equal);
    EXPECT_EQ(back.condition, "*");
    EXPECT_EQ(back.path, "");
    EXPECT_EQ(back.mask, kDefaultMask);
}

}  // namespace

}  // namespace vantel
