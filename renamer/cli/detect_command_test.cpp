#include "renamer/cli/detect_command.h"

#include <gtest/gtest.h>

namespace vantel {

namespace {

TEST(Detect, OneLinePerNameWithTheShowAsSearched) {
    Core core;
    core.exceptions().append("Doctor Who 2005", "Doctor Who (2005)");
    struct Case {
        const char* name;
        const char* line;
        bool matched;
    } cases[] = {
        {"Show.Name.S01E02.avi", "show name\t1\t2\t1\tshow name", true},
        {"show.name.1x012.avi", "show name\t1\t12\t6\tshow name", true},
        // A path: the folder's name comes first, and an exception changes the searched name.
        {"/tv/Doctor Who 2005 - 2x03 - Tooth/x.avi", "doctor who 2005\t2\t3\t4\tdoctor who (2005)",
         true},
        {"/tv/Lost.S01E02.x/other.s03e04.avi", "lost\t1\t2\t1\tlost", true},
        {"/tv/Season 1/other.s03e04.avi", "other\t3\t4\t1\tother", true},
        {"show name 1080p.avi", "no match\tshow name 1080p.avi", false},
        {"line\nbreak", "no match\tline / break", false},
        {"", "no match\t", false},
    };
    for (const Case& c : cases) {
        bool matched = !c.matched;
        EXPECT_EQ(detectLine(core, c.name, &matched), c.line);
        EXPECT_EQ(matched, c.matched) << c.name;
    }
}

}  // namespace

}  // namespace vantel
