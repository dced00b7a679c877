#pragma once

#include "textcompare/engine/diff_result_table.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace textcompare {

// Row and band colours of the difference display, blue-green-red values.
struct DiffColors
{
    quint32 DIFFCUPD = 0xFFFFBB; // changed rows
    quint32 DIFFCADD = 0xBBBBFF; // added rows
    quint32 DIFFCDEL = 0xDDDDDD; // deleted rows
    quint32 DIFFCNO1 = 0x0000FF; // first band of the differences-only view
    quint32 DIFFCNO2 = 0xFF0000; // second band

    friend bool operator==(const DiffColors &, const DiffColors &) = default;
};

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
//
// The rows of a comparison are not held as texts: each stretch of rows that shows
// consecutive rows of the result is one entry, and a row's cells are made from the result
// when they are read, in row order at the lowest cost. Rows given as texts (the header) come
// first.
class DisplayTable
{
public:
    static constexpr int ColumnCount = 8;
    enum Column { No, State, Line1, Text1, Text2, Line2, RowColor, BandColor };
    using Row = std::array<QString, ColumnCount>;

    // How rows taken from a result show their state and colours.
    struct ResultLook
    {
        bool showStates = true; // both path boxes hold a path: states and row colours shown
        DiffColors colors;
    };

    // A table without rows (its last row index is -1).
    DisplayTable() = default;
    // A table of `rowCount` empty rows.
    explicit DisplayTable(int rowCount) : m_textRows(size_t(rowCount)) {}

    // Index of the last row: the number of data rows when row 0 holds the headers.
    int lastRow() const { return int(m_textRows.size()) + m_resultRowCount - 1; }
    // "" outside the table.
    QString cell(int row, int column) const;
    // The cells of row `row` (0 to lastRow()).
    Row row(int row) const;
    // What a row shows besides its line texts, read without making its cells.
    struct RowMarks
    {
        bool marked = false;             // column 1 holds a state
        std::array<int, 2> line{};       // columns 2 and 5 as numbers, 0 where empty
        std::optional<quint32> rowColor; // column 6, none where empty
        std::optional<quint32> band;     // column 7, none where empty
    };
    RowMarks marks(int row) const;
    // Calls `visit` with the marks of rows first..last in order, each row at the cost of a
    // step rather than a search; stops as soon as `visit` returns false.
    void visitMarks(int first, int last, const std::function<bool(int row, const RowMarks &marks)> &visit) const;

    // Appends a row given as texts; only before any result row.
    void append(Row row) { m_textRows.push_back(std::move(row)); }

    // Takes the rows that appendResultRow() appends from `result`.
    void showResult(const DiffResultTable &result, const ResultLook &look);
    // Appends row `resultRow` of the result as the next row, its band colour `band` (shown
    // on a row with a state) or none.
    void appendResultRow(int resultRow, std::optional<quint32> band);

private:
    // Where a result row's cells come from.
    struct ResultPlace
    {
        int resultRow;
        std::optional<quint32> band;
    };
    ResultPlace place(int row) const;
    QString resultCell(int row, const ResultPlace &place, int column) const;
    RowMarks resultMarks(const ResultPlace &place) const;
    static RowMarks textMarks(const Row &cells);

    // Rows firstRow, firstRow + 1, ... up to the next stretch show the result rows
    // firstResultRow, firstResultRow + 1, ..., all with the same band.
    struct Stretch
    {
        int firstRow;
        int firstResultRow;
        std::optional<quint32> band;
    };

    std::vector<Row> m_textRows;
    DiffResultTable m_result;
    ResultLook m_look;
    std::vector<Stretch> m_stretches;
    int m_resultRowCount = 0;
};

// Row 0 of a display table: the six grid headers and two empty colour cells.
DisplayTable::Row DisplayHeaderRow();

} // namespace textcompare
