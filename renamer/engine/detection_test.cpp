#include "renamer/engine/detection.h"

#include "renamer/common/text.h"
#include "renamer/engine/like.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include <span>
#include <string>
#include <vector>

namespace vantel {

namespace {

struct Outcome {
    bool ok = false;
    std::string show = {};
    int32_t season = 0, episode = 0, id = 0;
};

Outcome detect(const std::string& path, bool p, std::vector<std::string>* lines = nullptr) {
    QueueItem item;
    item.path = path;
    item.file_name = path.substr(path.rfind('/') + 1);
    ActivityLog log;
    log.setThreshold(2);
    log.setClock([] { return std::string("t"); });
    int32_t id = 0;
    bool ok = getbits(item, p, log, &id);
    if (lines) *lines = log.lines();
    return {ok, item.detected_show, item.season, item.episode, id};
}

struct Case {
    const char* name;
    Outcome want;
};

void expectAll(bool p, std::span<const Case> cases) {
    for (const Case& c : cases) {
        Outcome got = detect(c.name, p);
        EXPECT_EQ(got.ok, c.want.ok) << c.name;
        if (!c.want.ok || !got.ok) continue;
        EXPECT_EQ(got.show, c.want.show) << c.name;
        EXPECT_EQ(got.season, c.want.season) << c.name;
        EXPECT_EQ(got.episode, c.want.episode) << c.name;
        EXPECT_EQ(got.id, c.want.id) << c.name;
    }
}

TEST(FilenameFilter, TableIsConsistent) {
    std::vector<int32_t> ids;
    for (const FilenameFilter& f : filenameFilters()) {
        ids.push_back(f.id);
        std::string marker = f.marker;
        EXPECT_EQ(std::string(f.pattern), "*" + marker + "*") << f.pattern;
        // Both numbers lie on digit places of the marker, so they always convert.
        for (int32_t i = 0; i < f.season_length; ++i)
            EXPECT_EQ(marker[f.season_offset + i], '#');
        for (int32_t i = 0; i < f.episode_length; ++i) {
            EXPECT_EQ(marker[f.episode_offset + i], '#') << f.pattern;
        }
        bool bare = f.id == 13 || f.id == 16 || f.id == 17 || f.id == 18;
        EXPECT_EQ(f.folder, !bare) << f.pattern;
        EXPECT_EQ(f.scan == MarkerScan::kBackwardSkipP, f.id >= 17) << f.pattern;
    }
    EXPECT_EQ(ids, (std::vector<int32_t>{1, 2, 3, 4, 6, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                         17, 18}));
}

TEST(Getbits, FileNamesOfEveryRow) {
    const Case cases[] = {
        {"Show.Name.S01E02.avi", {true, "show name", 1, 2, 1}},
        {"the.show.name.s02e05.720p.hdtv.mkv", {true, "the show name", 2, 5, 1}},
        {"show.name.105.avi", {true, "show name", 1, 5, 2}},
        {"Show Name - 10x11 - Title.avi", {true, "show name", 10, 11, 3}},
        {"show name - 1x05 - title.avi", {true, "show name", 1, 5, 4}},
        {"show.name.1x012.avi", {true, "show name", 1, 12, 6}},
        {"show.name.10x11.avi", {true, "show name", 10, 11, 5}},
        {"show.name.1x11.avi", {true, "show name", 1, 11, 6}},
        {"show.name.s01.e02.avi", {true, "show name", 1, 2, 7}},
        {"show.name.s1e02.avi", {true, "show name", 1, 2, 8}},
        {"show.name.s01e2.avi", {true, "show name", 1, 2, 9}},
        {"show.name.s1e2.avi", {true, "show name", 1, 2, 10}},
        {"show name 1x02 title.avi", {true, "show name", 1, 2, 11}},
        {"show name 01x02 title.avi", {true, "show name", 1, 2, 12}},
        {"showname_s01e02_title.avi", {true, "showname_", 1, 2, 13}},
        {"show_01x02.avi", {true, "show_", 1, 2, 14}},
        {"show_1x02.avi", {true, "show_", 1, 2, 15}},
        {"show_01.02.avi", {true, "show_", 1, 2, 16}},
        {"show_0102.avi", {true, "show_", 1, 2, 17}},
        {"show name 105 720p.avi", {true, "show name", 1, 5, 18}},
    };
    expectAll(false, cases);
}

TEST(Getbits, MarkerPlacementRules) {
    const Case cases[] = {
        // Forward rows take the last occurrence.
        {"a.s01e01.b.s02e03.avi", {true, "a s01e01 b", 2, 3, 1}},
        {"a 1x02 b 3x04 c.avi", {true, "a 1x02 b", 3, 4, 11}},
        // Bare rows find numbers inside words.
        {"word1x02word.avi", {true, "word", 1, 2, 15}},
        {"abc123def.avi", {true, "abc", 1, 23, 18}},
        // Four digits are tried before three, from the end.
        {"show 101 2012.avi", {true, "show 101", 20, 12, 17}},
        // A four-digit run followed by "p" ends the search, even with three digits elsewhere.
        {"show name 1080p.avi", {false}},
        {"show 1080p 105.avi", {false}},
        {"show name 720p.avi", {false}},
        {"no numbers here.avi", {false}},
        {"", {false}},
    };
    expectAll(false, cases);
}

TEST(Getbits, ShowIsLowerCasedAndCleaned) {
    const Case cases[] = {
        {"Pokémon.S01E02.avi", {true, "pokémon", 1, 2, 1}},
        {"ÉCOLE.S01E02.avi", {true, "école", 1, 2, 1}},
        {"Tom &amp; Jerry.S01E02.avi", {true, "tom & jerry", 1, 2, 1}},
        {"Show: Name?.s01e02.avi", {true, "show name", 1, 2, 1}},
        {"  .s01e02.avi", {true, "", 1, 2, 1}},
    };
    expectAll(false, cases);
}

TEST(Getbits, NamesWhoseLowerCaseIsShorter) {
    // "İ" lowers to "i", a byte shorter: the marker, the numbers and the show part are all read
    // from the lowered name.
    const Case cases[] = {
        {"İSTANBUL.İZMİR.S01E02.720p.mkv", {true, "istanbul izmir", 1, 2, 1}},
        {"Çİ - 03x04 - Title.avi", {true, "çi", 3, 4, 3}},
        {"ΆΛΦΑ İİ 2x05 Ω.mkv", {true, "άλφα ii", 2, 5, 11}},
    };
    expectAll(false, cases);

    // A show found earlier (the folder name, in the driver's order) is replaced entirely.
    QueueItem item;
    item.path = "/tv/İ.S01E02.avi";
    item.file_name = "İ.S01E02.avi";
    item.detected_show = "a much longer show name from an earlier detection";
    ActivityLog log;
    ASSERT_TRUE(getbits(item, false, log));
    EXPECT_EQ(item.detected_show, "i");
}

TEST(Getbits, FolderNames) {
    const Case cases[] = {
        {"/tv/Show.Name.S01E02.720p.HDTV/video.avi", {true, "show name", 1, 2, 1}},
        {"/tv/Show.Name.S01E02/video.avi", {false}},  // dotted rows need a "." behind the marker
        {"/tv/Show.Name.105.HDTV/video.avi", {true, "show name", 1, 5, 2}},
        {"/tv/Show 1x02/video.avi", {true, "show", 1, 2, 15}},
        {"/tv/Season 1/show.s01e02.avi", {false}},
        {"/tv/Show 2005/x.avi", {false}},  // bare digit rows skip folders
        {"/tv/show_s01e02/x.avi", {false}},
        {"/tv/show_01.02/x.avi", {false}},
        {"/x.avi", {false}},
    };
    expectAll(true, cases);
    // The driver then falls back to the file name.
    Outcome fallback = detect("/tv/Season 1/Show.S01E02.avi", false);
    EXPECT_TRUE(fallback.ok);
    EXPECT_EQ(fallback.show, "show");
}

TEST(Getbits, LogLines) {
    std::vector<std::string> lines;
    detect("/tv/Show.S01E02.avi", false, &lines);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"(t) Looking up filename filter for: show.s01e02.avi (p=0)",
                                        "(t) Found filename filter with id: 1"}));

    detect("/tv/Season 1/x.avi", true, &lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"(t) Looking up filename filter for: season 1 (p=1)",
                                               "(t) No filter found"}));

    // A backward row that only finds "1080p" gives up without a word.
    detect("/tv/Show 1080p.avi", false, &lines);
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{"(t) Looking up filename filter for: show 1080p.avi (p=0)"}));
}

