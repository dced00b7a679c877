#pragma once

#include "common/window_placement.h"

#include <array>

class QLabel;
class QStatusBar;
class QWidget;

namespace common::dialogs {

// Pieces that the main windows of the two comparison programs share.

// Places a main window from its stored placement, clamped by ClampedPlacement: Left and
// Top move the window's frame, Width and Height size its client area; when less than 2000
// twips would remain on the screen the window goes to the default place and size. Then
// the stored state is applied.
void PlaceMainWindow(QWidget &window, const StoredPlacement &stored);

// The window's state as the settings file stores it.
StoredWindowState WindowStoredState(const QWidget &window);

// The window's place and size in twips, measured as PlaceMainWindow sets them, so that a
// placement written and read back puts the window where it was.
TwipsRect WindowPlacementTwips(const QWidget &window);

// SavePlacement of the window's state and its place and size in twips. Throws Failure
// when a key cannot be written.
void SaveMainWindowPlacement(const QWidget &window, const QString &iniFile,
                             NormalStateKey normalStateKey = NormalStateKey::Written);

// The status bar of four panels, 7500, 2500, 2500 and 2500 twips wide, panels 2 to 4 with
// centred texts. Panel n is `panels[n - 1]`.
QStatusBar *BuildStatusPanels(QWidget *parent, std::array<QLabel *, 4> &panels);

} // namespace common::dialogs
