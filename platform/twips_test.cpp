#include "platform/twips.h"

#include <gtest/gtest.h>

#include <limits>

namespace platform {
namespace {

TEST(Twips, EveryIntConvertsWithoutOverflow)
{
    constexpr int least = std::numeric_limits<int>::min();
    constexpr int largest = std::numeric_limits<int>::max();
    const struct
    {
        int twips;
        int pixels;
    } toPixels[] = {{0, 0}, {7, 0}, {8, 1}, {-7, 0}, {-8, -1}, {15360, 1024}, {largest, 143165576}, {least, -143165577}};
    for (const auto &c : toPixels) {
        SCOPED_TRACE(c.twips);
        EXPECT_EQ(twipsToPixels(c.twips), c.pixels);
    }
    const struct
    {
        int pixels;
        int twips;
    } toTwips[] = {{1024, 15360}, {-1, -15}, {143165576, 2147483640}, {143165577, largest}, {least, least},
                   {largest, largest}};
    for (const auto &c : toTwips) {
        SCOPED_TRACE(c.pixels);
        EXPECT_EQ(pixelsToTwips(c.pixels), c.twips);
    }
}

} // namespace
} // namespace platform
