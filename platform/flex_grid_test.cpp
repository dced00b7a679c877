#include "platform/flex_grid.h"

#include "platform/testing/print_to.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace platform {
namespace {

QString cellName(int row, int col)
{
    return QStringLiteral("r%1c%2").arg(row).arg(col);
}

// A grid of `rows` x `cols` with every cell named after its place, a colour and row data.
class FlexGridTest : public ::testing::Test
{
protected:
    void build(int rows, int cols)
    {
        ASSERT_TRUE(m_grid.setRows(rows));
        ASSERT_TRUE(m_grid.setCols(cols));
        for (int row = 0; row < rows; ++row) {
            m_grid.setRowData(row, 1000 + row);
            for (int col = 0; col < cols; ++col) {
                m_grid.setTextMatrix(row, col, cellName(row, col));
                m_grid.setRangeBackColor(row, col, row, col, quint32(0x10000 * row + col + 1));
            }
        }
    }

    // Records the grid's events in the order they come.
    void record()
    {
        QObject::connect(&m_grid, &FlexGrid::rowColChange, [this] { m_events.append("RowColChange"); });
        QObject::connect(&m_grid, &FlexGrid::selChange, [this] { m_events.append("SelChange"); });
        QObject::connect(&m_grid, &FlexGrid::scroll, [this] { m_events.append("Scroll"); });
    }

    QStringList takeEvents() { return std::exchange(m_events, {}); }

    FlexGrid m_grid;
    QStringList m_events;
};

TEST_F(FlexGridTest, ChangingRowsAndColsKeepsTheRemainingCells)
{
    build(4, 3);
    ASSERT_TRUE(m_grid.setCols(5));
    ASSERT_TRUE(m_grid.setRows(6));
    ASSERT_TRUE(m_grid.setCols(2));
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(m_grid.textMatrix(row, 0), cellName(row, 0));
        EXPECT_EQ(m_grid.textMatrix(row, 1), cellName(row, 1));
        EXPECT_EQ(m_grid.backColorAt(row, 1), quint32(0x10000 * row + 2));
        EXPECT_EQ(m_grid.rowData(row), 1000 + row);
    }
    EXPECT_EQ(m_grid.textMatrix(5, 1), "");
    EXPECT_EQ(m_grid.rowData(5), 0);

    // Rows cut away and grown again come back empty; a column grown again too.
    ASSERT_TRUE(m_grid.setRows(2));
    ASSERT_TRUE(m_grid.setRows(4));
    ASSERT_TRUE(m_grid.setCols(3));
    EXPECT_EQ(m_grid.textMatrix(1, 1), cellName(1, 1));
    EXPECT_EQ(m_grid.textMatrix(3, 0), "");
    EXPECT_EQ(m_grid.backColorAt(3, 0), 0u);
    EXPECT_EQ(m_grid.rowData(3), 0);
    EXPECT_EQ(m_grid.textMatrix(1, 2), "");
}

TEST_F(FlexGridTest, CountsOutsideTheirRangeAreRefused)
{
    build(3, 3);
    const struct
    {
        const char *name;
        bool (FlexGrid::*setter)(int);
        int value;
    } cases[] = {
        {"no rows", &FlexGrid::setRows, 0},
        {"no columns", &FlexGrid::setCols, 0},
        {"more fixed rows than rows", &FlexGrid::setFixedRows, 4},
        {"negative fixed columns", &FlexGrid::setFixedCols, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE((m_grid.*c.setter)(c.value));
        EXPECT_EQ(m_grid.rows(), 3);
        EXPECT_EQ(m_grid.cols(), 3);
        EXPECT_EQ(m_grid.fixedRows(), 1);
        EXPECT_EQ(m_grid.fixedCols(), 1);
    }
    ASSERT_TRUE(m_grid.setFixedRows(2));
    EXPECT_FALSE(m_grid.setRows(1));
}

TEST_F(FlexGridTest, RepeatFillStyleAppliesToTheWholeSelection)
{
    build(6, 5);
    // Selected upwards and leftwards: current cell (4, 3), far corner (2, 1).
    ASSERT_TRUE(m_grid.setSelection(4, 3, 2, 1));
    m_grid.setFillStyle(FlexFill::Repeat);
    m_grid.setCellBackColor(0xBBBBFF);
    m_grid.setCellForeColor(0x0000FF);
    m_grid.setCellAlignment(FlexAlign::CenterCenter);
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 5; ++col) {
            SCOPED_TRACE(cellName(row, col).toStdString());
            const bool selected = row >= 2 && row <= 4 && col >= 1 && col <= 3;
            EXPECT_EQ(m_grid.backColorAt(row, col), selected ? 0xBBBBFFu : quint32(0x10000 * row + col + 1));
            EXPECT_EQ(m_grid.foreColorAt(row, col), selected ? 0x0000FFu : 0u);
            EXPECT_EQ(m_grid.effectiveAlignment(row, col), selected ? FlexAlign::CenterCenter : FlexAlign::General);
        }
    }

    m_grid.setFillStyle(FlexFill::Single);
    m_grid.setCellBackColor(0);
    m_grid.setText("only here");
    EXPECT_EQ(m_grid.backColorAt(4, 3), 0u);
    EXPECT_EQ(m_grid.backColorAt(2, 1), 0xBBBBFFu);
    EXPECT_EQ(m_grid.textMatrix(4, 3), "only here");
    EXPECT_EQ(m_grid.textMatrix(2, 1), cellName(2, 1));
    EXPECT_EQ(m_grid.cellBackColor(), 0u);
}

