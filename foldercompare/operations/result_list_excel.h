#pragma once

#include "common/excel_writer.h"
#include "foldercompare/operations/result_list_export.h"

#include <QString>
#include <QStringList>

namespace foldercompare {

// Rows of the workbook above the grid's rows: the two path texts.
inline constexpr int FoldDiffExcelPathRows = 2;

// The workbook's cell table and links of the result list.
struct FoldDiffExcel
{
    // Row 0 and 1: the two path texts in column 0; then one row per grid row (header
    // included) with the grid's texts as they stand, and in column `cols` (after the
    // grid's columns) the row's status colour as the decimal text of its blue-green-red
    // value, empty without one. Rows beyond the workbook's 65,536 are left out.
    common::ExcelCellTable cells;
    // Empty without per-row files; else one entry per table row, the relative per-row
    // file name on eligible rows and empty elsewhere.
    QStringList links;
};

// Builds the table and links of the result list for the workbook `path`.
FoldDiffExcel BuildFoldDiffExcel(const ResultListExport &source, const QString &path);

// Writes the result list as a workbook under exactly `path` (common::ExcelSave: sheet 1
// from A1, the table of BuildFoldDiffExcel with grid rows + 2 rows and the grid's
// columns), then the per-row files. Missing folders above `path` are created first.
// Returns true when the workbook was saved, `leftOut` (when given) then telling what of
// the list the sheet does not hold as it stands; false, with nothing written, under the
// "-X" rule. Throws common::Failure when it cannot be written (a failed save is number
// 9999, "エクセルの書込みに失敗しました。   ", and leaves an existing file as it was); no
// per-row files are made then.
bool BatExcelSave(const ResultListExport &source, const QString &path, common::ExcelLeftOut *leftOut = nullptr);

} // namespace foldercompare
