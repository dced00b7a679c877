#include "foldercompare/operations/result_list_html.h"

#include "common/export_file.h"
#include "common/html_text.h"
#include "foldercompare/listing/folder_services.h"
#include "platform/code_page.h"
#include "platform/flex_grid.h"

namespace foldercompare {

namespace {

const QString PageTitle = QStringLiteral("Dirgleam");

bool keptInLink(QChar c)
{
    const char16_t unit = c.unicode();
    if (unit < 0x20 || unit == 0x7F)
        return false;
    if (unit < 0x80)
        return !QStringView(u"%#?\"\\ ").contains(c);
    return platform::hasExactCp932Form(unit);
}

QString headerWidth(int column)
{
    if (column <= 1)
        return QStringLiteral("50");
    if (column <= 3)
        return QStringLiteral("150");
    return QStringLiteral("570");
}

QString dataAlignment(int column)
{
    if (column == 0)
        return QStringLiteral("right");
    if (column <= 3)
        return QStringLiteral("center");
    return QStringLiteral("left");
}

} // namespace

QString HtmlLinkTarget(const QString &relativeName)
{
    QString target;
    target.reserve(relativeName.size());
    qsizetype i = 0;
    while (i < relativeName.size()) {
        const QChar c = relativeName[i];
        if (keptInLink(c)) {
            target += c;
            ++i;
            continue;
        }
        const qsizetype length = c.isHighSurrogate() && i + 1 < relativeName.size()
                                         && relativeName[i + 1].isLowSurrogate()
                                     ? 2
                                     : 1;
        for (const char byte : QStringView(relativeName).mid(i, length).toUtf8())
            target += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper();
        i += length;
    }
    return common::HtmlEscapeMarkup(target);
}

void BatHtmlSave(const ResultListExport &source, const QString &path)
{
    if (SkipsExportWithoutDifference(source.diffRowCount))
        return;
    bool created = false;
    listing::CreateFolder(path, 1, created);

    const platform::FlexGrid &grid = source.rows.grid;
    const int rows = grid.rows();
    const int cols = grid.cols();
    common::ExportFile file(path, false, common::ExportFile::Unrepresentable::CharacterReference);
    common::WriteHtmlPageStart(file, QStringLiteral("shift_jis"), PageTitle, source.shownFolderPaths());

    QString line;
    for (int row = 0; row < rows; ++row) {
        // 0 is the grid's "no colour of its own": white, as the grid and the workbook show it.
        const quint32 color = row > 0 ? grid.backColorAt(row, 1) : 0;
        const std::optional<quint32> shown = color != 0 ? std::optional<quint32>(color) : std::nullopt;
        line = QStringLiteral("<tr bgcolor=\"") + common::HtmlRowColor(shown) + QStringLiteral("\">");
        for (int col = 0; col < cols; ++col) {
            const QString text = grid.textMatrix(row, col);
            if (row == 0) {
                line += QStringLiteral("<td align=\"center\" width=\"") + headerWidth(col) + QStringLiteral("\">");
                line += common::HtmlEscape(text);
            } else {
                line += QStringLiteral("<td align=\"") + dataAlignment(col) + QStringLiteral("\">");
                if (source.perRow.on() && col == 4 && !text.isEmpty() && IsPerRowEligible(grid, row))
                    line += QStringLiteral("<a href=\"") + HtmlLinkTarget(PerRowLinkName(path, row))
                            + QStringLiteral("\">") + common::HtmlEscape(text) + QStringLiteral("</a>");
                else
                    line += common::HtmlEscape(text);
            }
            line += QStringLiteral("</td>");
        }
        line += QStringLiteral("</tr>");
        file.writeLine(line);
        if (source.letEventsRun)
            source.letEventsRun();
    }
    common::WriteHtmlPageEnd(file);
    file.commit();

    RunPerRowOutputs(source, ReportKind::Html, path);
}

} // namespace foldercompare
