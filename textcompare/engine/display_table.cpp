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
    return this->row(row)[size_t(column)];
}

DisplayTable::Row DisplayTable::row(int row) const
{
    if (row < int(m_textRows.size()))
        return m_textRows[size_t(row)];
    const auto after = std::upper_bound(m_stretches.begin(), m_stretches.end(), row,
                                        [](int wanted, const Stretch &stretch) { return wanted < stretch.firstRow; });
    const Stretch &stretch = *(after - 1);
    const int resultRow = stretch.firstResultRow + (row - stretch.firstRow);
    const DiffRow lines = m_result.row(resultRow);
    const bool marked = m_look.showStates && lines.state != DiffState::Same;

    Row cells;
    cells[No] = QString::number(row);
    if (marked) {
        cells[State] = DiffStateText(lines.state);
        cells[RowColor] = colorText(rowColor(lines.state, m_look.colors));
        if (stretch.band)
            cells[BandColor] = colorText(*stretch.band);
    }
    for (int side = 0; side < 2; ++side) {
        const int line = lines.line[size_t(side)];
        if (line) {
            cells[side ? Line2 : Line1] = QString::number(line);
            cells[side ? Text2 : Text1] = m_result.lines(side).text(line);
        }
    }
    return cells;
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
