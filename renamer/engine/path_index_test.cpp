#include "renamer/engine/path_index.h"

#include <gtest/gtest.h>

#include <set>

namespace vantel {

namespace {

TEST(PathIndex, FindsEveryEntryAlsoWhenHashesCollide) {
    PathIndex index;
    EXPECT_FALSE(index.contains(5, [](int32_t) { return true; }));
    // Hashes that share their low bits land on neighbouring slots; equal hashes are told apart
    // by the caller's test only.
    const size_t hashes[] = {5, 5 + 16, 5 + 32, 5, 6, 0xFFFFFFFFFFFFFFF5u};
    for (int32_t i = 0; i < 6; ++i)
        index.insert(hashes[i], i + 1);
    EXPECT_EQ(index.size(), 6u);
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(index.contains(hashes[i], [&](int32_t item) { return item == i + 1; })) << i;
    }
    std::set<int32_t> with_five;
    EXPECT_FALSE(index.contains(5, [&](int32_t item) {
        with_five.insert(item);
        return false;
    }));
    EXPECT_EQ(with_five, (std::set<int32_t>{1, 4}));
    EXPECT_FALSE(index.contains(7, [](int32_t) { return true; }));
}

TEST(PathIndex, KeepsEverythingWhileItGrows) {
    PathIndex index;
    for (int32_t i = 1; i <= 5000; ++i)
        index.insert(static_cast<size_t>(i) * 7919u, i);
    for (int32_t i = 1; i <= 5000; ++i) {
        EXPECT_TRUE(index.contains(static_cast<size_t>(i) * 7919u,
                                   [&](int32_t item) { return item == i; }));
    }
    index.reserve(100000);
    EXPECT_TRUE(index.contains(7919u * 4321u, [](int32_t item) { return item == 4321; }));
    index.clear();
    EXPECT_EQ(index.size(), 0u);
    EXPECT_FALSE(index.contains(7919u, [](int32_t) { return true; }));
}

}  // namespace

}  // namespace vantel
