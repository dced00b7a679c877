#include "foldercompare/operations/result_list_csv.h"

#include "common/export_file.h"
#include "foldercompare/listing/folder_services.h"
#include "platform/code_page.h"
#include "platform/flex_grid.h"

namespace foldercompare {

namespace {

constexpr int NumberWidth = 5;
constexpr int StatusWidth = 4;

QString blanks(int count)
{
    return count > 0 ? QString(count, u' ') : QString();
}

} // namespace

int CsvDateWidth(bool codesShown, bool newDateAsta)
{
    if (codesShown)
        return 7;
    return newDateAsta ? 21 : 19;
}

int Cp932Width(QStringView text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++width;
            ++i;
            continue;
        }
        width += platform::cp932ByteCount(text[i].unicode());
    }
    return width;
}

QString CsvSizeFit(const QString &text, int column, int dateWidth)
{
    if (column > 3)
        return text;
    const int length = Cp932Width(text);
    if (column == 0)
        return blanks(NumberWidth - length) + text;
    const int width = column == 1 ? StatusWidth : dateWidth;
    if (length >= width)
        return text;
    return blanks((width - length) / 2) + text + blanks((width + 1 - length) / 2);
}

void BatCsvSave(const ResultListExport &source, const CsvOptions &options, const QString &path,
                const QString &separator)
{
    if (SkipsExportWithoutDifference(source.diffRowCount))
        return;
    bool created = false;
    listing::CreateFolder(path, 1, created);

    const platform::FlexGrid &grid = source.rows.grid;
    const int rows = grid.rows();
    const int cols = grid.cols();
    common::ExportFile file(path, false);
    for (const QString &shown : source.shownFolderPaths())
        file.writeLine(shown);

    QString line;
    for (int row = 0; row < rows; ++row) {
        line.clear();
        for (int col = 0; col < cols; ++col) {
            QString field = grid.textMatrix(row, col);
            if (options.sizeFit)
                field = CsvSizeFit(field, col, options.dateWidth);
            if (options.doubleQuote) {
                field.replace(u'"', QStringLiteral("\"\""));
                line += u'"' + field + u'"';
            } else {
                line += field;
            }
            if (col < cols - 1)
                line += separator;
        }
        file.writeLine(line);
        if (source.letEventsRun)
            source.letEventsRun();
    }
    file.commit();

    RunPerRowOutputs(source, ReportKind::Csv, path, separator);
}

} // namespace foldercompare
