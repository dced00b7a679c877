#include "common/window_placement.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(CheckedPlacement, KeepsPlacesWithEnoughOnScreen)
{
    const TwipsRect fallback{0, 0, 15360, 11070};
    const int screenWidth = 1920 * 15;
    const int screenHeight = 1080 * 15;
    const struct
    {
        const char *name;
        TwipsRect placed;
        bool kept;
    } cases[] = {
        {"far off to the left", {-30000, 0, 15360, 11070}, false},
        {"partly left but enough shown", {-1000, 0, 15360, 11070}, true},
        {"exactly 2000 left of the edge", {-13360, 0, 15360, 11070}, true},
        {"one twip less", {-13361, 0, 15360, 11070}, false},
        {"above the top", {0, -9071, 15360, 11070}, false},
        {"right of the screen", {screenWidth - 1999, 0, 15360, 11070}, false},
        {"right edge with 2000 shown", {screenWidth - 2000, 0, 15360, 11070}, true},
        {"below the screen", {0, screenHeight - 1999, 15360, 11070}, false},
        {"normal", {1200, 900, 12000, 9000}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckedPlacement(c.placed, screenWidth, screenHeight, fallback), c.kept ? c.placed : fallback);
    }
}

} // namespace
} // namespace common
