// Filling a result grid of 100,000 rows the way the comparison does it: one row at a
// time, five texts, the row data, and the back colour painted per run of equal colour
// through the selection with FillStyle Repeat. With and without a view attached.

#include "platform/flex_grid.h"
#include "platform/widgets/flex_grid_view.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using platform::FlexGrid;

constexpr int RowCount = 100000;
constexpr int RunLength = 7;
constexpr quint32 Colors[] = {0, 0xFFFFBB, 0xBBBBFF, 0xDDDDDD, 0x88FFFF};

// The texts of every row, made before the clock runs: the comparison has them in hand.
const std::vector<QStringList> &rowTexts()
{
    static const std::vector<QStringList> texts = [] {
        std::vector<QStringList> rows;
        rows.reserve(RowCount + 1);
        rows.emplace_back();
        for (int row = 1; row <= RowCount; ++row)
            rows.push_back({QString::number(row), QStringLiteral("変更"), QStringLiteral(" 2024/01/01 00:00:00 "),
                            QStringLiteral(" 2024/02/01 10:00:00*"), QStringLiteral("sub/folder/file%1.txt").arg(row)});
        return rows;
    }();
    return texts;
}

void resetGrid(FlexGrid &grid)
{
    grid.setRedraw(false);
    grid.clear();
    grid.setRows(2);
    grid.setCols(5);
    grid.setFixedRows(1);
    grid.setFixedCols(1);
    grid.setRowTexts(0, {"No.", "状態", "フォルダ１", "フォルダ２", "ファイル/フォルダの相対パス"});
    grid.setCurrentCell(1, 1);
}

void paintRun(FlexGrid &grid, int first, int last, quint32 color)
{
    grid.setSelection(first, 1, last, 4);
    grid.setFillStyle(platform::FlexFill::Repeat);
    grid.setCellBackColor(color);
    grid.setFillStyle(platform::FlexFill::Single);
}

// Fills the grid; every `refreshEvery` rows (0: never) redraw is switched on, pending
// events run and redraw goes off again, as the folder comparison does every 500 rows.
void fill(FlexGrid &grid, int refreshEvery)
{
    const auto &texts = rowTexts();
    int runStart = 1;
    for (int row = 1; row <= RowCount; ++row) {
        grid.setRows(row + 1);
        grid.setRowTexts(row, texts[row]);
        grid.setRowData(row, row);
        if (row % RunLength == 0) {
            paintRun(grid, runStart, row, Colors[(row / RunLength) % 5]);
            runStart = row + 1;
        }
        if (refreshEvery > 0 && row % refreshEvery == 0) {
            grid.setCurrentCell(grid.row(), grid.col());
            grid.setRedraw(true);
            QApplication::processEvents();
            grid.setRedraw(false);
        }
    }
    if (runStart <= RowCount)
        paintRun(grid, runStart, RowCount, Colors[0]);
    grid.setRedraw(true);
    QApplication::processEvents();
}

void BM_FillWithoutView(benchmark::State &state)
{
    rowTexts();
    for (auto _ : state) {
        FlexGrid grid;
        resetGrid(grid);
        fill(grid, 0);
        benchmark::DoNotOptimize(grid.rows());
    }
    state.counters["rows/s"] = benchmark::Counter(RowCount, benchmark::Counter::kIsIterationInvariantRate);
}

void fillWithView(benchmark::State &state, int refreshEvery)
{
    rowTexts();
    platform::widgets::FlexGridView view;
    view.resize(1000, 600);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        resetGrid(*view.grid());
        fill(*view.grid(), refreshEvery);
        benchmark::DoNotOptimize(view.model()->rowCount());
    }
    state.counters["rows/s"] = benchmark::Counter(RowCount, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FillWithViewRedrawOff(benchmark::State &state)
{
    fillWithView(state, 0);
}

void BM_FillWithViewRefreshEvery500(benchmark::State &state)
{
    fillWithView(state, 500);
}

BENCHMARK(BM_FillWithoutView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillWithViewRedrawOff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillWithViewRefreshEvery500)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
