#pragma once

#include <functional>

namespace textcompare {

// What the jumps between differences read of a grid row: whether it shows a state, and
// its line numbers in file 1 and file 2 (0 where the cell is empty).
struct NavigationRow
{
    bool difference = false;
    int line1 = 0;
    int line2 = 0;
};
using NavigationRows = std::function<NavigationRow(int row)>;

// Rows of one block: going down, a difference row continues the row above it when its
// file-1 or its file-2 line number is that row's plus one (going up, minus one).

// The first row of the next block of differences below the block of `current`, wrapping
// to the first block at the end; -1 when the rows firstRow..lastRow hold no difference.
// From a row without a difference the search starts right below it, so the block that
// directly follows is the next one.
int NextDifferenceRow(int current, int firstRow, int lastRow, const NavigationRows &rows);

// The first row of the block of differences above the block of `current`, wrapping to the
// last block at the top; -1 when there is none. From a row without a difference the search
// starts right above it, so the block that directly precedes is the previous one.
int PreviousDifferenceRow(int current, int firstRow, int lastRow, const NavigationRows &rows);

// The search through rows firstRow..lastRow from `current`: downward from current + step
// to the last row, then from the first row to `current`; upward from current - step to
// the first row, then from the last row to `current`, so the current row comes last.
// Returns the first row for which `matches` is true, or -1. `matches` is called once per
// row examined, in that order.
int SearchRow(int current, int step, int firstRow, int lastRow, bool downward, const std::function<bool(int row)> &matches);

} // namespace textcompare
