#pragma once

#include "textcompare/editing/difference_export.h"

#include <QString>

namespace textcompare {

// The escapings of the HTML page. Both turn "&", "<" and ">" into entities and an empty
// text into "&nbsp;"; HtmlEscape also turns every space into "&nbsp;" (number and state
// cells), HtmlEscapeText keeps spaces (the line texts).
QString HtmlEscape(const QString &text);
QString HtmlEscapeText(const QString &text);

// Writes the difference as an HTML page: the two paths, then a table of the header row
// and one row per data row, coloured by its row colour. In code page 932, or in UTF-16
// when `unicode` is set. Nothing is written, and false comes back, when `noSame` is set
// and the comparison found no difference. Missing folders of `path` are created.
// Throws common::Failure when the file cannot be written; an existing file then stays.
bool BatHtmlSave(const DifferenceExport &source, bool unicode, const QString &path, bool noSame);

} // namespace textcompare
