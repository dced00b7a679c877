#include "textcompare/engine/sheet_text.h"

namespace textcompare {

SheetTextBuilder::SheetTextBuilder(qint64 firstRow, qint64 lastRow, qint64 firstColumn, qint64 lastColumn)
    : m_firstRow(firstRow)
    , m_lastRow(lastRow)
    , m_firstColumn(firstColumn)
    , m_lastColumn(lastColumn)
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
    if (row != m_openRow) {
        const qint64 linesBefore = m_openRow == 0 ? row - m_firstRow : row - m_openRow;
        for (qint64 line = 0; line < linesBefore; ++line)
            m_text += QLatin1String("\r\n");
        m_openRow = row;
        m_openColumn = m_firstColumn - 1;
    }
    for (qint64 field = m_openColumn; field < column; ++field) {
        if (field >= m_firstColumn)
            m_text += u'\t';
    }
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
