#pragma once

#include "textcompare/engine/line_split.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

namespace textcompare {

// State of a result row: the line exists only in file 2 ("追加"), only in file 1 ("削除"),
// the two lines have different keys ("変更"), or they are the same (empty text; with blanks
// or case ignored their shown texts may still differ).
enum class DiffState : quint8 { Same, Added, Deleted, Changed };

// "", "追加", "削除" or "変更".
QString DiffStateText(DiffState state);

// One result row: line[0] is the line number in file 1 and line[1] the one in file 2, 0
// where the row holds no line of that file.
struct DiffRow
{
    std::array<int, 2> line{};
    DiffState state = DiffState::Same;

    friend bool operator==(const DiffRow &, const DiffRow &) = default;
};

// The engine's result: rows 0 to lastRow() of five columns, every line of both texts in
// exactly one row, in order.
//   column 0: the row's state text (row 0: "TYPE")
//   column 1: line number in file 1 as decimal text, "" when none (row 0: "NO.")
//   column 2: that line of file 1 as shown, or "" (row 0: title 1)
//   column 3: line number in file 2, or "" (row 0: "NO.")
//   column 4: that line of file 2, or "" (row 0: title 2)
// Copies share their rows and texts.
class DiffResultTable
{
public:
    static constexpr int ColumnCount = 5;

    // Row 0 only.
    explicit DiffResultTable(const QString &title1 = QString(), const QString &title2 = QString());
    DiffResultTable(const QString &title1, const QString &title2, std::array<DisplayLines, 2> lines,
                    std::vector<DiffRow> rows);

    // The last row index R; the table has R + 1 rows including row 0.
    int lastRow() const { return int(m_contents->rows.size()); }
    // Text of a cell as laid out above; "" outside rows 0..lastRow() and columns 0..4.
    QString cell(int row, int column) const;

    // Rows 1..lastRow().
    const DiffRow &row(int row) const { return m_contents->rows[size_t(row - 1)]; }
    DiffState state(int row) const { return this->row(row).state; }
    // Line number of file `side + 1` in `row`, 0 when the row has none.
    int lineNumber(int row, int side) const { return this->row(row).line[size_t(side)]; }
    // That line as shown, "" when the row has none.
    QString lineText(int row, int side) const;

private:
    struct Contents
    {
        std::array<QString, 2> titles;
        std::array<DisplayLines, 2> lines;
        std::vector<DiffRow> rows;
    };

    std::shared_ptr<const Contents> m_contents;
};

} // namespace textcompare
