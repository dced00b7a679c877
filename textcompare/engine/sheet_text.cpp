#include "textcompare/engine/sheet_text.h"

#include <algorithm>

namespace textcompare {

SheetTextBuilder::SheetTextBuilder(qint64 firstRow, qint64 lastRow, qint64 firstColumn, qint64 lastColumn,
                                   ExpansionBudget &budget)
    : m_firstRow(firstRow)
    , m_lastRow(lastRow)
    , m_firstColumn(firstColumn)
    , m_lastColumn(lastColumn)
    , m_budget(budget)
{
}

bool SheetTextBuilder::addCell(qint64 row, qint64 column, QStringView text)
{
    if (row < m_lastAddedRow || (row == m_lastAddedRow && column <= m_lastAddedColumn))
        return false;
    m_lastAddedRow = row;
    m_lastAddedColumn = column;
    if (text.isEmpty() || row < m_firstRow || row > m_lastRow || column < m_firstColumn || column > m_lastColumn)
        return true;
    const qint64 linesBefore = row == m_openRow ? 0 : m_openRow == 0 ? row - m_firstRow : row - m_openRow;
    const qint64 openColumn = row == m_openRow ? m_openColumn : m_firstColumn - 1;
    const qint64 tabs = column - std::max(openColumn, m_firstColumn);
    // Counted before anything is added: a cell far down or far across makes empty lines
    // and fields without end.
    if (!m_budget.take(2 * linesBefore + tabs + text.size(), linesBefore))
        return false;
    m_text.append(QStringLiteral("\r\n").repeated(linesBefore));
    m_text.append(QString(tabs, u'\t'));
    m_openRow = row;
    m_text += text;
    m_openColumn = column;
    return true;
}

QString SheetTextBuilder::finish()
{
    if (m_openRow != 0)
        m_text += QLatin1String("\r\n");
    return std::move(m_text);
}

} // namespace textcompare
