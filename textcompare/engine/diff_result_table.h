#pragma once

#include "textcompare/engine/diff_rows.h"
#include "textcompare/engine/line_split.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

namespace textcompare {

// The engine's result: rows 0 to lastRow() of five columns, every line of both texts in
// exactly one row, in order.
//   column 0: the row's state text (row 0: "TYPE")
//   column 1: line number in file 1 as decimal text, "" when none (row 0: "NO.")
//   column 2: that line of file 1 as shown, or "" (row 0: title 1)
//   column 3: line number in file 2, or "" (row 0: "NO.")
//   column 4: that line of file 2, or "" (row 0: title 2)
// Copies share their rows and texts. Reading line texts in row order is cheapest (see
// DisplayLines).
class DiffResultTable
{
public:
    static constexpr int ColumnCount = 5;

    // Row 0 only.
    explicit DiffResultTable(const QString &title1 = QString(), const QString &title2 = QString());
    DiffResultTable(const QString &title1, const QString &title2, std::array<DisplayLines, 2> lines,
                    DiffRowList rows);

    // The last row index R; the table has R + 1 rows including row 0.
    int lastRow() const { return m_contents->rows.size(); }
    // Text of a cell as laid out above; "" outside rows 0..lastRow() and columns 0..4.
    QString cell(int row, int column) const;

    // Rows 1..lastRow().
    DiffRow row(int row) const { return m_contents->rows[row - 1]; }
    const DiffRowList &rows() const { return m_contents->rows; }
    DiffState state(int row) const { return this->row(row).state; }
    // Line number of file `side + 1` in `row`, 0 when the row has none.
    int lineNumber(int row, int side) const { return this->row(row).line[size_t(side)]; }
    // That line as shown, "" when the row has none.
    QString lineText(int row, int side) const;
    // The lines of file `side + 1`.
    const DisplayLines &lines(int side) const { return m_contents->lines[size_t(side)]; }

private:
    struct Contents
    {
        std::array<QString, 2> titles;
        std::array<DisplayLines, 2> lines;
        DiffRowList rows;
    };

    std::shared_ptr<const Contents> m_contents;
};

} // namespace textcompare
