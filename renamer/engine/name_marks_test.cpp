#include "renamer/engine/name_marks.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace vantel {

namespace {

QueueItem item(const std::string& path, const std::string& folder, const std::string& name) {
    QueueItem it;
    it.path = path;
    it.target_folder = folder;
    it.new_name = name;
    return it;
}

TEST(NameMarks, ANameIsFoundWhicheverItemAndPartsMarkedIt) {
    NameMarks marks;
    EXPECT_EQ(marks.find("/tv/a.mkv"), NameMarks::kUnmarked);
    const QueueItem first = item("/in/a.mkv", "/tv/", "a.mkv");
    marks.mark(first, NameMarks::kPath, NameMarks::kFreed);
    marks.mark(first, NameMarks::kDestination, NameMarks::kTaken);
    EXPECT_EQ(marks.find("/in/a.mkv"), NameMarks::kFreed);
    EXPECT_EQ(marks.find("/tv/a.mkv"), NameMarks::kTaken);
    EXPECT_EQ(marks.find("/tv/a.mk"), NameMarks::kUnmarked);
    EXPECT_EQ(marks.find("/tv/"), NameMarks::kUnmarked);

    // The same name split elsewhere, or as another item's path: one name, the latest mark.
    const QueueItem second = item("/tv/a.mkv", "/t", "v/a.mkv");
    marks.mark(second, NameMarks::kPath, NameMarks::kFreed);
    EXPECT_EQ(marks.find("/tv/a.mkv"), NameMarks::kFreed);
    marks.mark(second, NameMarks::kDestination, NameMarks::kTaken);
    EXPECT_EQ(marks.find("/tv/a.mkv"), NameMarks::kTaken);
    EXPECT_EQ(marks.size(), 2u);
}

TEST(NameMarks, ManyNamesStayApartAsTheTableGrows) {
    NameMarks marks;
    std::deque<QueueItem> items;
    for (int i = 0; i < 5000; ++i) {
        const QueueItem& it = items.emplace_back(
            item("/in/" + std::to_string(i) + ".mkv", "/out/", std::to_string(i) + ".mkv"));
        marks.mark(it, NameMarks::kDestination, i % 2 ? NameMarks::kTaken : NameMarks::kFreed);
    }
    EXPECT_EQ(marks.size(), 5000u);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(marks.find("/out/" + std::to_string(i) + ".mkv"),
                  i % 2 ? NameMarks::kTaken : NameMarks::kFreed)
            << i;
        ASSERT_EQ(marks.find("/in/" + std::to_string(i) + ".mkv"), NameMarks::kUnmarked);
    }
}

}  // namespace

}  // namespace vantel
