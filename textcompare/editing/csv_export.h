#pragma once

#include "textcompare/editing/difference_export.h"

#include <QString>

namespace textcompare {

// Writes the difference as separated text: the two paths, the header line (an empty
// first field, then the headers of columns 1 to 5) and one line per data row (its
// number, state, line number 1, text 1, text 2, line number 2), `separator` between the
// fields. With `doubleQuote` the two texts of data lines are quoted, inner quotes
// doubled. Otherwise as BatHtmlSave (html_export.h).
bool BatCsvSave(const DifferenceExport &source, bool unicode, bool doubleQuote, const QString &path,
                const QString &separator, bool noSame);

} // namespace textcompare