TEST_F(FlexGridTest, CurrentCellChangesRaiseTheirEvents)
{
    build(10, 5);
    ASSERT_TRUE(m_grid.setCurrentCell(2, 2));
    record();
    const struct
    {
        const char *name;
        std::function<bool(FlexGrid &)> change;
        QStringList events;
        int row, col, rowSel, colSel;
    } cases[] = {
        {"row moves and collapses", [](FlexGrid &g) { return g.setRow(5); }, {"RowColChange", "SelChange"}, 5, 2, 5, 2},
        {"far corner extends", [](FlexGrid &g) { return g.setRowSel(8); }, {"SelChange"}, 5, 2, 8, 2},
        {"column corner extends", [](FlexGrid &g) { return g.setColSel(4); }, {"SelChange"}, 5, 2, 8, 4},
        {"same row collapses the selection", [](FlexGrid &g) { return g.setRow(5); }, {"SelChange"}, 5, 2, 5, 2},
        {"same row again changes nothing", [](FlexGrid &g) { return g.setRow(5); }, {}, 5, 2, 5, 2},
        {"column moves", [](FlexGrid &g) { return g.setCol(3); }, {"RowColChange", "SelChange"}, 5, 3, 5, 3},
        {"row into the header from code", [](FlexGrid &g) { return g.setRow(0); }, {"RowColChange", "SelChange"}, 0, 3, 0, 3},
        {"whole selection at once", [](FlexGrid &g) { return g.setSelection(1, 1, 9, 4); },
         {"RowColChange", "SelChange"}, 1, 1, 9, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.change(m_grid));
        EXPECT_EQ(takeEvents(), c.events);
        EXPECT_EQ(m_grid.row(), c.row);
        EXPECT_EQ(m_grid.col(), c.col);
        EXPECT_EQ(m_grid.rowSel(), c.rowSel);
        EXPECT_EQ(m_grid.colSel(), c.colSel);
    }

    for (auto setter : {&FlexGrid::setRow, &FlexGrid::setRowSel, &FlexGrid::setTopRow}) {
        EXPECT_FALSE((m_grid.*setter)(10));
        EXPECT_FALSE((m_grid.*setter)(-1));
    }
    EXPECT_FALSE(m_grid.setCol(5));
    EXPECT_FALSE(m_grid.setColSel(-1));
    EXPECT_EQ(takeEvents(), QStringList());
}

TEST_F(FlexGridTest, ShrinkingMovesTheCurrentCellInside)
{
    build(50, 6);
    ASSERT_TRUE(m_grid.setSelection(30, 5, 45, 3));
    record();
    ASSERT_TRUE(m_grid.setRows(20));
    EXPECT_EQ(takeEvents(), QStringList({"RowColChange", "SelChange"}));
    EXPECT_EQ(m_grid.row(), 19);
    EXPECT_EQ(m_grid.rowSel(), 19);
    ASSERT_TRUE(m_grid.setCols(4));
    EXPECT_EQ(m_grid.col(), 3);
    EXPECT_EQ(m_grid.colSel(), 3);
}

