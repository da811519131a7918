#include "renamer/common/textfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

}  // namespace

}  // namespace vantel
