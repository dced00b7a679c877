#include "textcompare/editing/excel_export.h"

#include "common/saved_error.h"
#include "platform/workbook_writer.h"
#include "textcompare/editing/create_folder.h"

#include <algorithm>

namespace textcompare {

namespace {

constexpr int FirstDataSheetRow = 4;
constexpr qint32 WriteFailedNumber = 9998;
const QString WriteFailedText = QStringLiteral("書込み出来ませんでした。文字コードエラー？   ");

// The sheet of the difference in the new `workbook`, its block written: columns A to F
// 5, 4, 5, 49, 49 and 5 wide, D and E as text.
common::ExcelBlockSheet prepareSheet(platform::WorkbookWriter &workbook, const QString &sheetName,
                                     const QString &startCell, qint32 &rows, qint32 &cols,
                                     const common::ExcelCellTable &cells)
{
    return common::prepareExcelSheet(workbook, sheetName, startCell, rows, cols, cells,
                                     {{0, 0, 5}, {1, 1, 4}, {2, 2, 5}, {3, 3, 49}, {4, 4, 49}, {5, 5, 5}}, 3, 4);
}

} // namespace

QString StateFormula(int sheetRow)
{
    return QStringLiteral("=IF(OFFSET(B4,0,1,1,1)=\"\",IF(OFFSET(B4,0,4,1,1)=\"\",\"\",\"追加\"),"
                          "IF(OFFSET(B4,0,4,1,1)=\"\",\"削除\",IF(OFFSET(B4,0,2,1,1)=OFFSET(B4,0,3,1,1),\"\",\"変更\")))")
        .replace(QStringLiteral("B4"), u'B' + QString::number(sheetRow));
}

common::ExcelCellTable FileDiffExcel(const DifferenceExport &source, bool conditionalFormats)
{
    const DisplayTable &table = source.table;
    // The sheet holds no more rows than this; the rows after them are not built.
    const int dataRows = std::clamp(table.lastRow(), 0, common::ExcelMaxRows - FileDiffExcelHeadRows);
    common::ExcelCellTable cells;
    cells.reserve(dataRows + FileDiffExcelHeadRows);
    for (const QString &path : source.shownPaths()) {
        QStringList row(DisplayTable::ColumnCount);
        row[0] = path;
        cells.append(row);
    }
    QStringList header(DisplayTable::ColumnCount);
    for (int column = 0; column <= DisplayTable::Line2; ++column)
        header[column] = table.cell(0, column);
    cells.append(header);
    for (int row = 1; row <= dataRows; ++row) {
        const DisplayTable::Row shown = table.row(row);
        QStringList data(shown.begin(), shown.end());
        if (conditionalFormats)
            data[DisplayTable::State] = StateFormula(row + FirstDataSheetRow - 1);
        cells.append(data);
        if (source.letEventsRun)
            source.letEventsRun();
    }
    return cells;
}

bool ExcelSaveDiff(const QString &path, const QString &sheet, const QString &startCell, qint32 rows, qint32 cols,
                   const common::ExcelCellTable &cells)
{
    try {
        platform::WorkbookWriter workbook;
        const common::ExcelBlockSheet block = prepareSheet(workbook, sheet, startCell, rows, cols, cells);
        common::paintExcelRowColours(block.sheet, block.row1, block.col1, rows, cols, cells);
        common::saveExcelWorkbook(workbook, path);
        return true;
    } catch (...) {
        common::SaveErr();
        common::RaiseSavedErr();
    }
}

bool ExcelSaveDiffCnd(const QString &path, const QString &sheet, const QString &startCell, qint32 rows, qint32 cols,
                      const common::ExcelCellTable &cells, quint32 changedColor, quint32 addedColor,
                      quint32 deletedColor)
{
    try {
        platform::WorkbookWriter workbook;
        platform::Worksheet &worksheet = prepareSheet(workbook, sheet, startCell, rows, cols, cells).sheet;
        // Every cell from B4 on looks at column B of its own row; the path rows, the
        // header and column A keep no condition.
        const platform::CellRange conditioned = common::excelRange(QStringLiteral("B4:F65535"));
        const std::pair<QString, quint32> conditions[3] = {
            {QStringLiteral("変更"), changedColor}, {QStringLiteral("追加"), addedColor}, {QStringLiteral("削除"), deletedColor}};
        for (const auto &[state, color] : conditions)
            worksheet.addFormulaCondition(conditioned,
                                          QStringLiteral("=OFFSET(B4,0,2-COLUMN(B4),1,1)=\"%1\"").arg(state), color);
        common::saveExcelWorkbook(workbook, path);
        return true;
    } catch (...) {
        common::SaveErr();
        common::RaiseSavedErr();
    }
}

bool BatExcelSave(const DifferenceExport &source, bool conditionalFormats, const DiffColors &colors,
                  const QString &path, bool batmode, bool noSame, common::ExcelLeftOut *leftOut)
{
    if (noSame && source.diffRowCount < 1)
        return false;
    CreateFolder(path, 1);
    const common::ExcelCellTable cells = FileDiffExcel(source, conditionalFormats);
    const auto rows = qint32(cells.size());
    constexpr qint32 cols = 6;
    if (leftOut)
        *leftOut = common::ExcelTableLeftOut(qint64(source.table.lastRow()) + FileDiffExcelHeadRows, cells, cols);
    try {
        if (conditionalFormats)
            return ExcelSaveDiffCnd(path, QStringLiteral("1"), QStringLiteral("A1"), rows, cols, cells,
                                    colors.DIFFCUPD, colors.DIFFCADD, colors.DIFFCDEL);
        return ExcelSaveDiff(path, QStringLiteral("1"), QStringLiteral("A1"), rows, cols, cells);
    } catch (const common::Failure &) {
        if (batmode)
            throw;
        throw common::Failure(WriteFailedNumber, QStringLiteral("Linquell"), WriteFailedText);
    }
}

} // namespace textcompare
