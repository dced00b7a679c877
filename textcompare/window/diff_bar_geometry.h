#pragma once

#include "textcompare/engine/display_table.h"

#include <QtGlobal>

#include <vector>

namespace textcompare {

// The difference bar beside the grid shows the whole table at once: every run of rows of
// one row colour is a box of that colour, scaled to the bar's height. All values are in
// the bar's own units, in which one unit is the smallest visible height (a pixel); grid
// rows count from 0 with the header in the fixed rows.

// Consecutive grid rows first..last of the same row colour (white where a row has none).
struct BarRun
{
    int firstRow = 0;
    int lastRow = 0;
    quint32 color = 0;

    friend bool operator==(const BarRun &, const BarRun &) = default;
};

// The runs of rows firstRow..lastRow of the table, top to bottom.
std::vector<BarRun> DiffBarRuns(const DisplayTable &table, int firstRow, int lastRow);

// Units of the bar per data row: the bar's height over the number of data rows; 0 when
// there are none.
double BarUnitsPerRow(int barHeight, int dataRows);

// A stretch of the bar, from unit `top` down to unit `bottom`, both included.
struct BarBox
{
    int top = 0;
    int bottom = 0;

    friend bool operator==(const BarBox &, const BarBox &) = default;
};

// The box of a run: from the top of its first row's place to the top of the place after
// its last row, so that a run drawn later covers the last unit of the one before.
BarBox RunBox(const BarRun &run, int fixedRows, double unitsPerRow);

// The boxes to paint for the runs, top to bottom, each with its run's colour. A box that
// the next one covers whole (a run of less than a unit, once rows are smaller than units)
// is left out, since painting it would change nothing.
struct PaintedBox
{
    BarBox box;
    quint32 color = 0;

    friend bool operator==(const PaintedBox &, const PaintedBox &) = default;
};
std::vector<PaintedBox> PaintedBoxes(const std::vector<BarRun> &runs, int fixedRows, double unitsPerRow);

// The grid row at unit `y` of the bar (a click there scrolls to it).
int BarRowAt(int y, int fixedRows, double unitsPerRow);

// The last grid row in view: the grid's height over the height of a row, plus the top
// row, less one and the fixed rows, taken to the nearest whole number (halves to even).
int LastVisibleRow(double gridHeight, double rowHeight, int topRow, int fixedRows);

// A marker on the bar: its top unit and its height in units (at least 1).
struct BarMarker
{
    int top = 0;
    int height = 1;

    friend bool operator==(const BarMarker &, const BarMarker &) = default;
};

// The marker of the rows in view, topRow..lastVisible; it reaches the bar's bottom when
// the grid's last row is in view.
BarMarker ViewMarker(int topRow, int lastVisible, int rows, int fixedRows, double unitsPerRow, int barHeight);

// The marker of the current row; it reaches the bar's bottom on the grid's last row.
BarMarker RowMarker(int row, int rows, int fixedRows, double unitsPerRow, int barHeight);

} // namespace textcompare
