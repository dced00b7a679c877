#pragma once

#include <QString>

#include <array>
#include <optional>

namespace common {

// Exit status of a run refused before it started: the command line or the session cannot
// give the run what it needs.
inline constexpr int StartupRefusedStatus = 2;

// What a program start asks for, as far as the check below needs it.
struct StartupShape
{
    QString program;                              // "Dirgleam", "Linquell"
    std::array<std::optional<QString>, 2> paths;  // the first two arguments
    bool outputSwitchGiven = false;               // "-E", "-C" or "-H" after the paths
    bool displayAvailable = true;
};

// Whether the path argument reads like an output switch typed where a path belongs ("-E",
// "-C" or "-H" in any case, with or without a file name after it) and names nothing on
// the disk, as in "Dirgleam -Cx.csv" or "Linquell a.txt -Cone.csv".
bool IsMisplacedOutputSwitch(const QString &path);

// The message that ends a start which cannot work, or nullopt when the start can go on:
// - with an output switch anywhere (after the paths, or misplaced into them) the run is
//   unattended and needs both path arguments (an empty one, given as "", is a path);
// - without one it opens a window and needs a display.
std::optional<QString> StartupRefusal(const StartupShape &shape);

// Whether windows can be shown: Qt's platform is chosen explicitly, or the session has an
// X11 or Wayland display.
bool DisplayAvailable();

} // namespace common
