#!/usr/bin/env python3
"""Writes the derived reply files of the TVmaze stand-in into its data folder.

The recorded replies cover only a few searches and shows. The renamer's tests also need searches
that rank a given show first and shows with awkward listings (non-ASCII and entity-laden titles,
specials, episodes that have not aired yet). This script builds those replies in the shape of the
recorded ones (same members in the same order) so that the plain-text scraping the renamer does
meets exactly what the service sends. Run it again after changing it; DERIVED.md lists every file
it writes and where each came from.

Usage: derive_data.py [DATA_DIR]   (default: tests/data/tvmaze from the top of the tree)
"""

import json
import os
import sys


def show_object(show_id, slug, name, genres, status, premiered, ended, time, day, network,
                summary, updated, externals):
    # The member order is that of the 2022 search reply (search-girls-2022.json).
    return {
        "id": show_id,
        "url": f"https://www.tvmaze.com/shows/{show_id}/{slug}",
        "name": name,
        "type": "Scripted",
        "language": "English",
        "genres": genres,
        "status": status,
        "runtime": 60,
        "averageRuntime": 60,
        "premiered": premiered,
        "ended": ended,
        "officialSite": None,
        "schedule": {"time": time, "days": [day]},
        "rating": {"average": None},
        "weight": 90,
        "network": network,
        "webChannel": None,
        "dvdCountry": None,
        "externals": externals,
        "image": None,
        "summary": summary,
        "updated": updated,
        "_links": {"self": {"href": f"https://api.tvmaze.com/shows/{show_id}"}},
    }


def search_reply(show, score):
    return [{"score": score, "show": show}]


def episode(ep_id, slug, name, season, number, airdate, kind="regular"):
    # The member order is that of the 2022 episode list (episodes-1-under-the-dome-2022.json).
    # Air dates may hold the stand-in's date tokens; airstamp follows the air date.
    code = f"{season}x{number:02d}" if season is not None and number is not None else "special"
    return {
        "id": ep_id,
        "url": f"https://www.tvmaze.com/episodes/{ep_id}/{slug}-{code}",
        "name": name,
        "season": season,
        "number": number,
        "type": kind,
        "airdate": airdate,
        "airtime": "21:00",
        "airstamp": f"{airdate}T01:00:00+00:00" if airdate else None,
        "runtime": 60,
        "rating": {"average": None},
        "image": None,
        "summary": None,
        "_links": {"self": {"href": f"https://api.tvmaze.com/episodes/{ep_id}"}},
    }


US_NETWORK = {
    "id": 2,
    "name": "CBS",
    "country": {"name": "United States", "code": "US", "timezone": "America/New_York"},
}
HBO = {
    "id": 8,
    "name": "HBO",
    "country": {"name": "United States", "code": "US", "timezone": "America/New_York"},
}
TEST_NETWORK = {
    "id": 99001,
    "name": "Test Network",
    "country": {"name": "France", "code": "FR", "timezone": "Europe/Paris"},
}
NO_EXTERNALS = {"tvrage": None, "thetvdb": None, "imdb": None}


