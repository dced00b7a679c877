#include "textcompare/window/diff_navigation.h"

#include <QList>
#include <QString>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

// The grid rows 1 upwards.
NavigationRows rowsOf(const QList<NavigationRow> &rows)
{
    return [rows](int row) { return rows.value(row - 1); };
}

const NavigationRow Same5{false, 5, 5};

TEST(DiffNavigation, JumpsLandOnTheFirstRowOfABlock)
{
    // Rows: 1 same, 2-3 one block, 4 same, 5 same, 6 a block, 7 deleted line 9 of file 1,
    // 8 added line 9 of file 2 (another block: neither number continues), 9 same.
    const QList<NavigationRow> table{
        {false, 1, 1}, {true, 2, 2}, {true, 3, 3}, {false, 4, 4}, {false, 5, 5},
        {true, 6, 6},  {true, 9, 0}, {true, 0, 9}, {false, 10, 10},
    };
    const struct
    {
        const char *name;
        int current, next, previous;
    } cases[] = {
        {"unchanged row right above a block", 1, 2, 8},
        {"inside a block", 3, 6, 8},
        {"unchanged row right below a block", 4, 6, 2},
        {"unchanged row before an unchanged row", 5, 6, 2},
        {"deleted row before an added row", 7, 8, 6},
        {"last row wraps", 9, 2, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NextDifferenceRow(c.current, 1, 9, rowsOf(table)), c.next);
        EXPECT_EQ(PreviousDifferenceRow(c.current, 1, 9, rowsOf(table)), c.previous);
    }
}

TEST(DiffNavigation, BlocksByLineNumbersAlone)
{
    // Differences only: rows of lines 3-4 are one block, line 8 another; an added row whose
    // file-2 line is 1 continues a row without a file-2 line (an empty cell counts as 0).
    const QList<NavigationRow> table{{true, 3, 3}, {true, 4, 4}, {true, 8, 8}, {true, 9, 0}, {true, 0, 1}};
    EXPECT_EQ(NextDifferenceRow(1, 1, 5, rowsOf(table)), 3);
    EXPECT_EQ(NextDifferenceRow(3, 1, 5, rowsOf(table)), 1) << "the last block wraps to the first";
    EXPECT_EQ(PreviousDifferenceRow(2, 1, 5, rowsOf(table)), 3) << "the only other block, through the wrap";

    const QList<NavigationRow> single{Same5, {true, 6, 6}, Same5};
    EXPECT_EQ(NextDifferenceRow(2, 1, 3, rowsOf(single)), 2) << "the only block is found again";
    EXPECT_EQ(PreviousDifferenceRow(2, 1, 3, rowsOf(single)), 2);
    const QList<NavigationRow> none{Same5, Same5};
    EXPECT_EQ(NextDifferenceRow(1, 1, 2, rowsOf(none)), -1);
    EXPECT_EQ(PreviousDifferenceRow(1, 1, 2, rowsOf(none)), -1);
}

TEST(SearchRow, WrapsAndLooksAtTheCurrentRowLast)
{
    auto order = [](int current, bool downward) {
        QList<int> seen;
        SearchRow(current, 1, 1, 5, downward, [&seen](int row) {
            seen.append(row);
            return false;
        });
        return seen;
    };
    EXPECT_EQ(order(3, true), (QList<int>{4, 5, 1, 2, 3}));
    EXPECT_EQ(order(3, false), (QList<int>{2, 1, 5, 4, 3}));
    EXPECT_EQ(SearchRow(3, 1, 1, 5, true, [](int row) { return row == 3 || row == 1; }), 1);
    EXPECT_EQ(SearchRow(3, 1, 1, 5, true, [](int row) { return row == 3; }), 3) << "found only in the current row";
}

} // namespace
} // namespace textcompare
