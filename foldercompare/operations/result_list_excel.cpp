#include "foldercompare/operations/result_list_excel.h"

#include "foldercompare/listing/folder_services.h"
#include "platform/flex_grid.h"

#include <algorithm>

namespace foldercompare {

FoldDiffExcel BuildFoldDiffExcel(const ResultListExport &source, const QString &path)
{
    const platform::FlexGrid &grid = source.rows.grid;
    const int cols = grid.cols();
    // The workbook holds no more rows than this; the rows after them are not built.
    const int tableRows = std::min(grid.rows() + FoldDiffExcelPathRows, common::ExcelMaxRows);

    FoldDiffExcel result;
    result.cells.reserve(tableRows);
    for (const QString &shown : source.shownFolderPaths()) {
        QStringList row(cols + 1);
        row[0] = shown;
        result.cells.append(row);
    }
    if (source.perRow.on())
        result.links = QStringList(tableRows);
    for (int row = 0; row + FoldDiffExcelPathRows < tableRows; ++row) {
        QStringList texts;
        texts.reserve(cols + 1);
        for (int col = 0; col < cols; ++col)
            texts.append(grid.textMatrix(row, col));
        const quint32 color = row > 0 ? grid.backColorAt(row, 1) : 0;
        texts.append(color != 0 ? QString::number(qint32(color)) : QString());
        result.cells.append(texts);
        if (source.perRow.on() && IsPerRowEligible(grid, row))
            result.links[row + FoldDiffExcelPathRows] = PerRowLinkName(path, row);
        if (source.letEventsRun)
            source.letEventsRun();
    }
    return result;
}

bool BatExcelSave(const ResultListExport &source, const QString &path, common::ExcelLeftOut *leftOut)
{
    if (SkipsExportWithoutDifference(source.diffRowCount))
        return false;
    bool created = false;
    listing::CreateFolder(path, 1, created);

    const platform::FlexGrid &grid = source.rows.grid;
    const FoldDiffExcel table = BuildFoldDiffExcel(source, path);
    const bool saved = common::ExcelSave(path, QStringLiteral("1"), QStringLiteral("A1"), grid.rows() + FoldDiffExcelPathRows,
                                         grid.cols(), table.cells, table.links);
    if (leftOut)
        *leftOut = common::ExcelTableLeftOut(qint64(grid.rows()) + FoldDiffExcelPathRows, table.cells, grid.cols());
    RunPerRowOutputs(source, ReportKind::Excel, path);
    return saved;
}

} // namespace foldercompare
