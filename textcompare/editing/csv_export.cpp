#include "textcompare/editing/csv_export.h"

#include "common/export_file.h"
#include "textcompare/editing/create_folder.h"

namespace textcompare {

namespace {

QString quoted(const QString &text)
{
    QString doubled = text;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

} // namespace

bool BatCsvSave(const DifferenceExport &source, bool unicode, bool doubleQuote, const QString &path,
                const QString &separator, bool noSame)
{
    if (noSame && source.diffRowCount < 1)
        return false;
    CreateFolder(path, 1);
    common::ExportFile file(path, unicode);
    for (const QString &shown : source.shownPaths())
        file.writeLine(shown);

    const DisplayTable &table = source.table;
    QString header;
    for (int column = DisplayTable::State; column <= DisplayTable::Line2; ++column)
        header += separator + table.cell(0, column);
    file.writeLine(header);

    // Row by row: the table makes the cells of a row only when it is read.
    for (int row = 1; row <= table.lastRow(); ++row) {
        const DisplayTable::Row cells = table.row(row);
        QString text1 = cells[DisplayTable::Text1];
        QString text2 = cells[DisplayTable::Text2];
        if (doubleQuote) {
            text1 = quoted(text1);
            text2 = quoted(text2);
        }
        file.writeLine(QString::number(row) + separator + cells[DisplayTable::State] + separator
                       + cells[DisplayTable::Line1] + separator + text1 + separator + text2 + separator
                       + cells[DisplayTable::Line2]);
        if (source.letEventsRun)
            source.letEventsRun();
    }
    file.commit();
    return true;
}

} // namespace textcompare
