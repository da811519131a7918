#include "renamer/common/activity_log.h"

#include <gtest/gtest.h>

namespace vantel {

namespace {

ActivityLog fixedLog(int threshold) {
    ActivityLog log;
    log.setThreshold(threshold);
    log.setClock([] { return std::string("12:00:00"); });
    return log;
}

TEST(ActivityLog, ThresholdDecidesWhatIsKept) {
    ActivityLog normal = fixedLog(1);
    normal.debug_log("detail", 2);
    EXPECT_TRUE(normal.lines().empty());
    normal.debug_log("result", 1);
    ASSERT_EQ(normal.lines().size(), 1u);
    EXPECT_EQ(normal.lines()[0], "(12:00:00) result");

    ActivityLog verbose = fixedLog(2);
    verbose.debug_log("detail", 2);
    verbose.debug_log("result", 1);
    EXPECT_EQ(verbose.lines().size(), 2u);
}

TEST(ActivityLog, EmptyTextStillGivesThePrefix) {
    ActivityLog log = fixedLog(1);
    log.debug_log("", 1);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "(12:00:00) ");
}

TEST(ActivityLog, ClearsAtTheThousandthLine) {
    ActivityLog log = fixedLog(1);
    int clears = 0;
    log.setListener([&](bool cleared, const std::string&, int) { clears += cleared; });
    for (int i = 0; i < 999; ++i) log.debug_log("line", 1);
    EXPECT_EQ(log.lines().size(), 999u);
    log.debug_log("thousandth", 1);  // 1000 lines is allowed
    EXPECT_EQ(log.lines().size(), 1000u);
    EXPECT_EQ(clears, 0);

    log.debug_log("next", 1);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0], ActivityLog::kLimitNotice);
    EXPECT_EQ(log.lines()[1], "(12:00:00) next");
    EXPECT_EQ(clears, 1);
}

TEST(ActivityLog, AThrowingListenerNeverReachesTheCaller) {
    ActivityLog log = fixedLog(1);
    log.setListener([](bool, const std::string&, int) { throw std::runtime_error("view gone"); });
    EXPECT_NO_THROW(log.debug_log("still fine", 1));
    EXPECT_EQ(log.lines().size(), 1u);
}

}  // namespace

}  // namespace vantel