TEST(Getbits, ErrorsAreLoggedAndReturnFalse) {
    struct Case {
        const char* path;
        bool p;
    } cases[] = {
        {"/tv/bad &#.s01e02.avi", false},
        {"/tv/Bad &#99999;.S01E02.x264/x.avi", true},
        {"x.avi", true},  // no folder to look at
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines;
        Outcome got = detect(c.path, c.p, &lines);
        EXPECT_FALSE(got.ok) << c.path;
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("(t) Error getting filename filter: ", 0), 0u) << lines.back();
    }
    // The error is a level-1 line, kept at the normal threshold.
    QueueItem item;
    item.file_name = "bad &#.s01e02.avi";
    ActivityLog log;
    EXPECT_FALSE(getbits(item, false, log));
    EXPECT_EQ(log.lines().size(), 1u);
}

// The rows read plainly: the first whose wildcard pattern matches the whole name, its marker's
// last place (a backward row: the last not followed by "p"), searched at every position.
// The row and the marker's place.
std::optional<std::pair<const FilenameFilter*, size_t>> referenceRow(const std::string& name) {
    for (const FilenameFilter& f : filenameFilters()) {
        if (!likeMatch(name, f.pattern)) continue;
        const std::string marker = f.marker;
        std::optional<size_t> found;
        for (size_t pos = 0; pos + marker.size() <= name.size(); ++pos) {
            bool at = true;
            for (size_t i = 0; i < marker.size() && at; ++i) {
                const char c = name[pos + i];
                at = marker[i] == '#' ? (c >= '0' && c <= '9') : c == marker[i];
            }
            const size_t next = pos + marker.size();
            if (at && (f.scan == MarkerScan::kForward || next == name.size() || name[next] != 'p'))
                found = pos;
        }
        if (!found) return std::nullopt;
        return std::make_pair(&f, *found);
    }
    return std::nullopt;
}

