#pragma once

#include "textcompare/editing/difference_export.h"

#include <QString>

namespace textcompare {

// Writes the difference as an HTML page: the two paths, then a table of the header row
// and one row per data row, coloured by its row colour. In code page 932, or in UTF-16
// when `unicode` is set. Nothing is written, and false comes back, when `noSame` is set
// and the comparison found no difference. Missing folders of `path` are created.
// Throws common::Failure when the file cannot be written; an existing file then stays.
bool BatHtmlSave(const DifferenceExport &source, bool unicode, const QString &path, bool noSame);

} // namespace textcompare
