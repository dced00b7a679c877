#pragma once

#include "textcompare/engine/document_limits.h"

#include <QString>
#include <QStringView>

namespace textcompare {

// Builds the text of a block of worksheet cells, fed row by row from the top and cell by
// cell from the left: one line per row from the block's first row to its last row with a
// value, each ending in CR LF; within a line the cells from the block's first column to
// the row's last cell with a value, joined by TAB. Empty rows and cells before a value
// stay as empty lines and fields; those after the last value are left out. Cells outside
// the block are passed over. The text's characters and lines count in a budget, which the
// reader of the workbook shares.
class SheetTextBuilder
{
public:
    // The block: rows firstRow to lastRow, columns firstColumn to lastColumn (1-based).
    SheetTextBuilder(qint64 firstRow, qint64 lastRow, qint64 firstColumn, qint64 lastColumn, ExpansionBudget &budget);

    // Adds the cell at `row`, `column`; an empty `text` counts as no value. False when
    // the cell does not come after the last one added (a file out of order), or when the
    // text would pass the budget (budget().exceeded() then tells so).
    bool addCell(qint64 row, qint64 column, QStringView text);
    ExpansionBudget &budget() { return m_budget; }
    // Whether rows below `row` can still be added.
    bool wantsRow(qint64 row) const { return row <= m_lastRow; }
    // The text; the builder is spent.
    QString finish();

private:
    qint64 m_firstRow;
    qint64 m_lastRow;
    qint64 m_firstColumn;
    qint64 m_lastColumn;
    qint64 m_lastAddedRow = 0;
    qint64 m_lastAddedColumn = 0;
    qint64 m_openRow = 0;    // the row whose line is being written, 0 for none
    qint64 m_openColumn = 0; // its last column with a value
    QString m_text;
    ExpansionBudget &m_budget;
};

} // namespace textcompare
