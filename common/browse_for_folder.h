#pragma once

#include <QString>

namespace common {

// What the folder-browse dialog returns when the user cancels it: the folder comparison
// program keeps the initial path, the backup program gets an empty text.
enum class BrowseCancel { KeepInitial, Empty };

// Shows the folder-browse dialog (through platform::dialogs()) with `title` as its
// instruction, opened on `initialPath`, and returns the chosen folder; on cancel the
// result depends on `onCancel`.
QString BrowseForFolder(const QString &title, const QString &initialPath,
                        BrowseCancel onCancel = BrowseCancel::KeepInitial);

} // namespace common
