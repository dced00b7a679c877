#pragma once

#include "platform/workbook_writer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <initializer_list>

namespace common {

// Workbooks are written by platform::WorkbookWriter, not by an Excel application, so there
// is no pool of Excel instances. What a writer did with the pool maps as follows:
//   - taking an instance (StartExcel) and adding a workbook: declaring a local
//     platform::WorkbookWriter and calling newExcelSheet(); this cannot fail;
//   - quitting the instance (QuitExcel), after success as after a failure: the workbook
//     object going out of scope, which discards whatever was not saved;
//   - quitting every instance when the viewer's window unloads (QuitAllExcel): nothing is
//     left to quit.
// The start-up failures of Excel ("Microsoft Excel の起動に失敗しました。") cannot happen.
//
// Rows and columns in this header count from 1, as in A1 notation; a cell table counts
// from 0 (cells[0][0] goes to the block's top-left cell).

// Sheet size of the workbooks that the exports write: blocks are cut to it.
inline constexpr qint32 ExcelMaxRows = 65536;
inline constexpr qint32 ExcelMaxColumns = 256;

// Failure of a workbook that could not be saved.
inline constexpr qint32 ExcelWriteFailedNumber = 9999;
extern const QString ExcelWriteFailedText; // "エクセルの書込みに失敗しました。" and three blanks

// Texts of cells, row index first: cells[row][column].
using ExcelCellTable = QList<QStringList>;

// What of an export's table a workbook sheet does not hold as it stands: the rows past
// its ExcelMaxRows, which are left out, and the cells whose text is longer than a cell
// holds (platform::CellTextMaxLength characters), which are written cut there.
struct ExcelLeftOut
{
    qint64 rows = 0;
    qint64 cutCells = 0;
};

// What is left out of a table of `tableRows` rows, of which `cells` holds those that are
// written (no more than the sheet's), `cols` columns of each written.
ExcelLeftOut ExcelTableLeftOut(qint64 tableRows, const ExcelCellTable &cells, qint32 cols);
// The notice that tells the user what was left out, a line for the rows and one for the
// cells, or "" when everything fits: a cut workbook must never read like the whole list.
QString ExcelLeftOutNotice(const ExcelLeftOut &leftOut);

// The A1 text of a cell or a rectangle: the first cell when row1 and col1 are both above
// 0, the second when row2 and col2 are, joined by ":" when both are there, else the one
// that is, else "". Columns are lettered A to Z, AA to ZZ, AAA...:
// (1, 1, 9, 5) is "A1:E9", (2, 27, 10, 52) "AA2:AZ10", (1, 1, 0, 0) "A1", (0, 3, 4, 2) "B4".
QString RangeAddress(qint32 row1, qint32 col1, qint32 row2, qint32 col2);

// Reads "A1" or "A1:B2" in any case into {row1, col1, row2, col2}; a missing second part
// leaves row2 and col2 at 0, "" gives four zeros, parts after the second are ignored. A
// part is one or two letters and a whole number (the letters end where the second
// character is below "A"): "b2:ab30" gives {2, 2, 30, 28}. Throws Failure 13 ("型が一致
// しません。") for a part that is not letters followed by digits.
std::array<qint32, 4> ParseRangeAddress(const QString &address);

// The rectangle from (row1, col1) to (row2, col2), corners in any order. Throws Failure
// 1004 when a corner lies outside the sheet.
platform::CellRange excelRange(qint64 row1, qint64 col1, qint64 row2, qint64 col2);
// The cell or rectangle of an A1 text ("E3", "A1:F65535"), as ParseRangeAddress reads it.
platform::CellRange excelRange(const QString &address);

// Cuts a block to ExcelMaxRows rows and ExcelMaxColumns columns.
void clampExcelBlock(qint32 &rows, qint32 &cols);

// Gives the empty `workbook` the sheets of a new Excel workbook (one sheet, "Sheet1", as
// Excel 2013 and later make it; a link's sub-address "Sheet1!A1" points at it) and returns
// the sheet whose number is the value of `sheet` ("1"). Throws Failure 9 ("インデックスが
// 有効範囲にありません。") when there is no such sheet.
platform::Worksheet &newExcelSheet(platform::WorkbookWriter &workbook, const QString &sheet);

// Writes the block of `rows` × `cols` texts cells[i][j] from the cell (row1, col1) on,
// entered as Excel's Value assignment reads them (platform::Worksheet::setValue), a text
// longer than a cell holds cut to platform::CellTextMaxLength characters (one less where
// that would split a surrogate pair), and gives the block thin borders on every cell edge
// and the font "ＭＳ ゴシック" 9 pt.
// Nothing happens when rows or cols is below 1. Throws Failure 9 when `cells` is smaller
// than the block, Failure 1004 when the block leaves the sheet.
void writeExcelBlock(platform::Worksheet &sheet, qint32 row1, qint32 col1, qint32 rows, qint32 cols,
                     const ExcelCellTable &cells);

// Fills each row of the same block from its second column to its last with the colour in
// table column `cols` (cells[i][cols], the column after the written ones): the decimal
// text of a blue-green-red value, or "" for white (16777215). Consecutive rows with the
// same non-empty colour text are filled together; a row with an empty one alone. Column 1
// of the block keeps no fill. Throws Failure 9 when a colour cell is missing, Failure 13
// when a colour text is not a whole number and Failure 1004 when it is not a colour
// (below 0 or above FFFFFF hex).
void paintExcelRowColours(platform::Worksheet &sheet, qint32 row1, qint32 col1, qint32 rows, qint32 cols,
                          const ExcelCellTable &cells);

// The width of columns firstColumn to lastColumn, counted from 0 (column A is 0).
struct ExcelColumnWidth
{
    int firstColumn;
    int lastColumn;
    double width;
};

// An export's sheet with its block written, and the block's top-left cell.
struct ExcelBlockSheet
{
    platform::Worksheet &sheet;
    qint32 row1;
    qint32 col1;
};

// Lays out the one sheet of an export in the new `workbook` and writes its block: cuts
// `rows` and `cols` to the sheet (clampExcelBlock), takes the sheet numbered by `sheet`
// (newExcelSheet), sets the column `widths` in their order, gives columns
// firstTextColumn to lastTextColumn (from 0) the text format "@", and writes the block of
// `cells` from `startCell` on (ParseRangeAddress, writeExcelBlock). Throws the failures
// of those steps.
ExcelBlockSheet prepareExcelSheet(platform::WorkbookWriter &workbook, const QString &sheet, const QString &startCell,
                                  qint32 &rows, qint32 &cols, const ExcelCellTable &cells,
                                  std::initializer_list<ExcelColumnWidth> widths, int firstTextColumn,
                                  int lastTextColumn);

// Saves `workbook` under exactly `path` (platform::WorkbookWriter::save: an existing file
// is replaced only by a completely written one). Throws Failure ExcelWriteFailedNumber
// with ExcelWriteFailedText, CR LF and the writer's reason when it could not be saved.
void saveExcelWorkbook(const platform::WorkbookWriter &workbook, const QString &path);

// Writes one workbook of the folder comparison list and saves it under `path`: the sheet
// numbered by `sheet`, columns A and B 7 wide, C and D 16, E 70, columns C to E in text
// format "@"; the block of `rows` × `cols` texts of `cells` from `startCell` on
// (writeExcelBlock), rows above 65,536 and columns above 256 cut off; entry k of `links`,
// when not empty, as a link on the block's fifth cell of row k (column E for "A1") to that
// target at "Sheet1!A1" with the target as its tip, for the block's rows only (an empty
// list: no links); then the row colours of table column `cols` (paintExcelRowColours).
// Returns true when saved. Every failure is captured with SaveErr() and raised again with
// RaiseSavedErr() for the caller to report; a failed save is ExcelWriteFailedNumber with
// ExcelWriteFailedText, CR LF and the writer's reason, and leaves an existing file at
// `path` as it was.
bool ExcelSave(const QString &path, const QString &sheet, const QString &startCell, qint32 rows, qint32 cols,
               const ExcelCellTable &cells, const QStringList &links);

} // namespace common
