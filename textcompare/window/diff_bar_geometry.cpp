#include "textcompare/window/diff_bar_geometry.h"

#include <cmath>

namespace textcompare {

namespace {

constexpr quint32 White = 0xFFFFFF;

int unitFloor(double value)
{
    return int(std::floor(value));
}

} // namespace

std::vector<BarRun> DiffBarRuns(const DisplayTable &table, int firstRow, int lastRow)
{
    std::vector<BarRun> runs;
    table.visitMarks(firstRow, lastRow, [&runs](int row, const DisplayTable::RowMarks &marks) {
        const quint32 color = marks.rowColor.value_or(White);
        if (!runs.empty() && runs.back().color == color)
            runs.back().lastRow = row;
        else
            runs.push_back({row, row, color});
        return true;
    });
    return runs;
}

double BarUnitsPerRow(int barHeight, int dataRows)
{
    return dataRows > 0 ? double(barHeight) / dataRows : 0;
}

BarBox RunBox(const BarRun &run, int fixedRows, double unitsPerRow)
{
    return {unitFloor((run.firstRow - fixedRows) * unitsPerRow), unitFloor((run.lastRow - fixedRows + 1) * unitsPerRow)};
}

std::vector<PaintedBox> PaintedBoxes(const std::vector<BarRun> &runs, int fixedRows, double unitsPerRow)
{
    std::vector<PaintedBox> boxes;
    for (size_t index = 0; index < runs.size(); ++index) {
        const BarBox box = RunBox(runs[index], fixedRows, unitsPerRow);
        // The next box starts on this one's bottom unit, so a one-unit box is covered.
        const bool covered = index + 1 < runs.size() && box.top == box.bottom;
        if (!covered)
            boxes.push_back({box, runs[index].color});
    }
    return boxes;
}

int BarRowAt(int y, int fixedRows, double unitsPerRow)
{
    return unitFloor(y / unitsPerRow) + fixedRows;
}

int LastVisibleRow(double gridHeight, double rowHeight, int topRow, int fixedRows)
{
    return int(std::nearbyint(gridHeight / rowHeight + topRow - 1 - fixedRows));
}

BarMarker ViewMarker(int topRow, int lastVisible, int rows, int fixedRows, double unitsPerRow, int barHeight)
{
    BarMarker marker;
    marker.top = unitFloor((topRow - fixedRows) * unitsPerRow);
    marker.height = std::max(1, unitFloor(unitFloor((lastVisible - fixedRows) * unitsPerRow) + unitsPerRow) - marker.top);
    if (lastVisible >= rows - 1)
        marker.height = std::max(1, barHeight - marker.top);
    return marker;
}

BarMarker RowMarker(int row, int rows, int fixedRows, double unitsPerRow, int barHeight)
{
    BarMarker marker;
    marker.top = unitFloor((row - fixedRows) * unitsPerRow);
    marker.height = std::max(1, unitFloor(unitsPerRow));
    if (row == rows - 1)
        marker.height = std::max(1, barHeight - marker.top);
    return marker;
}

} // namespace textcompare
