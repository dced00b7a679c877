#pragma once

#include <QStringList>

namespace common::dialogs {

// Replaces the clipboard's contents with the files `paths` as a file list
// ("text/uri-list" and "x-special/gnome-copied-files"), so that a paste in a file manager
// copies those files. Empty entries stand for no file: a list of one empty path puts a
// list without names there.
void ClipboardDropFiles(const QStringList &paths);

} // namespace common::dialogs
