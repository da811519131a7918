#include "renamer/lookup/search.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "renamer/lookup/lookup_test_support.h"
#include "tools/testsupport/loopback_http.h"

namespace vantel {

namespace {

class SearchTest : public LookupServiceTest {};

const char* const kDomeUrl = "\"https://www.tvmaze.com/shows/1/under-the-dome\"";

TEST_F(SearchTest, SecondItemOfAShowComesFromTheCache) {
    LookupContext ctx = context();
    QueueItem first = item("under the dome");
    ASSERT_TRUE(searchtv(first, ctx));
    EXPECT_EQ(first.show_id, 1);
    EXPECT_EQ(first.show_title, "Under the Dome");
    EXPECT_EQ(first.show_url, kDomeUrl);
    EXPECT_TRUE(logged("Query not in cache"));
    EXPECT_TRUE(logged("Updating query cache"));
    EXPECT_EQ(server().lastRequest("/search/"),
              "GET /search/shows?q=under+the+dome HTTP/1.0\r\nHost: 127.0.0.1\r\n"
              "Accept: */*\r\n\r\n");
    EXPECT_EQ(readFile(cachePath("under the dome.qc")),
              std::string("1\t") + kDomeUrl + "\tUnder the Dome");

    QueueItem second = item("under the dome");
    ASSERT_TRUE(searchtv(second, ctx));
    EXPECT_EQ(requests("/search/"), 1);
    EXPECT_TRUE(logged("Found query in cache"));
    EXPECT_EQ(second.show_id, 1);
    EXPECT_EQ(second.show_title, "Under the Dome");
    EXPECT_EQ(second.show_url, kDomeUrl);
}

TEST_F(SearchTest, AnUnchangedQueryCacheIsReadOnceAndAnyChangeIsSeenByTheNextItem) {
    std::filesystem::create_directory(m_dir.path() + "/cache");
    const std::string cache = cachePath("under the dome.qc");
    ASSERT_TRUE(writeFile(cache, std::string("1\t") + kDomeUrl + "\tUnder the Dome"));
    // A file that has only just changed is not taken as settled.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    QueryCacheSource source;
    LookupContext ctx = context();
    ctx.queries_from = &source;

    QueueItem first = item("under the dome");
    ASSERT_TRUE(searchtv(first, ctx));
    EXPECT_EQ(first.show_title, "Under the Dome");
    ASSERT_TRUE(source.stamp.has_value());
    const std::optional<FileStamp> read_first = source.stamp;
    QueueItem second = item("under the dome");
    ASSERT_TRUE(searchtv(second, ctx));
    EXPECT_EQ(second.show_id, 1);
    EXPECT_EQ(second.show_title, "Under the Dome");
    EXPECT_EQ(second.show_url, kDomeUrl);
    EXPECT_EQ(source.stamp, read_first);

    // Written over in place by another program, same size: the next item reads it again.
    ASSERT_TRUE(writeFile(cache, std::string("7\t") + kDomeUrl + "\tUnder the Tomb"));
    QueueItem third = item("under the dome");
    ASSERT_TRUE(searchtv(third, ctx));
    EXPECT_EQ(third.show_id, 7);
    EXPECT_EQ(third.show_title, "Under the Tomb");

    // Deleted by the user: the next item asks the service.
    std::filesystem::remove(cache);
    QueueItem fourth = item("under the dome");
    ASSERT_TRUE(searchtv(fourth, ctx));
    EXPECT_EQ(requests("/search/"), 1);
    EXPECT_EQ(fourth.show_id, 1);
}

// A cache file that is a FIFO or a device is refused with a line that says so (never waited
// on, never read without bound); the show is asked for instead.
TEST_F(SearchTest, ACacheFileThatIsNoRegularFileIsNotRead) {
    LookupContext ctx = context();
    std::filesystem::create_directories(m_dir.path() + "/cache");
    ASSERT_EQ(::mkfifo(cachePath("under the dome.qc").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", cachePath("lost.qc"));
    QueueItem dome = item("under the dome");
    EXPECT_TRUE(searchtv(dome, ctx));
    EXPECT_EQ(dome.show_id, 1);
    EXPECT_TRUE(logged("Error checking q cache: under the dome.qc is not a regular file"));
    QueueItem lost = item("lost");
    searchtv(lost, ctx);
    EXPECT_TRUE(logged("Error checking q cache: lost.qc is not a regular file"));
    EXPECT_EQ(requests("/search/"), 2);
}

TEST_F(SearchTest, WithoutCacheEveryItemAsksAndNothingIsWritten) {
    m_settings.nocache = true;
    LookupContext ctx = context();
    for (int i = 0; i < 2; ++i) {
        QueueItem it = item("under the dome");
        ASSERT_TRUE(searchtv(it, ctx));
        EXPECT_EQ(it.show_id, 1);
    }
    EXPECT_EQ(requests("/search/"), 2);
    EXPECT_EQ(loggedCount("Query cache disabled"), 2);
    EXPECT_FALSE(logged("Updating query cache"));
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() + "/cache"));
}

TEST_F(SearchTest, NoResultsLeavesTheItemAlone) {
    LookupContext ctx = context();
    QueueItem it = item("no such show");
    it.show_id = 7;
    it.show_title = "kept";
    it.show_url = "\"kept\"";
    EXPECT_FALSE(searchtv(it, ctx));
    EXPECT_TRUE(logged("Site reports no results for: \"no such show\""));
    EXPECT_EQ(it.show_id, 7);
    EXPECT_EQ(it.show_title, "kept");
    EXPECT_EQ(it.show_url, "\"kept\"");
    EXPECT_FALSE(std::filesystem::exists(cachePath("no such show.qc")));
}

TEST_F(SearchTest, TakesTheFirstOfSeveralShows) {
    LookupContext ctx = context();
    QueueItem it = item("mr robot");
    ASSERT_TRUE(searchtv(it, ctx));
    EXPECT_EQ(it.show_id, 1871);
    EXPECT_EQ(it.show_title, "Mr. Robot");
    EXPECT_EQ(it.show_url, "\"http://www.tvmaze.com/shows/1871/mr-robot\"");
}

TEST_F(SearchTest, CacheFileIsNamedAfterTheDecodedName) {
    LookupContext ctx = context();
    QueueItem it = item("law &amp; disorder");
    ASSERT_TRUE(searchtv(it, ctx));
    EXPECT_EQ(it.show_id, 90004);
    EXPECT_EQ(it.show_title, "Law & Disorder");  // the service's own title held an entity
    EXPECT_TRUE(std::filesystem::exists(cachePath("law & disorder.qc")));
}

TEST_F(SearchTest, NamesThatLookLikePathsStayInTheCacheFolder) {
    mode("path=/search/&file=derived-search-under-the-dome.json");
    LookupContext ctx = context();
    for (const char* name : {"../../escape", "a&#47;b", "&#x2F;tmp&#x2F;x"}) {
        QueueItem it = item(name);
        ASSERT_TRUE(searchtv(it, ctx)) << name;
    }
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(m_dir.path()))
        files.push_back(std::filesystem::relative(e.path(), m_dir.path()).string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"cache", "cache/....escape.qc", "cache/ab.qc",
                                               "cache/tmpx.qc"}));
}

