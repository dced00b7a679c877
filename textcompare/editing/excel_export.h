#pragma once

#include "common/excel_writer.h"
#include "textcompare/editing/difference_export.h"
#include "textcompare/engine/diff_display.h"

#include <QString>

namespace textcompare {

// The state formula of a data row in sheet row `sheetRow`: "追加" when column C has no
// line number but F has, "削除" when F has none, "" when the texts in D and E are equal,
// else "変更", each column read through OFFSET from the row's own cell in column B.
QString StateFormula(int sheetRow);

// Rows of the workbook above the data rows: the two paths and the header.
inline constexpr int FileDiffExcelHeadRows = 3;

// The cell table of the workbook: sheet row 1 and 2 the two paths (column A), row 3 the
// headers of columns 0 to 5, then the data rows with all eight columns (column 6, the row
// colour, steers the fills), as many as fit above sheet row 65,537: the workbook writers
// cut the rest off, so it is not built. With `conditionalFormats`, column 1 of each data
// row holds the state formula instead of the state.
common::ExcelCellTable FileDiffExcel(const DifferenceExport &source, bool conditionalFormats);

// Workbook writers of the difference. Both write the block of `rows` × `cols` cells from
// `startCell` on sheet `sheet` of a new workbook (columns A to F 5, 4, 5, 49, 49 and 5
// wide, D and E as text, thin borders, "ＭＳ ゴシック" 9 pt; rows above 65,536 and columns
// above 256 cut off) and save it under `path`. ExcelSaveDiff fills each row from column B
// on with the colour in table column `cols`; ExcelSaveDiffCnd instead gives the cells B4
// to F65535 three conditional fills that follow the state shown in column B of their row
// ("変更", "追加", "削除" with the changed, added and deleted colours, blue-green-red).
// Return true when saved; failures are raised (common::Failure), a failed save leaving an
// existing file as it was.
bool ExcelSaveDiff(const QString &path, const QString &sheet, const QString &startCell, qint32 rows, qint32 cols,
                   const common::ExcelCellTable &cells);
bool ExcelSaveDiffCnd(const QString &path, const QString &sheet, const QString &startCell, qint32 rows, qint32 cols,
                      const common::ExcelCellTable &cells, quint32 changedColor, quint32 addedColor,
                      quint32 deletedColor);

// Writes the difference as a workbook: FileDiffExcel into sheet 1 from A1, by
// ExcelSaveDiffCnd when `conditionalFormats` is set, else by ExcelSaveDiff; true when it
// was saved, `leftOut` (when given) then telling what of the table the sheet does not
// hold as it stands. Nothing is written, and false comes back, when `noSame` is set and
// the comparison found no difference. Missing folders of `path` are created. A failure of
// the workbook writer is passed on as failure 9998 "書込み出来ませんでした。文字コード
// エラー？" in a run with the user (`batmode` false) and as it is in an unattended run, so
// the run can report it.
bool BatExcelSave(const DifferenceExport &source, bool conditionalFormats, const DiffColors &colors,
                  const QString &path, bool batmode, bool noSame, common::ExcelLeftOut *leftOut = nullptr);

} // namespace textcompare
