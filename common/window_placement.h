#pragma once

namespace common {

// A window's place and size in twips.
struct TwipsRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const TwipsRect &, const TwipsRect &) = default;
};

// Window states as the settings files store them.
enum class StoredWindowState { Normal = 0, Minimized = 1, Maximized = 2 };

// Checks a restored placement against the screen: when less than 2000 twips of the window
// would remain on the screen on any edge, the placement becomes `fallback`. `placed`
// holds the stored Left and Top with the width and height the window actually took.
TwipsRect CheckedPlacement(const TwipsRect &placed, int screenWidth, int screenHeight, const TwipsRect &fallback);

} // namespace common
