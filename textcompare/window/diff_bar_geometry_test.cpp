#include "textcompare/window/diff_bar_geometry.h"

#include "textcompare/engine/diff_display.h"

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(DiffBarGeometry, RowsRunsAndClicksOnTheBar)
{
    const double h = BarUnitsPerRow(400, 100);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(RunBox({10, 10, 0}, 1, h), (BarBox{36, 40}));
    EXPECT_EQ(BarRowAt(37, 1, h), 10);
    EXPECT_EQ(BarUnitsPerRow(400, 0), 0) << "no data rows, no scale";

    // Rows smaller than units: runs of less than a unit are covered by the next box.
    const double small = BarUnitsPerRow(10, 40);
    const std::vector<BarRun> runs{{1, 20, 1}, {21, 21, 2}, {22, 40, 3}};
    EXPECT_EQ(PaintedBoxes(runs, 1, small), (std::vector<PaintedBox>{{{0, 5}, 1}, {{5, 10}, 3}}));
    EXPECT_EQ(PaintedBoxes({{1, 1, 7}}, 1, small), (std::vector<PaintedBox>{{{0, 0}, 7}})) << "the last box stays";
}

TEST(DiffBarGeometry, Markers)
{
    const struct
    {
        const char *name;
        int top, lastVisible, row, rows;
        double h;
        BarMarker view, current;
    } cases[] = {
        {"middle of the bar", 11, 20, 15, 101, 4, {40, 40}, {56, 4}},
        {"last row in view and current", 91, 100, 100, 101, 4, {360, 40}, {396, 4}},
        {"grid taller than its rows", 1, 30, 3, 11, 40, {0, 400}, {80, 40}},
        {"rows smaller than units", 501, 540, 600, 1001, 0.4, {200, 15}, {239, 1}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ViewMarker(c.top, c.lastVisible, c.rows, 1, c.h, 400), c.view);
        EXPECT_EQ(RowMarker(c.row, c.rows, 1, c.h, 400), c.current);
    }
    EXPECT_EQ(LastVisibleRow(230, 20, 1, 1), 10) << "11.5 rows: halves go to even";
    EXPECT_EQ(LastVisibleRow(250, 20, 1, 1), 12);
}

TEST(DiffBarGeometry, RunsOfEqualRowColour)
{
    DiffDisplayOptions options;
    options.ignoreBlanks = false;
    const DiffDisplay display = BuildDiffDisplay(QStringLiteral("a\nb\nc\nd\ne\nf"), QStringLiteral("a\nB\nC\nd\ne\n"), 0,
                                                 0, options, {}, {});
    EXPECT_EQ(DiffBarRuns(display.table, 1, display.table.lastRow()),
              (std::vector<BarRun>{{1, 1, 0xFFFFFF}, {2, 3, 0xFFFFBB}, {4, 5, 0xFFFFFF}, {6, 6, 0xDDDDDD}}));
    EXPECT_EQ(DiffBarRuns(display.table, 3, 4), (std::vector<BarRun>{{3, 3, 0xFFFFBB}, {4, 4, 0xFFFFFF}}));
}

} // namespace
} // namespace textcompare
