#include "common/window_placement.h"

namespace common {

TwipsRect CheckedPlacement(const TwipsRect &placed, int screenWidth, int screenHeight, const TwipsRect &fallback)
{
    constexpr int visibleMargin = 2000;
    const bool offScreen = placed.left + placed.width - visibleMargin < 0
                           || placed.top + placed.height - visibleMargin < 0
                           || placed.left + visibleMargin > screenWidth
                           || placed.top + visibleMargin > screenHeight;
    return offScreen ? fallback : placed;
}

} // namespace common
