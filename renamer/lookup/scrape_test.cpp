#include "renamer/lookup/scrape.h"

#include <gtest/gtest.h>

#include "renamer/common/activity_log.h"
#include "renamer/common/text.h"
#include "renamer/lookup/cache_files.h"
#include "renamer/lookup/listings.h"

namespace vantel {

namespace {

TEST(ParseLong, Table) {
    struct Case {
        const char* text;
        std::optional<int32_t> want;
        const char* error;
    } cases[] = {
        {"1871", 1871, ""},
        {" 42 ", 42, ""},
        {"-7", -7, ""},
        {"+7", 7, ""},
        {"2147483647", 2147483647, ""},
        {"-2147483648", INT32_MIN, ""},
        {"2147483648", std::nullopt, "Overflow"},
        {"99999999999999999999", std::nullopt, "Overflow"},
        {"null", std::nullopt, "Type mismatch"},
        {"", std::nullopt, "Type mismatch"},
        {"12a", std::nullopt, "Type mismatch"},
        {"1.5", std::nullopt, "Type mismatch"},
        {"-", std::nullopt, "Type mismatch"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(ParseLong(c.text, &error), c.want) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(Scrape, ShowNameEndsAtTheFirstQuoteBeforeAComma) {
    // JSON escapes are not decoded; what the cut leaves is cleaned like any title.
    ShowMatch show;
    std::string error;
    ASSERT_TRUE(
        scrapeFirstShow(R"({"id":5,"url":"u","name":"Say \"Hi\", Bye","x":1})", &show, &error));
    EXPECT_EQ(show.title, "Say  Hi");
    EXPECT_FALSE(scrapeFirstShow(R"({"id":3,"url":"u","name":"Bad &#xZZ; one",})", &show, &error));
    EXPECT_NE(error.find("character reference"), std::string::npos) << error;
}

TEST(Scrape, EpisodesSkipSpecials) {
    const std::string reply =
        R"([{"id":11,"url":"\"u1\"","name":"Before","season":1,"number":null,"airdate":"2018-12-24",)"
        R"("x":0},{"id":12,"url":"u2","name":"Lights &amp; On","season":1,"number":1,)"
        R"("airdate":"2019-01-06","x":0},{"id":13,"url":"u3","name":"Extra","season":null,)"
        R"("number":null,"airdate":"","x":0},{"id":14,"url":"u4","name":"Return","season":2,)"
        R"("number":1,"airdate":null,"x":0}])";
    EpisodeList episodes;
    episodes.append({"old", 9, 9, "", ""});
    int skipped = -1;
    std::string error;
    ASSERT_TRUE(scrapeEpisodes(reply, episodes, &skipped, &error)) << error;
    EXPECT_EQ(skipped, 2);
    ASSERT_EQ(episodes.count(), 2u);
    EXPECT_EQ(episodes.at(0), EpisodeEntry{});
    EXPECT_EQ(episodes.at(1), (EpisodeEntry{"2019-01-06", 1, 1, "\"u2\"", "Lights & On"}));
    EXPECT_EQ(episodes.at(2), (EpisodeEntry{"", 2, 1, "\"u4\"", "Return"}));
    EXPECT_EQ(episodes.find(9, 9), nullptr);  // rebuilt, not appended to
}

TEST(CacheFiles, NamesStayInsideTheCacheFolder) {
    struct Case {
        const char* name;
        const char* want;  // nullptr: refused
    } cases[] = {
        {"Under the Dome", "/w/cache/Under the Dome.qc"},
        {"law &amp; disorder", "/w/cache/law & disorder.qc"},
        {"../../escape", "/w/cache/....escape.qc"},
        {"a&#47;b", "/w/cache/ab.qc"},
        {"&#x2F;etc&#x2F;passwd", "/w/cache/etcpasswd.qc"},
        {"a\\b", "/w/cache/a b.qc"},
        {"nul&#0;here", "/w/cache/nulhere.qc"},
        {"..", "/w/cache/...qc"},
        {"bad &#xZZ;", nullptr},
    };
    for (const Case& c : cases) {
        std::string error;
        std::optional<std::string> path = cacheFilePath("/w/", c.name, ".qc", &error);
        if (c.want) {
            EXPECT_EQ(path.value_or("(refused: " + error + ")"), c.want) << c.name;
        } else {
            EXPECT_FALSE(path.has_value()) << c.name;
            EXPECT_FALSE(error.empty()) << c.name;
        }
    }
}

TEST(CacheFiles, EpisodeCacheKeepsOnlyAiredEpisodes) {
    EpisodeList episodes;
    episodes.append({"2013-06-24", 1, 1, "\"u1\"", "Pilot"});
    episodes.append({"2999-01-01", 1, 2, "\"u2\"", "Future"});
    episodes.append({"0000-00-00", 1, 3, "\"u3\"", "No Date"});
    episodes.append({"2013-07-01", 1, 4, "\"u4\"", "Caf\xC3\xA9"});
    ActivityLog log;
    const std::string text = formatEpisodeCache(episodes, log);
    EXPECT_EQ(text,
              "2013-06-24\t1\t1\t\"u1\"\tPilot\r\n"
              "2013-07-01\t1\t4\t\"u4\"\tCaf\xC3\xA9\r\n");

    EpisodeList read;
    std::string error;
    ASSERT_TRUE(parseEpisodeCache(text, read, &error)) << error;
    ASSERT_EQ(read.count(), 2u);
    EXPECT_EQ(read.at(2), episodes.at(4));

    // A bad line leaves the table alone; the text after the last line end is ignored.
    EXPECT_FALSE(parseEpisodeCache("2013-06-24\tx\t1\tu\tt\r\n", read, &error));
    EXPECT_EQ(error, "Type mismatch");
    EXPECT_FALSE(parseEpisodeCache("2013-06-24\t1\t1\tu\r\n", read, &error));
    EXPECT_EQ(error, "Subscript out of range");
    EXPECT_EQ(read.count(), 2u);
    ASSERT_TRUE(parseEpisodeCache("2013-06-24\t1\t1\tu\tt\r\ntrailing", read, &error));
    EXPECT_EQ(read.count(), 1u);
}

TEST(HasAired, Table) {
    using namespace std::chrono;
    const year_month_day today{year{2024}, month{3}, day{15}};
    struct Case {
        const char* date;
        bool aired;
        bool logged;
    } cases[] = {
        {"2024-03-15", true, false}, {"2024-03-14", true, false},  {"2024-03-16", false, false},
        {"1999-12-31", true, false}, {"2030-01-01", false, false}, {"0000-00-00", false, false},
        {"0-0-0", false, false},     {"2024-00-10", false, false}, {"2024-03-00", false, false},
        {"", false, true},           {"2024-03", false, true},     {"abc", false, true},
        {"2024-02-30", false, true}, {"2024-13-01", false, true},  {"20x4-03-01", false, true},
        {"0000-01-01", false, true}, {"2024-2-9", true, false},
    };
    for (const Case& c : cases) {
        ActivityLog log;
        EXPECT_EQ(HasAired(c.date, today, log), c.aired) << c.date;
        EXPECT_EQ(log.lines().size(), c.logged ? 1u : 0u) << c.date;
        if (c.logged && !log.lines().empty()) {
            EXPECT_NE(log.lines()[0].find(") Error checking date"), std::string::npos);
        }
    }
}

TEST(DecodeTitle, DecodedOrOneCharacterPerByte) {
    ActivityLog log;
    EXPECT_EQ(DecodeTitle("Am\xC3\xA9lie", false, log), "Am\xC3\xA9lie");
    EXPECT_EQ(DecodeTitle("Am\xC3\xA9lie", true, log), "Am\xC3\x83\xC2\xA9lie");  // "AmÃ©lie"
    EXPECT_EQ(DecodeTitle("Plain", true, log), "Plain");
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace

}  // namespace vantel
