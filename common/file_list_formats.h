#pragma once

#include <QByteArray>
#include <QStringList>

#include <memory>

class QMimeData;

namespace common {

// Lists of local files as the desktop passes them through the clipboard and by drag and
// drop. Paths are absolute; an empty path stands for no file and is left out.

// "text/uri-list": one file URL per line (UTF-8, percent-encoded), each line ended by
// CR LF.
QByteArray UriListBytes(const QStringList &paths);

// "x-special/gnome-copied-files": the word "copy", then one file URL per line, the lines
// separated by LF. The file managers paste such a list as a copy of the files.
QByteArray GnomeCopiedFilesBytes(const QStringList &paths);

// Both forms together, as the clipboard takes them.
std::unique_ptr<QMimeData> FileListMimeData(const QStringList &paths);

// The local files and folders of dropped or pasted data, in the order of the source;
// entries that are no local file are passed over.
QStringList LocalFilePaths(const QMimeData &data);

} // namespace common
