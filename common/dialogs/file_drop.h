#pragma once

#include <QStringList>

#include <functional>

class QWidget;

namespace common::dialogs {

// Files dragged from a file manager onto one widget of the program (the main window's
// drop box) reach the window's Form_Drop: all dropped local files and folders in one
// call, in the order of the drag source, before the drop ends. The drop is always taken
// as a copy, so the source never removes what was dropped. One widget is hooked at a time
// in the program.

// Makes `target` accept dropped files and, when no widget is hooked yet, hooks it so that
// its drops call `formDrop`; returns true. When a hook exists already it returns false:
// `target` still accepts drops, and the hook stays as it was.
bool StartFileDrop(QWidget *target, std::function<void(const QStringList &paths)> formDrop);

// Removes the hook; false when none is installed.
bool EndFileDrop();

} // namespace common::dialogs