TEST(Getbits, AgreesWithThePlainWildcardReadingOnAnyName) {
    // Pieces that make markers, near-markers, multi-byte and broken UTF-8, and long digit runs.
    const std::vector<std::string> pieces = {
        "show",     ".",        " ",    "-",    " - ",    "s",    "e",       "x",
        "p",        "0",        "1",    "2",    "9",      "12",   "720",     "1080",
        "\xc3\xa9", "\xe2\x80", "\xff", "\xd7", "s01e02", "1x05", ".s1.e2.", std::string(70, '7')};
    std::mt19937 random(7);
    for (int n = 0; n < 20000; ++n) {
        std::string name;
        const int parts = 1 + static_cast<int>(random() % 12);
        for (int k = 0; k < parts; ++k)
            name += pieces[random() % pieces.size()];
        QueueItem item;
        item.path = "/tv/" + name;
        item.file_name = name;
        ActivityLog log;
        int32_t id = 0;
        const bool ok = getbits(item, false, log, &id);
        const std::string lower = lowerCase(name);
        const auto expected = referenceRow(lower);
        if (!expected) {
            ASSERT_FALSE(ok) << name;
            continue;
        }
        if (!ok) {
            // Found, but the show name was refused: that is logged as an error.
            ASSERT_FALSE(log.lines().empty()) << name;
            continue;
        }
        const FilenameFilter& f = *expected->first;
        ASSERT_EQ(id, f.id) << name;
        ASSERT_EQ(item.season,
                  std::stoi(lower.substr(expected->second + f.season_offset, f.season_length)))
            << name;
        ASSERT_EQ(item.episode,
                  std::stoi(lower.substr(expected->second + f.episode_offset, f.episode_length)))
            << name;
    }
}

}  // namespace

}  // namespace vantel
