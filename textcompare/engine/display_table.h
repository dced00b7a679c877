#pragma once

#include <QString>

#include <array>
#include <vector>

namespace textcompare {

// The table behind the viewer's result grid: one row per grid row, row 0 the headers.
// The comparison builds it; the grid, the exports and the line commands read it.
//   column 0: running number "1".."K" (row 0: "No.")
//   column 1: state "追加", "削除", "変更" or "" (row 0: "状態")
//   column 2: line number in file 1 as decimal text, or "" (row 0: "行No.")
//   column 3: that line of file 1, or "" (row 0: "ファイル１")
//   column 4: the line of file 2, or "" (row 0: "ファイル２")
//   column 5: line number in file 2, or "" (row 0: "行No.")
//   column 6: row colour, the decimal text of a blue-green-red value; "" for rows without
//             a state
//   column 7: band colour of the differences-only view, decimal text, or ""
class DisplayTable
{
public:
    static constexpr int ColumnCount = 8;
    enum Column { No, State, Line1, Text1, Text2, Line2, RowColor, BandColor };
    using Row = std::array<QString, ColumnCount>;

    // A table without rows (its last row index is -1).
    DisplayTable() = default;
    // A table of `rowCount` empty rows.
    explicit DisplayTable(int rowCount) : m_rows(size_t(rowCount)) {}

    // Index of the last row: the number of data rows when row 0 holds the headers.
    int lastRow() const { return int(m_rows.size()) - 1; }
    // "" outside the table.
    QString cell(int row, int column) const;
    const Row &row(int row) const { return m_rows[size_t(row)]; }
    void append(Row row) { m_rows.push_back(std::move(row)); }

private:
    std::vector<Row> m_rows;
};

// Row 0 of a display table: the six grid headers and two empty colour cells.
DisplayTable::Row DisplayHeaderRow();

} // namespace textcompare
