#include "textcompare/engine/display_table.h"

namespace textcompare {

QString DisplayTable::cell(int row, int column) const
{
    if (row < 0 || row > lastRow() || column < 0 || column >= ColumnCount)
        return {};
    return m_rows[size_t(row)][size_t(column)];
}

DisplayTable::Row DisplayHeaderRow()
{
    return {QStringLiteral("No."),        QStringLiteral("状態"),       QStringLiteral("行No."),
            QStringLiteral("ファイル１"), QStringLiteral("ファイル２"), QStringLiteral("行No."),
            QString(),                    QString()};
}

} // namespace textcompare
