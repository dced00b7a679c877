#include "textcompare/window/diff_grid_rows.h"

namespace textcompare {

namespace {

// A colour of the table as the grid takes it: none stays none, and black (0) is black, as
// the bar and the exports show it, not the grid's "no colour of its own".
quint32 gridColor(std::optional<quint32> color)
{
    if (!color)
        return 0;
    return *color == 0 ? platform::FlexBlack : *color;
}

} // namespace

QString ShownLineText(QString text, const std::optional<BlankMarks> &marks)
{
    if (!marks)
        return text.replace(u'\t', u' ');
    return text.replace(u'\t', marks->tab).replace(u' ', marks->space).replace(u'\u3000', marks->ideographicSpace);
}

DiffGridRows::DiffGridRows(DisplayTable table, std::optional<BlankMarks> marks)
    : m_table(std::move(table))
    , m_marks(std::move(marks))
{
}

QString DiffGridRows::text(int row, int col) const
{
    const QString cell = m_table.cell(row, col);
    if (col == DisplayTable::Text1 || col == DisplayTable::Text2)
        return ShownLineText(cell, m_marks);
    return cell;
}

quint32 DiffGridRows::backColor(int row, int col) const
{
    if (col < DisplayTable::State || col > DisplayTable::Line2)
        return 0;
    return gridColor(m_table.marks(row).rowColor);
}

quint32 DiffGridRows::foreColor(int row, int col) const
{
    if (col != DisplayTable::Line1 && col != DisplayTable::Line2)
        return 0;
    return gridColor(m_table.marks(row).band);
}

} // namespace textcompare
