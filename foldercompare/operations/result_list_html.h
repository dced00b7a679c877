#pragma once

#include "foldercompare/operations/result_list_export.h"

#include <QString>

namespace foldercompare {

// The link target of a per-row file in the HTML page: the relative name with the
// characters that a link cannot hold as they are ("%", "#", "?", blanks, quotes, "\",
// control characters and characters without a code page 932 form) percent-encoded from
// UTF-8, and "&", "<", ">" as entities, so that any file name leads to its file.
QString HtmlLinkTarget(const QString &relativeName);

// Writes the result list as an HTML page in code page 932, lines ending in CR LF: the
// head lines with the title "Dirgleam", the two path texts (markup escaped, so that a
// name holding "&" or "<" cannot break the page), then a table of every grid row. The
// header cells are centred, 50 wide for columns 0 and 1, 150 for 2 and 3, 570 for the
// rest; data cells right-aligned in column 0, centred in 1 to 3, left-aligned after.
// Each row carries its status colour (column 1, blue-green-red) as red-green-blue, white
// without one. With per-row files on, the path cell of each eligible row with a path
// links to its file. Missing folders above `path` are created first; the page goes
// through a temporary file, then the per-row files follow. Nothing happens under the
// "-X" rule. Throws common::Failure when the page cannot be written (an existing file
// then stays as it was).
void BatHtmlSave(const ResultListExport &source, const QString &path);

} // namespace foldercompare
