#pragma once

#include "platform/twips.h"

#include <QDateTime>
#include <QString>

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

// Where a window opens the first time, and where an off-screen placement is put back to.
inline constexpr TwipsRect DefaultWindowRect{0, 0, 15360, 11070};

// The farthest a stored placement may put a window from the screen's origin, and the
// largest width and height it may give, in twips: 32767 pixels, the most that X11 window
// geometry holds. Beyond it no display shows anything, and within it no sum of a place
// and a size overflows.
inline constexpr int PlacementLimit = 32767 * platform::TwipsPerPixel;

// `rect` with Left and Top clamped to ±PlacementLimit, and Width and Height to 0 to
// PlacementLimit.
TwipsRect ClampedPlacement(const TwipsRect &rect);

// A window's stored placement ([Window] Left, Top, Width, Height in twips, and State).
struct StoredPlacement
{
    TwipsRect rect = DefaultWindowRect;
    StoredWindowState state = StoredWindowState::Normal;
};

// Reads [Window]: each number by its leading digits (none keeps its default), clamped by
// ClampedPlacement, the state 0 to 2 (any other value reads as normal).
StoredPlacement LoadPlacement(const QString &iniFile);

// Whether a save in the normal state also writes State "0" (the viewer leaves that key to
// its resize timer when it unloads).
enum class NormalStateKey { Written, Omitted };

// Writes the placement for the window's state: in the normal state Left, Top, Width and
// Height (and State "0" unless omitted); maximised State "2" alone, so the last normal
// placement stays; minimised nothing. Throws Failure when a key cannot be written.
void SavePlacement(const QString &iniFile, StoredWindowState state, const TwipsRect &rect,
                   NormalStateKey normalStateKey = NormalStateKey::Written);

// Reads [MUTEX] ExeMutex, whose default is `now` as fourteen digits (YYYYMMDDHHMMSS),
// and writes the value read back at once, so that the first start fixes the name base for
// good and settings files keep the key they always held. The instance numbers themselves
// are claimed by the locks of their work folders (TakeInstanceNumber).
void FixExeMutex(const QString &iniFile, const QDateTime &now);

// Checks a restored placement against the screen: when less than 2000 twips of the window
// would remain on the screen on any edge, the placement becomes `fallback`. `placed`
// holds the stored Left and Top with the width and height the window actually took; any
// int values are checked without overflow.
TwipsRect CheckedPlacement(const TwipsRect &placed, int screenWidth, int screenHeight, const TwipsRect &fallback);

} // namespace common
