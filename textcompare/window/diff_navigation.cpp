#include "textcompare/window/diff_navigation.h"

namespace textcompare {

namespace {

// Whether row `next` continues row `from` of a block, `direction` rows away (+1 or -1).
bool continues(const NavigationRows &rows, int from, int next, int direction)
{
    const NavigationRow reached = rows(from);
    const NavigationRow candidate = rows(next);
    return candidate.difference
           && (candidate.line1 == reached.line1 + direction || candidate.line2 == reached.line2 + direction);
}

// The last row of the block of `start` in `direction`; `start` itself when it shows no
// difference, since a row that is not in a block has no block to walk through.
int blockEnd(const NavigationRows &rows, int start, int firstRow, int lastRow, int direction)
{
    if (!rows(start).difference)
        return start;
    int reached = start;
    while (reached + direction >= firstRow && reached + direction <= lastRow
           && continues(rows, reached, reached + direction, direction))
        reached += direction;
    return reached;
}

int firstDifference(const NavigationRows &rows, int from, int to, int direction)
{
    for (int row = from; direction > 0 ? row <= to : row >= to; row += direction)
        if (rows(row).difference)
            return row;
    return -1;
}

} // namespace

int NextDifferenceRow(int current, int firstRow, int lastRow, const NavigationRows &rows)
{
    if (firstRow > lastRow)
        return -1;
    const int end = blockEnd(rows, current, firstRow, lastRow, +1);
    const int hit = firstDifference(rows, end + 1, lastRow, +1);
    return hit >= 0 ? hit : firstDifference(rows, firstRow, lastRow, +1);
}

int PreviousDifferenceRow(int current, int firstRow, int lastRow, const NavigationRows &rows)
{
    if (firstRow > lastRow)
        return -1;
    const int begin = blockEnd(rows, current, firstRow, lastRow, -1);
    int hit = firstDifference(rows, begin - 1, firstRow, -1);
    if (hit < 0)
        hit = firstDifference(rows, lastRow, firstRow, -1);
    if (hit < 0)
        return -1;
    return blockEnd(rows, hit, firstRow, lastRow, -1);
}

int SearchRow(int current, int step, int firstRow, int lastRow, bool downward, const std::function<bool(int)> &matches)
{
    if (downward) {
        for (int row = current + step; row <= lastRow; ++row)
            if (matches(row))
                return row;
        for (int row = firstRow; row <= current; ++row)
            if (matches(row))
                return row;
    } else {
        for (int row = current - step; row >= firstRow; --row)
            if (matches(row))
                return row;
        for (int row = lastRow; row >= current; --row)
            if (matches(row))
                return row;
    }
    return -1;
}

} // namespace textcompare
