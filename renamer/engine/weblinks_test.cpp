#include "renamer/engine/weblinks.h"

#include "renamer/common/workdir.h"
#include "renamer/engine/test_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace vantel {

namespace {

TEST(WebLinks, VersionCodePadsShortRevisionsWithOneZero) {
    EXPECT_EQ(versionCode(4, 0, 151), "40151");
    EXPECT_EQ(versionCode(4, 0, 51), "40051");
    EXPECT_EQ(versionCode(4, 0, 99), "40099");
    EXPECT_EQ(versionCode(4, 0, 100), "40100");
    EXPECT_EQ(versionCode(4, 0, 5), "4005");
    EXPECT_EQ(versionCode(12, 3, 1000), "1231000");
}

TEST(WebLinks, UpdaterParametersDescribeTheRunningProgram) {
    EXPECT_EQ(updaterParameters("/opt/vantel/bin", "40151", reinterpret_cast<HWND>(4711)),
              "package=Vantel,apppath=/opt/vantel/bin/,runcount=123,version=40151,handle=4711,");
    EXPECT_EQ(websiteAddress("40151"), websiteBase() + "/?v=40151");
    EXPECT_EQ(websiteBase().rfind("http", 0), 0u);
    EXPECT_NE(websiteBase().back(), '/');
}

TEST(WebLinks, TheWebsiteOpensWithTheDesktopHandlerAndAMissingUpdaterIsQuiet) {
    TestTree tree;
    const std::string opened = tree.path("opened.txt");
    const std::string handler = tree.path("handler.sh");
    {
        std::ofstream script(handler);
        script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened << "'\n";
    }
    ASSERT_EQ(::chmod(handler.c_str(), 0755), 0);
    ::setenv("VANTEL_OPEN_PROGRAM", handler.c_str(), 1);
    // No updater is installed beside the test program: nothing happens, nothing is reported.
    if (updaterProgram().find(programFolder()) == 0) {
        EXPECT_FALSE(runUpdater(nullptr));
    }
    EXPECT_TRUE(openWebsite());
    std::string text;
    for (int i = 0; i < 500 && text.empty(); ++i) {
        std::ifstream in(opened);
        std::getline(in, text);
        if (text.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::unsetenv("VANTEL_OPEN_PROGRAM");
    EXPECT_EQ(text, websiteAddress(versionCode()));
}

}  // namespace

}  // namespace vantel