TEST_F(FlexGridTest, TopRowStaysWhereAViewCanScroll)
{
    build(100, 3);
    record();
    // Without a view any row can be the top row, a fixed row gives the first data row.
    EXPECT_TRUE(m_grid.setTopRow(99));
    EXPECT_EQ(m_grid.topRow(), 99);
    EXPECT_FALSE(m_grid.rowIsVisible(99));
    EXPECT_TRUE(m_grid.rowIsVisible(0));
    EXPECT_EQ(takeEvents(), QStringList({"Scroll"}));

    // A view showing 10 rows cannot put a row below 90 at its top.
    m_grid.setVisibleRowCount(10);
    EXPECT_EQ(m_grid.topRow(), 90);
    EXPECT_EQ(takeEvents(), QStringList({"Scroll"}));
    EXPECT_TRUE(m_grid.setTopRow(95));
    EXPECT_EQ(m_grid.topRow(), 90);
    EXPECT_EQ(takeEvents(), QStringList());
    EXPECT_TRUE(m_grid.rowIsVisible(90));
    EXPECT_TRUE(m_grid.rowIsVisible(99));
    EXPECT_FALSE(m_grid.rowIsVisible(89));

    EXPECT_TRUE(m_grid.setTopRow(0));
    EXPECT_EQ(m_grid.topRow(), 1);
    EXPECT_TRUE(m_grid.setTopRow(40));
    ASSERT_TRUE(m_grid.setRows(45));
    EXPECT_EQ(m_grid.topRow(), 35);
    ASSERT_TRUE(m_grid.setRows(5));
    EXPECT_EQ(m_grid.topRow(), 1);
}

TEST_F(FlexGridTest, ViewsAreToldOnceAndNotWhileRedrawIsOff)
{
    build(3, 3);
    QCoreApplication::processEvents();
    QList<FlexGridChange> changes;
    QObject::connect(&m_grid, &FlexGrid::changed, [&](const FlexGridChange &change) { changes.append(change); });

    for (int row = 1; row < 3; ++row)
        m_grid.setTextMatrix(row, 1, "new");
    m_grid.setRangeBackColor(2, 0, 2, 2, 0xFF);
    EXPECT_TRUE(changes.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_FALSE(changes[0].layout);
    EXPECT_EQ(changes[0].firstRow, 1);
    EXPECT_EQ(changes[0].lastRow, 2);

    changes.clear();
    m_grid.setRedraw(false);
    ASSERT_TRUE(m_grid.setRows(10000));
    for (int row = 1; row < 10000; ++row)
        m_grid.setRowTexts(row, {QString::number(row), "x", "y"});
    QCoreApplication::processEvents();
    EXPECT_TRUE(changes.isEmpty());
    m_grid.setRedraw(true);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_FALSE(changes[0].layout);
    EXPECT_EQ(changes[0].firstRow, 1);
    EXPECT_EQ(changes[0].lastRow, 9999);
    QCoreApplication::processEvents();
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(FlexGridTest, ClearEmptiesCellsButKeepsTheStructure)
{
    build(5, 4);
    ASSERT_TRUE(m_grid.setColWidth(2, 3000));
    ASSERT_TRUE(m_grid.setColAlignment(1, FlexAlign::RightCenter));
    ASSERT_TRUE(m_grid.setSelection(2, 2, 3, 3));
    m_grid.setCellAlignment(FlexAlign::LeftTop);
    m_grid.clear();
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 4; ++col) {
            SCOPED_TRACE(cellName(row, col).toStdString());
            EXPECT_EQ(m_grid.textMatrix(row, col), "");
            EXPECT_EQ(m_grid.backColorAt(row, col), 0u);
        }
        EXPECT_EQ(m_grid.rowData(row), 0);
    }
    EXPECT_EQ(m_grid.effectiveAlignment(2, 2), FlexAlign::General);
    EXPECT_EQ(m_grid.effectiveAlignment(2, 1), FlexAlign::RightCenter);
    EXPECT_EQ(m_grid.rows(), 5);
    EXPECT_EQ(m_grid.cols(), 4);
    EXPECT_EQ(m_grid.colWidth(2), 3000);
    EXPECT_EQ(m_grid.row(), 2);
    EXPECT_EQ(m_grid.rowSel(), 3);
}

TEST_F(FlexGridTest, RemovedRowTakesItsDataAlong)
{
    build(5, 3);
    EXPECT_FALSE(m_grid.removeItem(0));
    ASSERT_TRUE(m_grid.removeItem(2));
    EXPECT_EQ(m_grid.rows(), 4);
    const int expectedNames[] = {0, 1, 3, 4};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(m_grid.textMatrix(row, 2), cellName(expectedNames[row], 2));
        EXPECT_EQ(m_grid.rowData(row), 1000 + expectedNames[row]);
        EXPECT_EQ(m_grid.backColorAt(row, 1), quint32(0x10000 * expectedNames[row] + 2));
    }
    ASSERT_TRUE(m_grid.removeItem(1));
    ASSERT_TRUE(m_grid.removeItem(1));
    EXPECT_FALSE(m_grid.removeItem(1));
    EXPECT_EQ(m_grid.textMatrix(1, 0), cellName(4, 0));
}

