// vantel-cli from queued files to renamed ones, with every lookup going through the real socket
// control to the TVmaze stand-in: names in the shapes detection knows, the caches (a second run
// asks nothing; nocache asks every time and writes nothing), UTF-8 titles, a show the service
// does not know, a missing episode, and an episode that aired after the cache was written.

#include "renamer/engine/paths.h"
#include "tests/cli_run.h"

using namespace vantel;

namespace {

// A file queued from the test's folder and the name it must end with, both below that folder.
struct Renamed {
    std::string from;
    std::string to;
};

class LookupRun : public CliRun {
  protected:
    void touchAll(const std::vector<Renamed>& files) {
        for (const Renamed& f : files)
            touch(f.from);
    }
    // Every file ended Done under its new name, with its own content, and the old name is gone.
    void expectRenamed(const CliReport& report, const std::vector<Renamed>& files) {
        for (const Renamed& f : files) {
            CliLine line = report.item(getfname(f.from));
            EXPECT_EQ(line.status, "Done") << f.from << ": " << line.detail;
            EXPECT_EQ(line.detail, dir(f.to)) << f.from;
            EXPECT_EQ(readFile(dir(f.to)), getfname(f.from)) << f.to;
            EXPECT_FALSE(readFile(dir(f.from))) << f.from;
        }
    }
};

TEST_F(LookupRun, AFolderOfSeveralShowsIsRenamedExactlyAndASecondRunAsksNothing) {
    // One file per shape: dotted, spaced, dashed, a three-digit number, a release folder whose
    // name carries the episode; a show whose title holds an entity; a show with specials.
    const std::vector<Renamed> first = {
        {"tv/Under.the.Dome.S01E02.720p.HDTV.x264.mkv", "tv/Under the Dome - 1x02 - The Fire.mkv"},
        {"tv/Game of Thrones 1x03 Lord Snow.avi", "tv/Game of Thrones - 1x03 - Lord Snow.avi"},
        {"tv/Lantern Hollow - 1x02 - unknown.mp4", "tv/Lantern Hollow - 1x02 - The Keeper.mp4"},
        {"tv/law.and.disorder.102.avi", "tv/Law & Disorder - 1x02 - Disorder.avi"},
        {"tv/Mr.Robot.S01E01.1080p/mr-robot-e01.mkv",
         "tv/Mr.Robot.S01E01.1080p/Mr. Robot - 1x01 - eps1.0hellofriend.mov.mkv"},
    };
    touchAll(first);
    touch("tv/notes.txt");
    touch("tv/Sample/under.the.dome.s01e01.sample.mkv");

    CliReport run = runCli({dir("tv")});
    EXPECT_EQ(run.run.exitCode, 0) << run.run.err;
    EXPECT_EQ(run.lines.size(), first.size());  // neither the text file nor the sample
    expectRenamed(run, first);
    // One search and one listing per show.
    EXPECT_EQ(requests("/search/shows"), 5);
    EXPECT_EQ(requests("/shows/"), 5);
    EXPECT_TRUE(run.logged("Registered the socket control")) << run.run.err;

    // New files of the same shows: the caches answer everything.
    const std::vector<Renamed> second = {
        {"more/under.the.dome.s01e03.mkv", "more/Under the Dome - 1x03 - Manhunt.mkv"},
        {"more/Game.of.Thrones.S01E01.mkv", "more/Game of Thrones - 1x01 - Winter is Coming.mkv"},
        {"more/lantern hollow 1x01 x.avi", "more/Lantern Hollow - 1x01 - Lights On.avi"},
        {"more/Law.and.Disorder.S01E01.mp4", "more/Law & Disorder - 1x01 - Order.mp4"},
        {"more/mr.robot.s01e02.mkv", "more/Mr. Robot - 1x02 - eps1.1_ones-and-zer0es.mpeg.mkv"},
    };
    touchAll(second);
    ASSERT_TRUE(server().reset());
    CliReport again = runCli({dir("more")});
    EXPECT_EQ(again.run.exitCode, 0) << again.run.err;
    expectRenamed(again, second);
    EXPECT_EQ(requests(), 0);
    EXPECT_TRUE(again.logged("Found query in cache"));
    EXPECT_TRUE(again.logged("Found episode in cache"));
    EXPECT_FALSE(again.logged("Registered the socket control"));  // registered once for good
}

TEST_F(LookupRun, WithoutTheCacheEveryFileAsksAndNothingIsWritten) {
    set("nocache", "1");
    const std::vector<Renamed> files = {
        {"tv/under.the.dome.s01e01.mkv", "tv/Under the Dome - 1x01 - Pilot.mkv"},
        {"tv/under.the.dome.s01e02.mkv", "tv/Under the Dome - 1x02 - The Fire.mkv"},
        {"tv/under.the.dome.s01e03.mkv", "tv/Under the Dome - 1x03 - Manhunt.mkv"},
    };
    touchAll(files);
    CliReport run = runCli({dir("tv")});
    expectRenamed(run, files);
    EXPECT_EQ(requests("/search/shows"), 3);
    EXPECT_EQ(requests("/shows/1/episodes"), 3);
    EXPECT_EQ(cacheFiles(), std::vector<std::string>{});
    EXPECT_TRUE(run.logged("Query cache disabled"));
    EXPECT_TRUE(run.logged("Ep cache disabled"));
}

// Titles arrive as UTF-8 bytes; decoded they give the characters, kept (noutf8) they give one
// character per byte. Show titles are decoded like episode titles.
TEST_F(LookupRun, Utf8TitlesAreDecodedUnlessSwitchedOff) {
    struct Case {
        bool noutf8;
        std::vector<Renamed> files;
    } cases[] = {
        {false,
         {{"a/Amelie.S01E01.mkv", "a/Amélie - 1x01 - Café Noir.mkv"},
          {"a/Amelie.S01E02.mkv", "a/Amélie - 1x02 - Tom & Jerry.mkv"},
          {"a/Amelie.S01E03.mkv", "a/Amélie - 1x03 - Tōkyō 東京.mkv"},
          {"a/Amelie.S02E01.mkv", "a/Amélie - 2x01 - Crème Brûlée.mkv"}}},
        {true,
         {{"b/Amelie.S01E01.mkv", "b/AmÃ©lie - 1x01 - CafÃ© Noir.mkv"},
          {"b/Amelie.S02E01.mkv", "b/AmÃ©lie - 2x01 - CrÃ¨me BrÃ»lÃ©e.mkv"}}},
    };
    for (const Case& c : cases) {
        set("noutf8", c.noutf8 ? "1" : "0");
        set("nocache", "1");  // each case from the service
        touchAll(c.files);
        CliReport run = runCli({dir(c.noutf8 ? "b" : "a")});
        expectRenamed(run, c.files);
    }
}

TEST_F(LookupRun, UnknownShowsAndMissingEpisodesFailWithTheirReasons) {
    struct Case {
        const char* file;
        const char* detail;
        const char* log;
    } cases[] = {
        {"unknown.show.s01e01.mkv",
         "Unable to find show on TVmaze (www.tvmaze.com) / Searched for: unknown show",
         "Site reports no results for: \"unknown show\""},
        {"under.the.dome.s09e01.mkv",
         "Unable to find listings on TVmaze (www.tvmaze.com) / Searched for: under the dome / "
         "Detected as: Under the Dome 9x1",
         "Unable to find listings for: Under the Dome 9x1"},
        {"no episode marker.mkv", "Unable to find filename filter",
         "Unable to find filename filter for: no episode marker.mkv"},
    };
    for (const Case& c : cases)
        touch(std::string("tv/") + c.file);
    touch("tv/under.the.dome.s01e04.mkv");
    CliReport run = runCli({dir("tv")});
    EXPECT_EQ(run.run.exitCode, 1);
    for (const Case& c : cases) {
        CliLine line = run.item(c.file);
        EXPECT_EQ(line.status, "Failed") << c.file;
        EXPECT_EQ(line.detail, c.detail) << c.file;
        EXPECT_TRUE(run.logged(c.log)) << c.log;
        EXPECT_EQ(readFile(dir(std::string("tv/") + c.file)), c.file);  // left alone
    }
    // The other file of the show was renamed all the same.
    EXPECT_EQ(run.item("under.the.dome.s01e04.mkv").status, "Done");
}

// The episode cache keeps only what has aired: an episode that airs later is fetched again
// (and matched from the fresh list), while aired ones are answered from the file.
TEST_F(LookupRun, AnEpisodeNewerThanTheCacheIsFetchedAgain) {
    struct Step {
        const char* file;
        const char* renamed;
        int searches;
        int listings;
    } steps[] = {
        {"Meridian.Station.S01E01.mkv", "Meridian Station - 1x01 - Docking.mkv", 1, 1},
        {"Meridian.Station.S01E02.mkv", "Meridian Station - 1x02 - Yesterday.mkv", 0, 0},
        {"Meridian.Station.S01E03.mkv", "Meridian Station - 1x03 - Tomorrow.mkv", 0, 1},
        {"meridian station 1x04 x.mkv", "Meridian Station - 1x04 - Next Month.mkv", 0, 1},
        {"meridian.station.s01e02.avi", "Meridian Station - 1x02 - Yesterday.avi", 0, 0},
    };
    for (const Step& s : steps) {
        const std::string from = std::string("tv/") + s.file;
        touch(from);
        ASSERT_TRUE(server().reset());
        CliReport run = runCli({dir(from)});
        CliLine line = run.item(s.file);
        EXPECT_EQ(line.status, "Done") << s.file << ": " << line.detail;
        EXPECT_EQ(line.detail, dir(std::string("tv/") + s.renamed));
        EXPECT_EQ(requests("/search/shows"), s.searches) << s.file;
        EXPECT_EQ(requests("/shows/90003/episodes"), s.listings) << s.file;
    }
    // The cache holds the aired episodes only.
    std::optional<std::string> cache = readFile(cacheDir() + "/Meridian Station.epc");
    ASSERT_TRUE(cache);
    EXPECT_NE(cache->find("\tDocking\r\n"), std::string::npos);
    EXPECT_NE(cache->find("\tYesterday\r\n"), std::string::npos);
    EXPECT_EQ(cache->find("Tomorrow"), std::string::npos);
}

TEST_F(LookupRun, ADryRunPlansEveryOperationAndTouchesNothing) {
    touch("tv/Under.the.Dome.S01E01.mkv");
    touch("tv/unknown.show.s01e01.mkv");
    CliReport run = runCli({"--dry-run", dir("tv")});
    EXPECT_EQ(run.run.exitCode, 1);  // one item could not be planned
    CliLine planned = run.item("Under.the.Dome.S01E01.mkv");
    EXPECT_EQ(planned.status, "Planned");
    EXPECT_EQ(planned.detail, dir("tv/Under the Dome - 1x01 - Pilot.mkv"));
    EXPECT_EQ(planned.action, "Rename");
    EXPECT_EQ(run.item("unknown.show.s01e01.mkv").status, "Failed");
    EXPECT_TRUE(readFile(dir("tv/Under.the.Dome.S01E01.mkv")));
    EXPECT_FALSE(readFile(dir("tv/Under the Dome - 1x01 - Pilot.mkv")));
}

TEST_F(LookupRun, TheApiOptionComesBeforeTheEnvironment) {
    touch("tv/Under.the.Dome.S01E01.mkv");
    m_env["VANTEL_API_BASE"] = "http://127.0.0.1:9";  // nothing listens there
    CliReport run = runCli({"--api", server().httpUrl("/"), dir("tv")});
    EXPECT_EQ(run.item("Under.the.Dome.S01E01.mkv").status, "Done") << run.run.err;
    EXPECT_EQ(requests("/search/shows"), 1);
}

}  // namespace
