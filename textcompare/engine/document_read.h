#pragma once

#include <QString>

#include <functional>

namespace textcompare {

// The document readers of the viewer. Each tells a workbook or document by its first
// bytes (a zip package or a compound file), so that a workbook saved as ".xls" in the
// newer form is read as what it is; a file that is neither is read as its extension
// says and refused there. A failure leaves `text` empty and the reason in `description`:
// nothing of a document that could not be read whole is ever handed on. `keepGoing`,
// when given, is asked every few units of work whether to go on; when it says no the
// read fails as "中止しました".

// The cells of worksheet `sheetNo` (the numeric value of the text, 1 for the first
// worksheet) of the workbook at `path`, from `startCell` ("A1") down to row `maxRows`
// and across `maxCols` columns, as lines of TAB-separated cell texts ending in CR LF;
// empty rows and cells after the last value are left out (SheetTextBuilder). Cells read
// as cell_text.h tells. .xlsx from its XML, .xls through FreeXL.
bool RdExcelValue(const QString &path, const QString &sheetNo, const QString &startCell, qint32 maxRows,
                  qint32 maxCols, QString &text, QString &description, const std::function<bool()> &keepGoing = {});

// The plain text of the Word document at `path`: .docx from its XML (docx_read.h), .doc
// through antiword, with its table rows turned into TAB-separated cells in the same way.
bool RdWordValue(const QString &path, QString &text, QString &description,
                 const std::function<bool()> &keepGoing = {});

} // namespace textcompare
