#include "common/progress_estimate.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(MapProgress, MapsOntoTheSubRange)
{
    const struct
    {
        const char *name;
        ProgressBarRange range;
        double percent;
        double expected;
    } cases[] = {
        {"whole bar", {0, 100}, 37, 37},
        {"rounds half up", {0, 100}, 12.5, 13},
        {"upper part", {60, 100}, 50, 80},
        {"upper part never starts a run", {60, 100}, 0, 60},
        {"upper part ends at its end", {60, 100}, 100, 100},
        {"lower part", {0, 50}, 100, 50},
        {"reversed range counts as the whole bar", {100, 0}, 50, 50},
        {"negative means message only", {60, 100}, -1, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ProgressBarRange range = c.range;
        EXPECT_EQ(MapProgress(c.percent, range), c.expected);
    }
}

TEST(MapProgress, ReversedRangeIsRepairedForLaterCalls)
{
    ProgressBarRange range{80, 20};
    MapProgress(10, range);
    EXPECT_EQ(range.start, 0);
    EXPECT_EQ(range.end, 100);
}

TEST(ProgressEstimate, AveragesEachEstimateWithThePreviousOne)
{
    ProgressEstimate estimate;
    EXPECT_EQ(estimate.timeLine(10, 20), "経過時間10秒（20%） 推定残り時間40秒 推定処理時間50秒 ");
    // 12 s at 25 % alone would give 36 s; averaged with 40 s it gives 38 s.
    EXPECT_EQ(estimate.timeLine(12, 25), "経過時間12秒（25%） 推定残り時間38秒 推定処理時間50秒 ");
}

TEST(ProgressEstimate, ShowsNoEstimateBeforeAWholeSecondOrAboveZero)
{
    ProgressEstimate estimate;
    EXPECT_EQ(estimate.timeLine(0, 40), "経過時間0秒（40%） ");
    EXPECT_EQ(estimate.timeLine(5, 0), "経過時間5秒（0%） ");
    // Nothing was estimated yet, so the first estimate stands alone.
    EXPECT_EQ(estimate.timeLine(3, 50), "経過時間3秒（50%） 推定残り時間3秒 推定処理時間6秒 ");
}

TEST(ProgressEstimate, RestartForgetsThePreviousRun)
{
    ProgressEstimate estimate;
    estimate.timeLine(10, 10); // 90 s left
    estimate.restart();
    EXPECT_EQ(estimate.timeLine(2, 50), "経過時間2秒（50%） 推定残り時間2秒 推定処理時間4秒 ");
}

} // namespace
} // namespace common