TEST_F(SearchTest, ShowTitlesAreDecodedLikeEpisodeTitles) {
    LookupContext ctx = context();
    QueueItem it = item("am\xC3\xA9lie");
    ASSERT_TRUE(searchtv(it, ctx));
    EXPECT_EQ(it.show_id, 90001);
    EXPECT_EQ(it.show_title, "Am\xC3\xA9lie");
    // The cache keeps the received bytes; decoding happens when it is read.
    EXPECT_EQ(readFile(cachePath("am\xC3\xA9lie.qc")),
              "90001\t\"https://www.tvmaze.com/shows/90001/amelie\"\tAm\xC3\xA9lie");

    m_settings.noutf8 = true;
    QueueItem cached = item("am\xC3\xA9lie");
    ASSERT_TRUE(searchtv(cached, ctx));
    EXPECT_EQ(cached.show_title, "Am\xC3\x83\xC2\xA9lie");  // one character per byte: "AmÃ©lie"

    m_settings.nocache = true;
    QueueItem fetched = item("am\xC3\xA9lie");
    ASSERT_TRUE(searchtv(fetched, ctx));
    EXPECT_EQ(fetched.show_title, "Am\xC3\x83\xC2\xA9lie");
}

TEST_F(SearchTest, RepliesItCannotRead) {
    LookupContext ctx = context();
    struct Case {
        const char* body;
        const char* logged;
    } cases[] = {
        {R"({"message":"odd"})", "Error parsing results (Err 2)"},
        {R"([{"show":{"id":null,"url":"u","name":"N",}}])",
         "Error searching for show: Type mismatch"},
        {R"([{"show":{"id":99999999999,"url":"u","name":"N",}}])",
         "Error searching for show: Overflow"},
    };
    for (const Case& c : cases) {
        mode("path=/search/&body=" + queryEscape(c.body));
        QueueItem it = item("whatever");
        EXPECT_FALSE(searchtv(it, ctx)) << c.body;
        EXPECT_TRUE(logged(c.logged)) << c.body;
    }
    EXPECT_FALSE(std::filesystem::exists(cachePath("whatever.qc")));
}

TEST_F(SearchTest, AFailedRequestIsNotFoundWithoutAMessage) {
    mode("path=/search/&status=500");
    LookupContext ctx = context();
    QueueItem it = item("under the dome");
    EXPECT_FALSE(searchtv(it, ctx));
    EXPECT_EQ(m_log.lines().size(), 1u);  // "Query not in cache" only
}

TEST_F(SearchTest, AMissingControlIsReported) {
    m_host.hostsControl = false;
    LookupContext ctx = context();
    QueueItem it = item("under the dome");
    EXPECT_FALSE(searchtv(it, ctx));
    EXPECT_TRUE(logged("Error searching for show: The control Wirran1 is not available"));
}

TEST_F(SearchTest, UnreadableCacheFilesAreReplaced) {
    std::filesystem::create_directory(m_dir.path() + "/cache");
    struct Case {
        const char* content;
        const char* logged;  // nullptr: silently not found
    } cases[] = {
        {"abc\tx\ty", "Error checking q cache: Type mismatch"},
        {"1\tonly two", "Error checking q cache: Subscript out of range"},
        {"no tab at all", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        m_log = ActivityLog();
        m_log.setThreshold(2);
        ASSERT_TRUE(writeFile(cachePath("under the dome.qc"), c.content));
        LookupContext ctx = context();
        QueueItem it = item("under the dome");
        ASSERT_TRUE(searchtv(it, ctx)) << c.content;
        if (c.logged) {
            EXPECT_TRUE(logged(c.logged)) << c.content;
        }
        EXPECT_TRUE(logged("Query not in cache")) << c.content;
        EXPECT_EQ(readFile(cachePath("under the dome.qc")),
                  std::string("1\t") + kDomeUrl + "\tUnder the Dome")
            << c.content;
    }
    EXPECT_EQ(requests("/search/"), 4);
}

}  // namespace

}  // namespace vantel
