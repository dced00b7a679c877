#include "textcompare/editing/html_export.h"

#include "common/export_file.h"
#include "common/html_text.h"
#include "common/settings_values.h"
#include "textcompare/editing/create_folder.h"

#include <cmath>

namespace textcompare {

namespace {

// The row's colour cell (a blue-green-red value as decimal text) as an HTML colour;
// white when the row has none (an empty cell), black for 0, as the grid, the bar and the
// workbook show it.
QString rowColor(const QString &colorCell)
{
    if (colorCell.isEmpty())
        return common::HtmlRowColor(std::nullopt);
    return common::HtmlRowColor(quint32(qint64(std::nearbyint(common::LeadingNumber(colorCell)))));
}

QString cell(const QString &openingTag, const QString &text)
{
    return openingTag + text + QStringLiteral("</td>");
}

} // namespace

bool BatHtmlSave(const DifferenceExport &source, bool unicode, const QString &path, bool noSame)
{
    if (noSame && source.diffRowCount < 1)
        return false;
    CreateFolder(path, 1);
    common::ExportFile file(path, unicode, common::ExportFile::Unrepresentable::CharacterReference);
    common::WriteHtmlPageStart(file, unicode ? QStringLiteral("unicode") : QStringLiteral("shift_jis"),
                               QStringLiteral("Linquell"), source.shownPaths());

    const DisplayTable &table = source.table;
    QString header = QStringLiteral("<tr bgcolor=\"#FFFFFF\">");
    for (int column = 0; column <= DisplayTable::Line2; ++column) {
        const bool text = column == DisplayTable::Text1 || column == DisplayTable::Text2;
        header += cell(text ? QStringLiteral("<td align=\"center\" width=\"385\">")
                            : QStringLiteral("<td align=\"center\" width=\"50\">"),
                       common::HtmlEscape(table.cell(0, column)));
    }
    file.writeLine(header + QStringLiteral("</tr>"));

    // Row by row: the table makes the cells of a row only when it is read.
    for (int row = 1; row <= table.lastRow(); ++row) {
        const DisplayTable::Row cells = table.row(row);
        const QString line =
            QStringLiteral("<tr bgcolor=\"") + rowColor(cells[DisplayTable::RowColor]) + QStringLiteral("\">")
            + cell(QStringLiteral("<td align=\"right\">"), common::HtmlEscape(cells[DisplayTable::No]))
            + cell(QStringLiteral("<td align=\"center\">"), common::HtmlEscape(cells[DisplayTable::State]))
            + cell(QStringLiteral("<td align=\"right\">"), common::HtmlEscape(cells[DisplayTable::Line1]))
            + cell(QStringLiteral("<td align=\"left\">"), common::HtmlEscapeText(cells[DisplayTable::Text1]))
            + cell(QStringLiteral("<td align=\"left\">"), common::HtmlEscapeText(cells[DisplayTable::Text2]))
            + cell(QStringLiteral("<td align=\"right\">"), common::HtmlEscape(cells[DisplayTable::Line2]))
            + QStringLiteral("</tr>");
        file.writeLine(line);
        if (source.letEventsRun)
            source.letEventsRun();
    }
    common::WriteHtmlPageEnd(file);
    file.commit();
    return true;
}

} // namespace textcompare
