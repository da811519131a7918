#include "renamer/common/workdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace vantel {

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the life of the object and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class WorkDir : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("vantel-workdir-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_log.setClock([] { return std::string("t"); });
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string dir(const std::string& rest) const { return (m_dir / rest).string(); }

    fs::path m_dir;
    ActivityLog m_log;
};

TEST_F(WorkDir, DataFolderComesFromAppdataThenXdgThenHome) {
    struct Case {
        const char* appdata;
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const std::string a = dir("appdata"), x = dir("xdg"), h = dir("home"), xs = x + "/";
    const Case cases[] = {
        {a.c_str(), x.c_str(), h.c_str(), a},
        {"", x.c_str(), h.c_str(), x},        // an empty variable counts as unset
        {nullptr, xs.c_str(), h.c_str(), x},  // a trailing "/" is dropped
        {nullptr, nullptr, h.c_str(), h + "/.local/share"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ScopedEnv e1("APPDATA", c.appdata), e2("XDG_DATA_HOME", c.xdg), e3("HOME", c.home);
        EXPECT_EQ(appDataFolder(), c.expected);
    }
}

TEST_F(WorkDir, CreatesTheFoldersItNeeds) {
    ScopedEnv e1("APPDATA", nullptr), e2("XDG_DATA_HOME", nullptr), e3("HOME", dir("h").c_str());
    // Neither ~/.local/share nor the Vantel folder exists yet.
    EXPECT_EQ(setworkdir(m_log), dir("h/.local/share/Vantel/"));
    EXPECT_TRUE(fs::is_directory(dir("h/.local/share/Vantel")));
    // A second start finds it in place.
    EXPECT_EQ(setworkdir(m_log), dir("h/.local/share/Vantel/"));
    EXPECT_TRUE(m_log.lines().empty());
}

TEST_F(WorkDir, FallsBackToTheProgramFolderAndLogsWhy) {
    std::ofstream(dir("plainfile")) << "x";
    ScopedEnv e1("APPDATA", dir("plainfile").c_str());
    std::string work = setworkdir(m_log);
    EXPECT_EQ(work, programFolder() + "/");
    ASSERT_EQ(m_log.lines().size(), 1u);
    EXPECT_EQ(m_log.lines()[0].rfind("(t) Error making work dir: ", 0), 0u) << m_log.lines()[0];

    // The program folder is the folder of this test program.
    EXPECT_TRUE(fs::exists(programFolder() + "/vantel_common_test"));
}

}  // namespace

}  // namespace vantel
