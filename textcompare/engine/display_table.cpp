#include "textcompare/engine/display_table.h"

#include <algorithm>

namespace textcompare {

namespace {

quint32 rowColor(DiffState state, const DiffColors &colors)
{
    switch (state) {
    case DiffState::Added:
        return colors.DIFFCADD;
    case DiffState::Deleted:
        return colors.DIFFCDEL;
    default:
        return colors.DIFFCUPD;
    }
}

QString colorText(quint32 color)
{
    return QString::number(qint32(color));
}

} // namespace

QString DisplayTable::cell(int row, int column) const
{
    if (row < 0 || row > lastRow() || column < 0 || column >= ColumnCount)
        return {};
    if (row < int(m_textRows.size()))
        return m_textRows[size_t(row)][size_t(column)];
    return resultCell(row, place(row), column);
}

DisplayTable::Row DisplayTable::row(int row) const
{
    if (row < int(m_textRows.size()))
        return m_textRows[size_t(row)];
    const ResultPlace where = place(row);
    Row cells;
    for (int column = 0; column < ColumnCount; ++column)
        cells[size_t(column)] = resultCell(row, where, column);
    return cells;
}

DisplayTable::ResultPlace DisplayTable::place(int row) const
{
    const auto after = std::upper_bound(m_stretches.begin(), m_stretches.end(), row,
                                        [](int wanted, const Stretch &stretch) { return wanted < stretch.firstRow; });
    const Stretch &stretch = *(after - 1);
    return {stretch.firstResultRow + (row - stretch.firstRow), stretch.band};
}

QString DisplayTable::resultCell(int row, const ResultPlace &where, int column) const
{
    const DiffRow lines = m_result.row(where.resultRow);
    const bool marked = m_look.showStates && lines.state != DiffState::Same;
    switch (column) {
    case No:
        return QString::number(row);
    case State:
        return marked ? DiffStateText(lines.state) : QString();
    case RowColor:
        return marked ? colorText(rowColor(lines.state, m_look.colors)) : QString();
    case BandColor:
        return marked && where.band ? colorText(*where.band) : QString();
    default: {
        const int side = column == Line2 || column == Text2 ? 1 : 0;
        const int line = lines.line[size_t(side)];
        if (!line)
            return {};
        return column == Line1 || column == Line2 ? QString::number(line) : m_result.lines(side).text(line);
    }
    }
}

DisplayTable::RowMarks DisplayTable::resultMarks(const ResultPlace &where) const
{
    const DiffRow lines = m_result.row(where.resultRow);
    RowMarks marks;
    marks.line = lines.line;
    marks.marked = m_look.showStates && lines.state != DiffState::Same;
    if (marks.marked) {
        marks.rowColor = rowColor(lines.state, m_look.colors);
        marks.band = where.band;
    }
    return marks;
}

DisplayTable::RowMarks DisplayTable::textMarks(const Row &cells)
{
    RowMarks marks;
    marks.marked = !cells[State].isEmpty();
    marks.line = {cells[Line1].toInt(), cells[Line2].toInt()};
    if (!cells[RowColor].isEmpty())
        marks.rowColor = cells[RowColor].toUInt();
    if (!cells[BandColor].isEmpty())
        marks.band = cells[BandColor].toUInt();
    return marks;
}

DisplayTable::RowMarks DisplayTable::marks(int row) const
{
    if (row < 0 || row > lastRow())
        return {};
    if (row < int(m_textRows.size()))
        return textMarks(m_textRows[size_t(row)]);
    return resultMarks(place(row));
}

void DisplayTable::visitMarks(int first, int last, const std::function<bool(int, const RowMarks &)> &visit) const
{
    first = std::max(first, 0);
    last = std::min(last, lastRow());
    int row = first;
    for (; row <= last && row < int(m_textRows.size()); ++row)
        if (!visit(row, textMarks(m_textRows[size_t(row)])))
            return;
    if (row > last)
        return;
    auto stretch = std::upper_bound(m_stretches.begin(), m_stretches.end(), row,
                                    [](int wanted, const Stretch &s) { return wanted < s.firstRow; })
                   - 1;
    for (; row <= last; ++row) {
        if (stretch + 1 != m_stretches.end() && (stretch + 1)->firstRow == row)
            ++stretch;
        const ResultPlace where{stretch->firstResultRow + (row - stretch->firstRow), stretch->band};
        if (!visit(row, resultMarks(where)))
            return;
    }
}

void DisplayTable::showResult(const DiffResultTable &result, const ResultLook &look)
{
    m_result = result;
    m_look = look;
}

void DisplayTable::appendResultRow(int resultRow, std::optional<quint32> band)
{
    const int row = lastRow() + 1;
    const bool continues = !m_stretches.empty() && m_stretches.back().band == band
                           && resultRow - m_stretches.back().firstResultRow == row - m_stretches.back().firstRow;
    if (!continues)
        m_stretches.push_back(Stretch{row, resultRow, band});
    ++m_resultRowCount;
}

DisplayTable::Row DisplayHeaderRow()
{
    return {QStringLiteral("No."),        QStringLiteral("状態"),       QStringLiteral("行No."),
            QStringLiteral("ファイル１"), QStringLiteral("ファイル２"), QStringLiteral("行No."),
            QString(),                    QString()};
}

} // namespace textcompare
