// The queue's item store across its slabs: items stay where they were put, keep what was
// written to them, and go away with clear().

#include "renamer/engine/item_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantel {
namespace {

TEST(ItemStore, ItemsStayPutAndKeepTheirTextAcrossSlabs) {
    ItemStore items;
    std::vector<QueueItem*> seen;
    // Enough for three slabs, with paths long enough to live on the heap.
    for (int i = 0; i < 15000; ++i) {
        QueueItem& item = items.emplace_back();
        EXPECT_EQ(item.state, kStateInactive);
        EXPECT_TRUE(item.path.empty());
        item.path = "/tv/some show/season 1/some.show.s01e" + std::to_string(i) + ".mkv";
        item.season = i;
        seen.push_back(&item);
    }
    ASSERT_EQ(items.size(), 15000u);
    for (int i = 0; i < 15000; ++i) {
        ASSERT_EQ(&items.at(i), seen[i]) << "item " << i << " moved";
        ASSERT_EQ(items.at(i).season, i);
        ASSERT_EQ(items.at(i).path,
                  "/tv/some show/season 1/some.show.s01e" + std::to_string(i) + ".mkv");
    }
    EXPECT_THROW(items.at(15000), std::out_of_range);
    const ItemStore& view = items;
    EXPECT_EQ(view.at(14999).season, 14999);

    items.clear();
    EXPECT_EQ(items.size(), 0u);
    EXPECT_THROW(items.at(0), std::out_of_range);
    QueueItem& again = items.emplace_back();
    EXPECT_TRUE(again.path.empty()) << "a new item after clear() starts empty";
    EXPECT_EQ(items.size(), 1u);
}

}  // namespace
}  // namespace vantel
