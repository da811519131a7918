#include "renamer/lookup/listings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "renamer/lookup/lookup_test_support.h"
#include "renamer/lookup/search.h"
#include "tools/testsupport/loopback_http.h"

namespace vantel {

namespace {

class ListingsTest : public LookupServiceTest {
  protected:
    // Lets a file just written become old enough for its stamp to count.
    static void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }
    // An item whose show has been found, as the queue driver hands it on.
    QueueItem found(const std::string& show, int32_t season, int32_t episode) {
        QueueItem it = item(show, season, episode);
        LookupContext ctx = context();
        EXPECT_TRUE(searchtv(it, ctx)) << show;
        return it;
    }
    size_t cacheLines(const std::string& file) {
        std::string text = readFile(cachePath(file)).value_or("");
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

std::string localDate(int daysFromToday) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    tm.tm_mday += daysFromToday;
    tm.tm_hour = 12;
    std::mktime(&tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

TEST_F(ListingsTest, FetchesOnceThenAnswersFromTheCache) {
    LookupContext ctx = context();
    QueueItem first = found("under the dome", 1, 1);
    std::string error;
    ASSERT_TRUE(getlistings(first, ctx, &error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(first.episode_title, "Pilot");
    EXPECT_EQ(first.episode_url, "\"https://www.tvmaze.com/episodes/1/under-the-dome-1x01-pilot\"");
    EXPECT_TRUE(logged("No matches found in ep cache"));
    EXPECT_TRUE(logged("Getting listings for: Under the Dome"));
    EXPECT_TRUE(logged("Updating ep cache"));
    EXPECT_TRUE(logged("Found episode in listings"));
    EXPECT_EQ(server().lastRequest("/shows/"),
              "GET /shows/1/episodes HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(m_episodes.count(), 39u);
    std::string cache = readFile(cachePath("Under the Dome.epc")).value_or("");
    EXPECT_EQ(cache.substr(0, cache.find("\r\n") + 2),
              "2013-06-24\t1\t1\t\"https://www.tvmaze.com/episodes/1/under-the-dome-1x01-pilot\""
              "\tPilot\r\n");
    EXPECT_EQ(cacheLines("Under the Dome.epc"), 39u);

    QueueItem second = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(second, ctx, &error));
    EXPECT_EQ(second.episode_title, "The Fire");
    EXPECT_EQ(requests("/shows/"), 1);
    EXPECT_TRUE(logged("Found episode in cache"));
}

TEST_F(ListingsTest, AnEpisodeMissingFromTheCacheFetchesAndRewritesIt) {
    QueueItem it = found("under the dome", 1, 3);
    std::filesystem::create_directory(m_dir.path() + "/cache");
    ASSERT_TRUE(writeFile(cachePath("Under the Dome.epc"), "2013-06-24\t1\t1\t\"u\"\tPilot\r\n"));
    LookupContext ctx = context();
    ASSERT_TRUE(getlistings(it, ctx));
    EXPECT_EQ(it.episode_title, "Manhunt");
    EXPECT_TRUE(logged("No matches found in ep cache"));
    EXPECT_EQ(requests("/shows/"), 1);
    EXPECT_EQ(cacheLines("Under the Dome.epc"), 39u);
}

TEST_F(ListingsTest, UnairedEpisodesAreMatchedButNeverCached) {
    // S01E02 aired yesterday, S01E03 airs tomorrow, S01E04 in a month, S01E05 has no date yet,
    // S01E06 has 0000-00-00.
    LookupContext ctx = context();
    for (int episode : {3, 4, 5, 6}) {
        QueueItem it = found("meridian station", 1, episode);
        ASSERT_TRUE(getlistings(it, ctx)) << episode;
    }
    EXPECT_EQ(requests("/shows/"), 4);  // never from the cache
    EXPECT_EQ(readFile(cachePath("Meridian Station.epc")),
              "2020-01-06\t1\t1\t\"https://www.tvmaze.com/episodes/9000301/meridian-station-1x01\""
              "\tDocking\r\n" +
                  localDate(-1) +
                  "\t1\t2\t\"https://www.tvmaze.com/episodes/9000302/meridian-station-1x02\""
                  "\tYesterday\r\n");
    EXPECT_EQ(loggedCount("Error checking date"), 4);  // the empty date, once per fetch

    QueueItem yesterday = found("meridian station", 1, 2);
    ASSERT_TRUE(getlistings(yesterday, ctx));
    EXPECT_EQ(yesterday.episode_title, "Yesterday");
    EXPECT_EQ(requests("/shows/"), 4);
}

TEST_F(ListingsTest, SpecialsAreSkipped) {
    LookupContext ctx = context();
    QueueItem it = found("lantern hollow", 2, 1);
    ASSERT_TRUE(getlistings(it, ctx));
    EXPECT_EQ(it.episode_title, "Return");
    EXPECT_EQ(m_episodes.count(), 3u);
    EXPECT_TRUE(logged("Skipped 2 listings without a season or number"));
    EXPECT_EQ(cacheLines("Lantern Hollow.epc"), 3u);
}

TEST_F(ListingsTest, AShowWithNothingAiredIsFetchedEveryTime) {
    const std::string future = localDate(30);
    mode("path=/shows/&body=" +
         queryEscape(R"([{"id":7,"url":"u7","name":"Soon","season":1,"number":1,"airdate":")" +
                     future + R"(","x":0}])"));
    LookupContext ctx = context();
    for (int i = 0; i < 2; ++i) {
        QueueItem it = found("under the dome", 1, 1);
        ASSERT_TRUE(getlistings(it, ctx));
        EXPECT_EQ(it.episode_title, "Soon");
    }
    EXPECT_EQ(requests("/shows/"), 2);
    EXPECT_EQ(readFile(cachePath("Under the Dome.epc")), "");
}

TEST_F(ListingsTest, TwoDetectedNamesShareOneEpisodeCache) {
    LookupContext ctx = context();
    QueueItem first = found("law & disorder", 1, 1);
    ASSERT_TRUE(getlistings(first, ctx));
    QueueItem second = found("law and disorder", 1, 2);
    ASSERT_TRUE(getlistings(second, ctx));
    EXPECT_EQ(second.episode_title, "Disorder");
    EXPECT_EQ(requests("/search/"), 2);
    EXPECT_EQ(requests("/shows/"), 1);
    EXPECT_TRUE(std::filesystem::exists(cachePath("law & disorder.qc")));
    EXPECT_TRUE(std::filesystem::exists(cachePath("law and disorder.qc")));
    EXPECT_TRUE(std::filesystem::exists(cachePath("Law & Disorder.epc")));
}

TEST_F(ListingsTest, EpisodeTitles) {
    struct Case {
        int32_t season, episode;
        const char* decoded;
        const char* undecoded;  // with noutf8
    } cases[] = {
        {1, 1, "Caf\xC3\xA9 Noir", "Caf\xC3\x83\xC2\xA9 Noir"},
        {1, 2, "Tom & Jerry", "Tom & Jerry"},
        {1, 3, "T\xC5\x8Dky\xC5\x8D \xE6\x9D\xB1\xE4\xBA\xAC",
         // One character per byte, without the control characters (U+008D, U+009D) among them.
         "T\xC3\x85ky\xC3\x85 \xC3\xA6\xC2\xB1\xC3\xA4\xC2\xBA\xC2\xAC"},
        {1, 4, "Part 1 Who Knows", "Part 1 Who Knows"},
        {1, 7, "Say  Cheese", "Say  Cheese"},  // JSON escapes are not decoded
        {1, 8, "Hello", "Hello"},              // cut at the escaped quote before a comma
        {2, 1,
         "Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9"
         "e",
         "Cr\xC3\x83\xC2\xA8me Br\xC3\x83\xC2\xBBl\xC3\x83\xC2\xA9"
         "e"},
    };
    for (bool noutf8 : {false, true}) {
        m_settings.noutf8 = noutf8;
        LookupContext ctx = context();
        for (const Case& c : cases) {
            QueueItem it = found("am\xC3\xA9lie", c.season, c.episode);
            ASSERT_TRUE(getlistings(it, ctx)) << c.season << "x" << c.episode;
            EXPECT_EQ(it.episode_title, noutf8 ? c.undecoded : c.decoded)
                << c.season << "x" << c.episode << " noutf8=" << noutf8;
        }
    }
    // The cache holds the received bytes, whichever way titles are shown.
    // The episode cache is named after the show's title as shown, so each form has its own file;
    // both hold the received bytes.
    EXPECT_EQ(requests("/shows/"), 2);
    for (const char* file : {"Am\xC3\xA9lie.epc", "Am\xC3\x83\xC2\xA9lie.epc"}) {
        std::string cache = readFile(cachePath(file)).value_or("");
        EXPECT_NE(cache.find("\tCaf\xC3\xA9 Noir\r\n"), std::string::npos) << file;
    }
}

TEST_F(ListingsTest, WithoutCacheTheListIsFetchedEachTime) {
    m_settings.nocache = true;
    LookupContext ctx = context();
    for (int i = 0; i < 2; ++i) {
        QueueItem it = found("under the dome", 1, 1);
        ASSERT_TRUE(getlistings(it, ctx));
    }
    EXPECT_EQ(requests("/shows/"), 2);
    EXPECT_EQ(loggedCount("Ep cache disabled"), 2);
    EXPECT_EQ(loggedCount("Found episode in listings"), 2);
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() + "/cache"));
}

TEST_F(ListingsTest, NotFoundAndUnreadableListings) {
    struct Case {
        const char* body;  // nullptr: the real list
        const char* logged;
    } cases[] = {
        {nullptr, nullptr},  // season 9 is not listed: false without a message
        {"[]", "Site reports no episodes for: \"under the dome\""},
        {R"({"message":"odd"})", "Error parsing listings (Err 5)"},
    };
    for (const Case& c : cases) {
        if (c.body) mode("path=/shows/&body=" + queryEscape(c.body));
        QueueItem it = found("under the dome", 9, 1);
        m_log = ActivityLog();
        m_log.setThreshold(1);
        LookupContext ctx = context();
        std::string error;
        EXPECT_FALSE(getlistings(it, ctx, &error));
        EXPECT_EQ(error, "");
        if (c.logged) {
            EXPECT_TRUE(logged(c.logged)) << c.logged;
        } else {
            EXPECT_TRUE(m_log.lines().empty());
        }
        EXPECT_EQ(it.episode_title, "");
    }
}

TEST_F(ListingsTest, FailuresThatAreNoAnswerOfTheService) {
    QueueItem it = found("under the dome", 1, 1);
    mode("path=/shows/&body=" +
         queryEscape(R"([{"id":1,"url":"u","name":"Bad &#xZZ; title","season":1,"number":1,)"
                     R"("airdate":"2013-06-24","x":0}])"));
    LookupContext ctx = context();
    std::string error;
    EXPECT_FALSE(getlistings(it, ctx, &error));
    EXPECT_NE(error.find("character reference"), std::string::npos) << error;

    m_host.hostsControl = false;
    EXPECT_FALSE(getlistings(it, ctx, &error));
    EXPECT_EQ(error, "The control Wirran1 is not available");
}

TEST_F(ListingsTest, UnreadableCacheLinesAreReplaced) {
    QueueItem it = found("under the dome", 1, 1);
    std::filesystem::create_directory(m_dir.path() + "/cache");
    ASSERT_TRUE(writeFile(cachePath("Under the Dome.epc"), "2013-06-24\tone\t1\t\"u\"\tPilot\r\n"));
    LookupContext ctx = context();
    ASSERT_TRUE(getlistings(it, ctx));
    EXPECT_TRUE(logged("Error checking ep cache: Type mismatch"));
    EXPECT_EQ(cacheLines("Under the Dome.epc"), 39u);
}

TEST_F(ListingsTest, AnUnchangedCacheIsReadOnceAndAnyChangeIsSeenByTheNextItem) {
    std::filesystem::create_directory(m_dir.path() + "/cache");
    const std::string cache = cachePath("Under the Dome.epc");
    const std::string line1 = "2013-06-24\t1\t1\t\"u1\"\tPilot\r\n";
    const std::string line2 = "2013-07-01\t1\t2\t\"u2\"\tThe Fire\r\n";
    ASSERT_TRUE(writeFile(cache, line1 + line2));
    // A file that has only just changed is not taken as settled.
    settle();
    EpisodeTableSource source;
    LookupContext ctx = context();
    ctx.episodes_from = &source;

    QueueItem first = found("under the dome", 1, 1);
    ASSERT_TRUE(getlistings(first, ctx));
    EXPECT_EQ(first.episode_title, "Pilot");
    EXPECT_TRUE(source.stamp.has_value());
    // The next item of the show: the file is unchanged, the table already holds its listing.
    const EpisodeTableSource after_first = source;
    QueueItem second = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(second, ctx));
    EXPECT_EQ(second.episode_title, "The Fire");
    EXPECT_EQ(source.stamp, after_first.stamp);

