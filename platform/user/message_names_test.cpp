#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "platform/user/user.h"

namespace {

// Points the user's runtime folder at a fresh temporary folder for one test.
class RuntimeDir : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantel-user-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        m_had = old != nullptr;
        if (old) m_old = old;
        ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override {
        if (m_had) {
            ::setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
        std::filesystem::remove_all(m_dir);
    }
    std::string m_dir;
    std::string m_old;
    bool m_had = false;
    // Names no other test (or earlier run of this process) has registered.
    std::string unique(const std::string& base) {
        return base + "-" + std::to_string(::getpid()) + "-" + m_dir.substr(m_dir.size() - 6);
    }
};

}  // namespace

TEST_F(RuntimeDir, SameNameAnyCaseSameNumber) {
    std::string name = unique("TaskbarCreated");
    UINT n = RegisterWindowMessageA(name.c_str());
    EXPECT_GE(n, 0xC000u);
    EXPECT_LE(n, 0xFFFFu);
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(RegisterWindowMessageA(upper.c_str()), n);
    EXPECT_NE(RegisterWindowMessageA((name + "x").c_str()), n);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
}

TEST_F(RuntimeDir, ManyNamesStayDistinct) {
    // Enough names that several share a hash slot, so the probing is exercised.
    std::set<UINT> numbers;
    std::vector<UINT> first;
    for (int i = 0; i < 600; ++i) {
        std::string name = unique("name\n%" + std::to_string(i));
        UINT n = RegisterWindowMessageA(name.c_str());
        ASSERT_GE(n, 0xC000u);
        numbers.insert(n);
        first.push_back(n);
    }
    EXPECT_EQ(numbers.size(), 600u);
    for (int i = 0; i < 600; i += 97) {
        std::string name = unique("name\n%" + std::to_string(i));
        EXPECT_EQ(RegisterWindowMessageA(name.c_str()), first[i]);
    }
}

TEST_F(RuntimeDir, AgreesAcrossProcesses) {
    std::vector<std::string> names;
    for (int i = 0; i < 50; ++i)
        names.push_back(unique("shared" + std::to_string(i)));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other process registers the names first, in the opposite order.
        UINT numbers[50];
        for (int i = 49; i >= 0; --i)
            numbers[i] = RegisterWindowMessageA(names[i].c_str());
        ssize_t n = ::write(pipeFds[1], numbers, sizeof numbers);
        ::_exit(n == sizeof numbers ? 0 : 1);
    }
    ::close(pipeFds[1]);
    UINT theirs[50];
    ASSERT_EQ(::read(pipeFds[0], theirs, sizeof theirs), static_cast<ssize_t>(sizeof theirs));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(RegisterWindowMessageA(names[i].c_str()), theirs[i]);

    // The shared table is private to the user.
    struct stat st {};
    ASSERT_EQ(::stat((m_dir + "/vantel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((m_dir + "/vantel/window-messages").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RuntimeDir, WorksWithoutUsableFolder) {
    // A runtime folder open to others is not trusted; numbers still come, from this process.
    ASSERT_EQ(::mkdir((m_dir + "/vantel").c_str(), 0777), 0);
    ASSERT_EQ(::chmod((m_dir + "/vantel").c_str(), 0777), 0);
    std::string a = unique("alone-a"), b = unique("alone-b");
    UINT na = RegisterWindowMessageA(a.c_str());
    UINT nb = RegisterWindowMessageA(b.c_str());
    EXPECT_GE(na, 0xC000u);
    EXPECT_GE(nb, 0xC000u);
    EXPECT_NE(na, nb);
    EXPECT_EQ(RegisterWindowMessageA(a.c_str()), na);
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/vantel/window-messages"));
}
