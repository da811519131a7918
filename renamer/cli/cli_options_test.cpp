#include "renamer/cli/cli_options.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>

namespace vantel {

namespace {

struct Parsed {
    bool ok;
    CliOptions options;
    std::string error;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vantel-cli");
    Parsed p;
    p.ok = parseCommandLine(static_cast<int>(args.size()), args.data(), p.options, p.error);
    return p;
}

TEST(CliOptions, PathsAreTakenAsGivenOneArgumentEach) {
    Parsed p = parse({"/videos/a b.mkv", "-", "--", "--help", "-x.mkv"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_FALSE(p.options.help);
    EXPECT_EQ(p.options.paths,
              (std::vector<std::string>{"/videos/a b.mkv", "-", "--help", "-x.mkv"}));
    EXPECT_TRUE(parse({}).ok);  // no path: one empty pass
    EXPECT_FALSE(p.options.yes);
    // --yes is an option before "--" only.
    EXPECT_TRUE(parse({"--yes", "a.mkv"}).options.yes);
    Parsed late = parse({"--", "--yes"});
    EXPECT_FALSE(late.options.yes);
    EXPECT_EQ(late.options.paths, (std::vector<std::string>{"--yes"}));
}

TEST(CliOptions, SettingCommandsKeepTheirOrder) {
    Parsed p = parse({"--set", "types=avi;mkv", "--get", "types", "--set", "logging="});
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.options.settings.size(), 3u);
    EXPECT_TRUE(p.options.settings[0].is_set);
    EXPECT_EQ(p.options.settings[0].name, "types");
    EXPECT_EQ(p.options.settings[0].value, "avi;mkv");
    EXPECT_FALSE(p.options.settings[1].is_set);
    EXPECT_EQ(p.options.settings[1].name, "types");
    EXPECT_EQ(p.options.settings[2].value, "");
}

TEST(CliOptions, DetectTakesTheNamesThatFollow) {
    Parsed p = parse({"--detect", "a.s01e02.avi", "--", "--b.avi"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.detect);
    EXPECT_EQ(p.options.paths, (std::vector<std::string>{"a.s01e02.avi", "--b.avi"}));
}

TEST(CliOptions, DryRunAndApiGoWithPaths) {
    Parsed p = parse({"--dry-run", "--api", "http://127.0.0.1:8080", "a.mkv"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.dry_run);
    EXPECT_EQ(p.options.api, "http://127.0.0.1:8080");
    EXPECT_EQ(p.options.paths, (std::vector<std::string>{"a.mkv"}));
    EXPECT_TRUE(parse({"--api", "https://api.tvmaze.com/"}).ok);
}

TEST(CliOptions, UsageErrors) {
    const std::vector<std::vector<const char*>> bad = {
        {"--frobnicate"},
        {"-q"},
        {"--get"},
        {"--set", "logging"},
        {"--set", "=2"},
        {"--set"},
        {"--get", "x", "a.mkv"},
        {"a.mkv", "--set", "a=1"},
        {"--detect"},
        {"--detect", "--get", "types"},
        {"--api"},
        {"--api", "api.tvmaze.com", "a.mkv"},
        {"--api", "ftp://host", "a.mkv"},
        {"--api", "http://", "a.mkv"},
        {"--api", "https:///path", "a.mkv"},
        {"--dry-run", "--detect", "a.mkv"},
        {"--dry-run", "--get", "types"},
        {"--api", "http://h", "--set", "logging=2"},
    };
    for (const auto& args : bad) {
        Parsed p = parse(args);
        EXPECT_FALSE(p.ok) << args[0];
        EXPECT_FALSE(p.error.empty());
    }
}

TEST(CliOptions, RelativePathsAreQueuedAsWholePaths) {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string here = std::string(cwd) == "/" ? "" : cwd;
    EXPECT_EQ(queuePath("v"), here + "/v");
    EXPECT_EQ(queuePath("./shows/../v/a.mkv"), here + "/v/a.mkv");
    EXPECT_EQ(queuePath("v/"), here + "/v/");
    EXPECT_EQ(queuePath("/tv/a.mkv"), "/tv/a.mkv");
    EXPECT_EQ(queuePath("\"/tv/a b.mkv\""), "\"/tv/a b.mkv\"");
}

}  // namespace

}  // namespace vantel