    // Replaced by another program: a new file, read again.
    const std::string renamed = "2013-07-01\t1\t2\t\"u2\"\tThe Fire Returns\r\n";
    ASSERT_TRUE(writeFile(cache + ".new", line1 + renamed));
    std::filesystem::rename(cache + ".new", cache);
    settle();
    QueueItem third = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(third, ctx));
    EXPECT_EQ(third.episode_title, "The Fire Returns");

    // Written over in place, same size: read again.
    const std::string same_size = "2013-07-01\t1\t2\t\"u2\"\tThe Fire Rekindl\r\n";
    ASSERT_EQ(same_size.size(), renamed.size());
    ASSERT_TRUE(writeFile(cache, line1 + same_size));
    QueueItem fourth = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(fourth, ctx));
    EXPECT_EQ(fourth.episode_title, "The Fire Rekindl");

    // Deleted by the user: the next item asks the service.
    const size_t requests = server().requestCount();
    std::filesystem::remove(cache);
    QueueItem fifth = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(fifth, ctx));
    EXPECT_GT(server().requestCount(), requests);
}

// A cache file that has only just been written has a stamp that proves nothing yet, and each
// item reads it again: the same text keeps the table it was made from, any other is read anew,
// and so is the file once the table has held another show's listing in between.
TEST_F(ListingsTest, AFileJustWrittenIsReadByEveryItemAndItsTextDecides) {
    std::filesystem::create_directory(m_dir.path() + "/cache");
    const std::string cache = cachePath("Under the Dome.epc");
    const std::string line1 = "2013-06-24\t1\t1\t\"u1\"\tPilot\r\n";
    ASSERT_TRUE(writeFile(cache, line1 + "2013-07-01\t1\t2\t\"u2\"\tThe Fire\r\n"));
    EpisodeTableSource source;
    LookupContext ctx = context();
    ctx.episodes_from = &source;

    QueueItem first = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(first, ctx));
    EXPECT_EQ(first.episode_title, "The Fire");
    EXPECT_FALSE(source.stamp.has_value()) << "changed a moment ago: not provably the same later";
    QueueItem again = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(again, ctx));
    EXPECT_EQ(again.episode_title, "The Fire");

    // Written over at once, in place and with the same size: the next item sees it.
    ASSERT_TRUE(writeFile(cache, line1 + "2013-07-01\t1\t2\t\"u2\"\tThe Firs\r\n"));
    QueueItem changed = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(changed, ctx));
    EXPECT_EQ(changed.episode_title, "The Firs");

    // Another show's listing from the service fills the table in between; the file, unchanged
    // since, is then read anew, not taken for what the table holds.
    QueueItem other = found("meridian station", 1, 3);
    ASSERT_TRUE(getlistings(other, ctx));
    QueueItem back = found("under the dome", 1, 2);
    ASSERT_TRUE(getlistings(back, ctx));
    EXPECT_EQ(back.episode_title, "The Firs");
}

}  // namespace

}  // namespace vantel
