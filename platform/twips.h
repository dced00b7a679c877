#pragma once

#include <algorithm>
#include <limits>

namespace platform {

// Window positions, sizes and layout constants are kept in twips, as the settings files
// store them and the window designs give them: 15 twips make one pixel at 96 dpi.
inline constexpr int TwipsPerPixel = 15;

// Twips to pixels, rounded to the nearest pixel (halves away from zero). Worked out in 64
// bits, so that every int converts, the extremes a settings file may hold included.
constexpr int twipsToPixels(int twips)
{
    const long long value = twips;
    const long long pixels = value >= 0 ? (value + TwipsPerPixel / 2) / TwipsPerPixel
                                        : -((-value + TwipsPerPixel / 2) / TwipsPerPixel);
    return static_cast<int>(pixels);
}

// Pixels to twips; a result beyond the range of int stops at its limit.
constexpr int pixelsToTwips(int pixels)
{
    const long long twips = static_cast<long long>(pixels) * TwipsPerPixel;
    return static_cast<int>(std::clamp<long long>(twips, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

} // namespace platform
