#pragma once

#include "textcompare/engine/sheet_text.h"

#include <QString>

namespace textcompare {

// Reads worksheet `sheetNumber` (1-based, among the worksheets; chart sheets do not
// count) of the Office Open XML workbook at `path` into `builder`: every cell's value as
// cell_text.h tells, from the package's own XML. False, with `error` telling why, when
// the package is no zip, lacks a part, holds damaged or cut XML or a part that inflates
// past the limits of the builder's budget, when the sheet does not exist, or when a cell
// refers to a shared string that is not there.
bool ReadXlsxSheet(const QString &path, qint64 sheetNumber, SheetTextBuilder &builder, QString &error);

} // namespace textcompare
