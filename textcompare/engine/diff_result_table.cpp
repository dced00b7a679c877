#include "textcompare/engine/diff_result_table.h"

#include <utility>

namespace textcompare {

DiffResultTable::DiffResultTable(const QString &title1, const QString &title2)
    : DiffResultTable(title1, title2, {}, {})
{
}

DiffResultTable::DiffResultTable(const QString &title1, const QString &title2,
                                 std::array<DisplayLines, 2> lines, DiffRowList rows)
    : m_contents(std::make_shared<const Contents>(
          Contents{{title1, title2}, std::move(lines), std::move(rows)}))
{
}

QString DiffResultTable::lineText(int row, int side) const
{
    const int line = lineNumber(row, side);
    return line ? m_contents->lines[size_t(side)].text(line) : QString();
}

QString DiffResultTable::cell(int row, int column) const
{
    if (row < 0 || row > lastRow() || column < 0 || column >= ColumnCount)
        return QString();
    if (row == 0) {
        switch (column) {
        case 0:
            return QStringLiteral("TYPE");
        case 2:
            return m_contents->titles[0];
        case 4:
            return m_contents->titles[1];
        default:
            return QStringLiteral("NO.");
        }
    }
    if (column == 0)
        return DiffStateText(state(row));
    const int side = (column - 1) / 2;
    if (column % 2 == 1) {
        const int line = lineNumber(row, side);
        return line ? QString::number(line) : QString();
    }
    return lineText(row, side);
}

} // namespace textcompare
