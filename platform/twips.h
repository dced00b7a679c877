#pragma once

namespace platform {

// Window positions, sizes and layout constants are kept in twips, as the settings files
// store them and the window designs give them: 15 twips make one pixel at 96 dpi.
inline constexpr int TwipsPerPixel = 15;

// Twips to pixels, rounded to the nearest pixel (halves away from zero).
constexpr int twipsToPixels(int twips)
{
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr int pixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

} // namespace platform
