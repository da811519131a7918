#include "renamer/common/textfile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

namespace vantel {

namespace fs = std::filesystem;

namespace {

class TextFile : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("vantel-textfile-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const char* name) const { return (m_dir / name).string(); }
    size_t entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {}));
    }

    fs::path m_dir;
};

TEST_F(TextFile, ReadsBytesUnchanged) {
    const std::string text = "a\tb\r\nnon-ASCII \xc3\xa9\r\n\0tail";
    {
        std::ofstream out(path("f.dat"), std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    bool ok = false;
    EXPECT_EQ(ReadTextFile(path("f.dat"), &ok), text);
    EXPECT_TRUE(ok);

    EXPECT_EQ(ReadTextFile(path("missing.dat"), &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadTextFile(m_dir.string(), &ok), "");  // a folder cannot be read as text
    EXPECT_FALSE(ok);
}

TEST_F(TextFile, WriteReplacesTheWholeContent) {
    ASSERT_TRUE(WriteTextFile(path("f.dat"), "a long first text\r\n"));
    // A shorter text must not leave the old tail behind.
    ASSERT_TRUE(WriteTextFile(path("f.dat"), "short\r\n"));
    EXPECT_EQ(ReadTextFile(path("f.dat")), "short\r\n");

    EXPECT_FALSE(WriteTextFile(path("f.dat"), "other", /*no_overwrite=*/true));
    EXPECT_EQ(ReadTextFile(path("f.dat")), "short\r\n");
    EXPECT_TRUE(WriteTextFile(path("new.dat"), "", /*no_overwrite=*/true));
    EXPECT_TRUE(fs::exists(path("new.dat")));

    EXPECT_FALSE(WriteTextFile(path("no/such/folder.dat"), "x"));
}

TEST_F(TextFile, ReplaceLeavesOldOrNewContentAndNoTemporaryFile) {
    ASSERT_TRUE(WriteTextFile(path("man.dat"), "old line one\r\nold line two\r\n"));
    ASSERT_TRUE(ReplaceTextFile(path("man.dat"), "new\r\n"));
    EXPECT_EQ(ReadTextFile(path("man.dat")), "new\r\n");
    ASSERT_TRUE(ReplaceTextFile(path("fresh.dat"), "created\r\n"));
    EXPECT_EQ(ReadTextFile(path("fresh.dat")), "created\r\n");
    EXPECT_EQ(entries(), 2u);  // man.dat and fresh.dat only

    // The target is a folder: the rename fails, the folder stays, the temporary file goes.
    fs::create_directory(path("taken"));
    fs::create_directory(path("taken/inner"));
    EXPECT_FALSE(ReplaceTextFile(path("taken"), "x"));
    EXPECT_TRUE(fs::is_directory(path("taken")));
    EXPECT_EQ(entries(), 3u);

    EXPECT_FALSE(ReplaceTextFile(path("no/such/folder.dat"), "x"));
}

// Temporary files a killed run left are removed once their process is gone or they are an hour
// old; what is in use, other names and folders stay.
TEST_F(TextFile, StaleTemporaryFilesAreRemoved) {
    const std::string mine = std::to_string(::getpid());
    const char* gone = "4999999";  // beyond any process number the system hands out
    for (const std::string& name :
         {"a.qc.tmp." + std::string(gone) + ".0", "b.epc.tmp." + mine + ".3",
          "old.tmp." + mine + ".1", std::string("c.tmp"), std::string("d.tmp.12x.0"),
          std::string("e.tmp.") + gone})
        ASSERT_TRUE(WriteTextFile(path(name.c_str()), "x")) << name;
    struct timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 7200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path(("old.tmp." + mine + ".1").c_str()).c_str(), times, 0), 0);
    fs::create_directory(path(("f.tmp." + std::string(gone) + ".2").c_str()));

    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.string()), 2);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_dir))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"b.epc.tmp." + mine + ".3", "c.tmp", "d.tmp.12x.0",
                                              "e.tmp." + std::string(gone),
                                              "f.tmp." + std::string(gone) + ".2"}));
    EXPECT_EQ(RemoveStaleTemporaryFiles(path("missing")), 0);
}

// Only a regular file of at most the limit is read: a device, a FIFO (without waiting for a
// writer) or a folder is refused, and so is a file one byte over the limit.
TEST_F(TextFile, ReadBoundedFileRefusesWhatIsNotASmallRegularFile) {
    ASSERT_TRUE(WriteTextFile(path("ten"), "0123456789"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", path("zero"));
    fs::create_directory(path("folder"));
    struct {
        const char* name;
        size_t limit;
        const char* error;  // nullptr: read whole
    } cases[] = {{"ten", 10, nullptr},
                 {"ten", 9, "larger than 9 bytes"},
                 {"fifo", 100, "not a regular file"},
                 {"zero", 100, "not a regular file"},
                 {"folder", 100, "not a regular file"},
                 {"missing", 100, "No such file or directory"}};
    for (const auto& c : cases) {
        std::string error;
        std::optional<std::string> text = ReadBoundedFile(path(c.name), c.limit, &error);
        if (!c.error) {
            EXPECT_EQ(text, "0123456789") << c.name;
        } else {
            EXPECT_FALSE(text.has_value()) << c.name;
            EXPECT_EQ(error, c.error) << c.name;
        }
    }
    bool ok = true;
    EXPECT_EQ(ReadTextFile(path("zero"), &ok), "");
    EXPECT_FALSE(ok);
}

}  // namespace

}  // namespace vantel