def derived_files(data_dir):
    files = {}

    # "mr robot": the recorded "robot" search with Mr. Robot moved to the top. The two scores
    # are swapped as well, so that the reply stays ranked best first as the service ranks it.
    with open(os.path.join(data_dir, "search-robot-2015.json"), encoding="utf-8") as f:
        robot = json.load(f)
    mr_robot = [robot[1], robot[0]] + robot[2:]
    mr_robot[0] = dict(mr_robot[0], score=robot[0]["score"])
    mr_robot[1] = dict(mr_robot[1], score=robot[1]["score"])
    files["derived-search-mr-robot.json"] = mr_robot

    files["derived-search-under-the-dome.json"] = search_reply(
        show_object(1, "under-the-dome", "Under the Dome", ["Drama", "Science-Fiction",
                    "Thriller"], "Ended", "2013-06-24", "2015-09-10", "22:00", "Thursday",
                    US_NETWORK, "<p><b>Under the Dome</b> is the story of a small town that is "
                    "suddenly sealed off from the rest of the world by an enormous transparent "
                    "dome.</p>", 1631010933, {"tvrage": 25988, "thetvdb": 264492,
                                              "imdb": "tt1553656"}), 21.06)
    files["derived-search-game-of-thrones.json"] = search_reply(
        show_object(82, "game-of-thrones", "Game of Thrones", ["Drama", "Adventure", "Fantasy"],
                    "Ended", "2011-04-17", "2019-05-19", "21:00", "Sunday", HBO,
                    "<p>Based on the bestselling book series <i>A Song of Ice and Fire</i> by "
                    "George R.R. Martin.</p>", 1704794122, {"tvrage": 24493, "thetvdb": 121361,
                                                           "imdb": "tt0944947"}), 20.91)

    # A show whose title and episode titles are not ASCII, or carry HTML entities, JSON escapes
    # and characters that file names cannot hold.
    files["derived-search-amelie.json"] = search_reply(
        show_object(90001, "amelie", "Amélie", ["Comedy"], "Ended", "2020-03-02", "2020-04-20",
                    "20:30", "Monday", TEST_NETWORK, "<p>A test show with accented titles.</p>",
                    1600000000, NO_EXTERNALS), 12.5)
    amelie_titles = [
        (1, 1, "Café Noir"),                 # two-byte UTF-8
        (1, 2, "Tom &amp; Jerry"),           # an HTML entity
        (1, 3, "Tōkyō 東京"),                # three-byte UTF-8
        (1, 4, "Part 1: Who Knows?"),        # characters file names cannot hold
        (1, 5, "L&#39;Été &#x41;gain"),      # numeric character references
        (1, 6, "Smile 😀"),                  # four-byte UTF-8
        (1, 7, 'Say "Cheese"'),              # a JSON-escaped quote inside the title
        (1, 8, 'Hello", Goodbye'),           # an escaped quote followed by a comma
        (2, 1, "Crème Brûlée"),
    ]
    files["derived-episodes-90001-amelie.json"] = [
        episode(9000100 + i, "amelie", title, season, number, f"2020-{3 + i // 4:02d}-{1 + i:02d}")
        for i, (season, number, title) in enumerate(amelie_titles)]

    # A show whose listing holds specials (season or number null) between regular episodes.
    files["derived-search-lantern-hollow.json"] = search_reply(
        show_object(90002, "lantern-hollow", "Lantern Hollow", ["Mystery"], "Running",
                    "2019-01-06", None, "21:00", "Sunday", TEST_NETWORK,
                    "<p>A test show with specials.</p>", 1600000001, NO_EXTERNALS), 11.0)
    files["derived-episodes-90002-lantern-hollow.json"] = [
        episode(9000201, "lantern-hollow", "Before the Dark", 1, None, "2018-12-24",
                "significant_special"),
        episode(9000202, "lantern-hollow", "Lights On", 1, 1, "2019-01-06"),
        episode(9000203, "lantern-hollow", "The Keeper", 1, 2, "2019-01-13"),
        episode(9000204, "lantern-hollow", "Behind the Lanterns", None, None, "2019-06-01",
                "insignificant_special"),
        episode(9000205, "lantern-hollow", "Return", 2, 1, "2020-01-05"),
    ]

    # A show with episodes still to come: the stand-in replaces the date tokens with dates
    # relative to the day it serves them, so these stay in the future.
    files["derived-search-meridian-station.json"] = search_reply(
        show_object(90003, "meridian-station", "Meridian Station", ["Science-Fiction"],
                    "Running", "2020-01-06", None, "21:00", "Monday", TEST_NETWORK,
                    "<p>A test show with episodes still to air.</p>", 1600000002, NO_EXTERNALS),
        10.0)
    files["derived-episodes-90003-meridian-station.json"] = [
        episode(9000301, "meridian-station", "Docking", 1, 1, "2020-01-06"),
        episode(9000302, "meridian-station", "Yesterday", 1, 2, "@TODAY-1@"),
        episode(9000303, "meridian-station", "Tomorrow", 1, 3, "@TODAY+1@"),
        episode(9000304, "meridian-station", "Next Month", 1, 4, "@TODAY+30@"),
        episode(9000305, "meridian-station", "To Be Announced", 1, 5, ""),
        episode(9000306, "meridian-station", "No Date", 1, 6, "0000-00-00"),
    ]

    # A show whose own title carries an HTML entity.
    files["derived-search-law-and-disorder.json"] = search_reply(
        show_object(90004, "law-disorder", "Law &amp; Disorder", ["Crime"], "Ended",
                    "2018-09-03", "2018-09-17", "22:00", "Monday", TEST_NETWORK,
                    "<p>A test show with an entity in its title.</p>", 1600000003,
                    NO_EXTERNALS), 9.5)
    files["derived-episodes-90004-law-and-disorder.json"] = [
        episode(9000401, "law-disorder", "Order", 1, 1, "2018-09-03"),
        episode(9000402, "law-disorder", "Disorder", 1, 2, "2018-09-10"),
    ]
    return files


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    data_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "tests", "data",
                                                          "tvmaze")
    for name, content in derived_files(data_dir).items():
        with open(os.path.join(data_dir, name), "w", encoding="utf-8", newline="\n") as f:
            json.dump(content, f, ensure_ascii=False, indent=2)
            f.write("\n")
        print("wrote", name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
