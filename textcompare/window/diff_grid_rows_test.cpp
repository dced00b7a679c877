#include "textcompare/window/diff_grid_rows.h"

#include "platform/widgets/bgr_qcolor.h"
#include "platform/widgets/flex_grid_model.h"
#include "textcompare/engine/diff_display.h"
#include "textcompare/window/diff_bar_geometry.h"

#include <QBrush>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(DiffGridRows, ShowsTheTableWithBlankMarksAndColours)
{
    const QString line = QStringLiteral("a\tb c\u3000d");
    const BlankMarks marks{QStringLiteral("<TAB>"), QStringLiteral("<S>"), QStringLiteral("<SP>")};
    EXPECT_EQ(ShownLineText(line, marks), "a<TAB>b<S>c<SP>d");
    EXPECT_EQ(ShownLineText(line, std::nullopt), QStringLiteral("a b c\u3000d"));

    DiffDisplayOptions options;
    options.ignoreBlanks = false;
    options.bandColumn = true;
    const DiffDisplay display = BuildDiffDisplay(QStringLiteral("x\n") + line, QStringLiteral("x\ny"), 0, 0, options, {}, {});
    const DiffGridRows rows(display.table, marks);
    EXPECT_EQ(rows.text(2, 3), "a<TAB>b<S>c<SP>d");
    EXPECT_EQ(rows.text(2, 2), "2");
    EXPECT_EQ(rows.backColor(2, 0), 0u) << "the number column keeps its look";
    for (int col = 1; col <= 5; ++col)
        EXPECT_EQ(rows.backColor(2, col), 0xFFFFBBu);
    EXPECT_EQ(rows.backColor(1, 3), 0u);
    EXPECT_EQ(rows.foreColor(2, 2), 0x0000FFu) << "the band is the line numbers' text colour";
    EXPECT_EQ(rows.foreColor(2, 5), 0x0000FFu);
    EXPECT_EQ(rows.foreColor(2, 3), 0u);
}

TEST(DiffGridRows, ABlackRowColourIsBlackInTheGridAsOnTheBar)
{
    DiffDisplayOptions options;
    options.colors.DIFFCUPD = 0;
    const DiffDisplay display = BuildDiffDisplay(QStringLiteral("x\ny"), QStringLiteral("x\nz"), 0, 0, options, {}, {});
    const int lastRow = display.table.lastRow();
    platform::FlexGrid grid;
    grid.setCols(6);
    grid.setRowProvider(std::make_shared<DiffGridRows>(display.table, std::nullopt));
    grid.setRows(lastRow + 1);
    platform::widgets::FlexGridModel model;
    model.setGrid(&grid);
    for (const BarRun &run : DiffBarRuns(display.table, grid.fixedRows(), lastRow)) {
        SCOPED_TRACE(run.firstRow);
        const QModelIndex cell = model.index(model.modelRow(run.firstRow), model.modelCol(DisplayTable::Text1));
        // No background of its own is the white of the list.
        const QVariant background = model.data(cell, Qt::BackgroundRole);
        const QColor shown = background.isValid() ? background.value<QBrush>().color() : QColor(Qt::white);
        EXPECT_EQ(shown.rgb(), platform::widgets::colorFromBgr(run.color).rgb());
    }
}

} // namespace
} // namespace textcompare
