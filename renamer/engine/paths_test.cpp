#include "renamer/engine/paths.h"

#include <gtest/gtest.h>

namespace vantel {

namespace {

TEST(Paths, ExtensionRoutines) {
    struct Case {
        const char *name, *extension, *without;
    } cases[] = {
        {"Lost.S01E05.AVI", "avi", "Lost.S01E05"},
        {"a.tar.GZ", "gz", "a.tar"},
        {"NoExtension", "noextension", "NoExtension"},  // nothing to remove: kept whole
        {"trailing.", "", "trailing"},
        {".hidden", "hidden", ""},
        {"/tv/dir.d/file", "d/file", "/tv/dir"},  // the last "." wins even in a folder name
        {"", "", ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(getextension(c.name), c.extension) << c.name;
        EXPECT_EQ(remextension(c.name), c.without) << c.name;
    }
    EXPECT_EQ(getextension("Film.\xC3\x89P"), "\xC3\xA9p");
}

TEST(Paths, FileFolderAndShowNames) {
    struct Case {
        const char* path;
        const char* fname;
        std::optional<std::string> folder;
    } cases[] = {
        {"/tv/Season 1/Lost.s01e05.avi", "Lost.s01e05.avi", "Season 1"},
        {"tv/x.avi", "x.avi", "tv"},
        {"/x.avi", "x.avi", ""},
        {"x.avi", "x.avi", std::nullopt},
        {"/tv/Lost/", "", "Lost"},
        {"/tv/a\\b.avi", "a\\b.avi", "tv"},  // a backslash is an ordinary character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(getfname(c.path), c.fname) << c.path;
        EXPECT_EQ(folderName(c.path), c.folder) << c.path;
    }
    EXPECT_EQ(getshowname("http://www.example.org/shows/82/Game-Of-Thrones"), "game-of-thrones");
    EXPECT_EQ(getshowname("Lost"), "lost");
}

TEST(Paths, GetpathDropsComponents) {
    struct Case {
        const char* path;
        int32_t n;
        const char* want;
    } cases[] = {{"/tv/Lost/x.avi", 0, "/tv/Lost/"},
                 {"/tv/Lost/x.avi", 1, "/tv/"},
                 {"/tv/Lost/x.avi", 2, "/"},
                 {"/tv/Lost/x.avi", 3, ""},
                 {"/tv/Lost/x.avi", 100, ""},
                 {"/tv/Lost/x.avi", -1, "/tv/Lost/x.avi/"},
                 {"/tv/Lost/x.avi", -7, "/tv/Lost/x.avi/"},
                 {"x.avi", 0, ""},
                 {"tv/x.avi", 0, "tv/"},
                 {"", 0, ""}};
    for (const Case& c : cases)
        EXPECT_EQ(getpath(c.path, c.n), c.want) << c.path << " " << c.n;
}

}  // namespace

}  // namespace vantel