TEST_F(FlexGridTest, ColPositionCarriesTheWholeColumn)
{
    build(4, 5);
    ASSERT_TRUE(m_grid.setColWidth(2, 2000));
    ASSERT_TRUE(m_grid.setColAlignment(2, FlexAlign::CenterCenter));
    ASSERT_TRUE(m_grid.setColPosition(2, 4));
    const int expectedCols[] = {0, 1, 3, 4, 2};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 5; ++col) {
            SCOPED_TRACE(cellName(row, col).toStdString());
            EXPECT_EQ(m_grid.textMatrix(row, col), cellName(row, expectedCols[col]));
            EXPECT_EQ(m_grid.backColorAt(row, col), quint32(0x10000 * row + expectedCols[col] + 1));
        }
    }
    EXPECT_EQ(m_grid.colWidth(4), 2000);
    EXPECT_EQ(m_grid.colAlignment(4), FlexAlign::CenterCenter);
    EXPECT_EQ(m_grid.colAlignment(2), FlexAlign::General);

    ASSERT_TRUE(m_grid.setColPosition(4, 2));
    for (int col = 0; col < 5; ++col)
        EXPECT_EQ(m_grid.textMatrix(1, col), cellName(1, col));
    EXPECT_FALSE(m_grid.setColPosition(0, 3));
    EXPECT_FALSE(m_grid.setColPosition(3, 0));
}

// Names the cells it is asked for; colours the back of column 1 and the text of column 2.
class NamingProvider final : public FlexRowProvider
{
public:
    QString text(int row, int col) const override { return QStringLiteral("p") + cellName(row, col); }
    quint32 backColor(int row, int col) const override { return col == 1 ? quint32(row) : 0; }
    quint32 foreColor(int row, int col) const override { return col == 2 ? quint32(row + 1) : 0; }
};

TEST_F(FlexGridTest, ProvidedRowsAreReadNotHeld)
{
    build(3, 4);
    m_grid.setRowProvider(std::make_shared<NamingProvider>());
    ASSERT_TRUE(m_grid.setRows(2000000));
    EXPECT_EQ(m_grid.textMatrix(0, 3), cellName(0, 3)) << "the fixed row keeps its own cells";
    EXPECT_EQ(m_grid.textMatrix(1999999, 3), "pr1999999c3");
    EXPECT_EQ(m_grid.backColorAt(7, 1), 7u);
    EXPECT_EQ(m_grid.foreColorAt(7, 2), 8u);
    EXPECT_EQ(m_grid.backColorAt(7, 2), 0u);
    EXPECT_EQ(m_grid.rowData(1), 0);

    EXPECT_FALSE(m_grid.setTextMatrix(5, 1, "x"));
    EXPECT_FALSE(m_grid.setRowTexts(5, {"x"}));
    EXPECT_FALSE(m_grid.setRowData(5, 1));
    m_grid.setRangeBackColor(0, 0, 9, 3, 0x123456);
    EXPECT_EQ(m_grid.backColorAt(0, 0), 0x123456u);
    EXPECT_EQ(m_grid.backColorAt(5, 0), 0u);
    EXPECT_FALSE(m_grid.removeItem(5));
    EXPECT_FALSE(m_grid.setColPosition(1, 2));

    ASSERT_TRUE(m_grid.setRows(3));
    m_grid.setRowProvider(nullptr);
    EXPECT_EQ(m_grid.textMatrix(2, 3), "") << "the grid takes its rows back empty";
    EXPECT_EQ(m_grid.textMatrix(0, 3), cellName(0, 3));
    EXPECT_TRUE(m_grid.setTextMatrix(2, 3, "own"));

    m_grid.setRowProvider(std::make_shared<NamingProvider>());
    resetGrid(m_grid, {{600, "No."}, {900, "A"}});
    EXPECT_EQ(m_grid.rowProvider(), nullptr);
    EXPECT_EQ(m_grid.rows(), 2);
    EXPECT_EQ(m_grid.textMatrix(1, 1), "");
}

} // namespace
} // namespace platform
