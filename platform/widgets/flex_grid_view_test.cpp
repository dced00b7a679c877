#include "platform/widgets/flex_grid_view.h"

#include "platform/testing/print_to.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QBrush>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QHelpEvent>
#include <QUrl>

#include <gtest/gtest.h>

namespace platform::widgets {
namespace {

QString cellName(int row, int col)
{
    return QStringLiteral("r%1c%2").arg(row).arg(col);
}

struct MouseArgs
{
    int button, shift, x, y;
};

// A shown view over a grid of named cells, with helpers that act as the user does.
class FlexGridViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_view.resize(640, 400);
        m_view.show();
        QObject::connect(&grid(), &FlexGrid::rowColChange, [this] { m_events.append("RowColChange"); });
        QObject::connect(&grid(), &FlexGrid::selChange, [this] { m_events.append("SelChange"); });
        QObject::connect(&grid(), &FlexGrid::scroll, [this] { m_events.append("Scroll"); });
        QObject::connect(&m_view, &FlexGridView::mouseDown,
                         [this](int button, int shift, int x, int y) { m_mouseDowns.append({button, shift, x, y}); });
    }

    FlexGrid &grid() { return *m_view.grid(); }

    void fill(int rows, int cols)
    {
        grid().setRedraw(false);
        grid().setCols(cols);
        grid().setRows(rows);
        for (int row = 0; row < rows; ++row) {
            QStringList texts;
            for (int col = 0; col < cols; ++col)
                texts.append(cellName(row, col));
            grid().setRowTexts(row, texts);
        }
        grid().setRedraw(true);
        settle();
    }

    static void settle() { QApplication::processEvents(); }

    // Sends a mouse event to whichever part of the grid lies under `position` (in the
    // view's coordinates).
    void mouse(QEvent::Type type, const QPoint &position, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *target = m_view.childAt(position);
        ASSERT_NE(target, nullptr);
        const QPoint local = target->mapFrom(&m_view, position);
        QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, buttons, modifiers);
        QApplication::sendEvent(target, &event);
    }

    void click(int row, int col, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPoint center = m_view.cellRect(row, col).center();
        mouse(QEvent::MouseButtonPress, center, button, button, modifiers);
        mouse(QEvent::MouseButtonRelease, center, button, Qt::NoButton, modifiers);
    }

    void key(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, qtKey, modifiers);
        QApplication::sendEvent(&m_view, &event);
    }

    void expectSelection(int row, int col, int rowSel, int colSel)
    {
        EXPECT_EQ(grid().row(), row);
        EXPECT_EQ(grid().col(), col);
        EXPECT_EQ(grid().rowSel(), rowSel);
        EXPECT_EQ(grid().colSel(), colSel);
    }

    QStringList takeEvents() { return std::exchange(m_events, {}); }

    // The colour on screen near the left edge of a cell, away from its text.
    QColor shownColor(int row, int col)
    {
        const QRect cell = m_view.cellRect(row, col);
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(m_view.winId()).toImage();
        return screen.pixelColor(cell.left() + 2, cell.center().y());
    }

    FlexGridView m_view;
    QStringList m_events;
    QList<MouseArgs> m_mouseDowns;
};

TEST_F(FlexGridViewTest, ModelShowsTextsColoursAlignmentsAndHeaders)
{
    fill(10, 5);
    grid().setColAlignment(1, FlexAlign::RightCenter);
    grid().setRangeBackColor(2, 1, 2, 4, 0x0000FF);
    grid().setRangeForeColor(3, 2, 3, 2, 0xFF0000);
    grid().setCurrentCell(0, 2);
    grid().setCellAlignment(FlexAlign::CenterCenter);
    grid().setTextMatrix(4, 3, "12");
    settle();

    const QAbstractItemModel *model = m_view.model();
    ASSERT_EQ(model->rowCount(), 9);
    ASSERT_EQ(model->columnCount(), 4);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), cellName(1, 1));
    EXPECT_EQ(model->data(model->index(8, 3)).toString(), cellName(9, 4));
    EXPECT_EQ(model->data(model->index(1, 0), Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    EXPECT_EQ(model->data(model->index(1, 3), Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::BackgroundRole).isValid());
    EXPECT_EQ(model->data(model->index(2, 1), Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));

    const struct
    {
        const char *name;
        QVariant alignment;
        Qt::Alignment expected;
    } alignments[] = {
        {"column alignment", model->data(model->index(0, 0), Qt::TextAlignmentRole), Qt::AlignRight | Qt::AlignVCenter},
        {"general text", model->data(model->index(0, 2), Qt::TextAlignmentRole), Qt::AlignLeft | Qt::AlignVCenter},
        {"general number", model->data(model->index(3, 2), Qt::TextAlignmentRole), Qt::AlignRight | Qt::AlignVCenter},
        {"centred header cell", model->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole), Qt::AlignCenter},
    };
    for (const auto &c : alignments) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.alignment.value<Qt::Alignment>(), c.expected);
    }
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), cellName(0, 2));
    EXPECT_EQ(model->headerData(4, Qt::Vertical).toString(), cellName(5, 0));
}

TEST_F(FlexGridViewTest, ClicksMoveTheCurrentCellAndShiftClicksExtend)
{
    fill(30, 5);
    grid().setCurrentCell(1, 1);
    takeEvents();

    click(3, 2);
    expectSelection(3, 2, 3, 2);
    EXPECT_EQ(takeEvents(), QStringList({"RowColChange", "SelChange"}));
    ASSERT_EQ(m_mouseDowns.size(), 1);
    const QPoint center = m_view.cellRect(3, 2).center();
    EXPECT_EQ(m_mouseDowns[0].button, 1);
    EXPECT_EQ(m_mouseDowns[0].x, center.x() * TwipsPerPixel);
    EXPECT_EQ(m_mouseDowns[0].y, center.y() * TwipsPerPixel);

    click(5, 4, Qt::LeftButton, Qt::ShiftModifier);
    expectSelection(3, 2, 5, 4);
    EXPECT_EQ(takeEvents(), QStringList({"SelChange"}));
    EXPECT_EQ(m_mouseDowns.last().shift, 1);

    // The right button leaves the selection to the window.
    click(8, 1, Qt::RightButton);
    expectSelection(3, 2, 5, 4);
    EXPECT_EQ(m_mouseDowns.last().button, 2);
    EXPECT_EQ(grid().mouseRow(), 8);
    EXPECT_EQ(grid().mouseCol(), 1);

    click(0, 3);
    expectSelection(1, 3, 29, 3);
    click(6, 0);
    expectSelection(6, 1, 6, 4);
    EXPECT_EQ(grid().mouseCol(), 0);
}

TEST_F(FlexGridViewTest, DraggingSelectsFromThePressedCell)
{
    fill(20, 5);
    const QPoint from = m_view.cellRect(6, 3).center();
    const QPoint to = m_view.cellRect(2, 1).center();
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    expectSelection(6, 3, 2, 1);
}

TEST_F(FlexGridViewTest, KeysMoveTheCurrentCellUnlessTheWindowTakesThem)
{
    fill(20, 5);
    grid().setCurrentCell(2, 2);
    QList<int> codes;
    bool consume = false;
    QObject::connect(&m_view, &FlexGridView::keyDown, [&](int code, int, bool *handled) {
        codes.append(code);
        *handled = consume;
    });

    const struct
    {
        const char *name;
        int key;
        Qt::KeyboardModifiers modifiers;
        int row, col, rowSel, colSel;
    } cases[] = {
        {"down", Qt::Key_Down, Qt::NoModifier, 3, 2, 3, 2},
        {"shift right extends", Qt::Key_Right, Qt::ShiftModifier, 3, 2, 3, 3},
        {"end", Qt::Key_End, Qt::NoModifier, 3, 4, 3, 4},
        {"left stops at the fixed column", Qt::Key_Home, Qt::NoModifier, 3, 1, 3, 1},
        {"up", Qt::Key_Up, Qt::NoModifier, 2, 1, 2, 1},
        {"page up stops at the first data row", Qt::Key_PageUp, Qt::NoModifier, 1, 1, 1, 1},
        {"control end", Qt::Key_End, Qt::ControlModifier, 19, 4, 19, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        key(c.key, c.modifiers);
        expectSelection(c.row, c.col, c.rowSel, c.colSel);
    }
    EXPECT_TRUE(grid().rowIsVisible(19));

    consume = true;
    key(Qt::Key_Up);
    expectSelection(19, 4, 19, 4);
    codes.clear();
    for (int qtKey : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_F4, Qt::Key_A, Qt::Key_Delete})
        key(qtKey);
    EXPECT_EQ(codes, QList<int>({13, 13, 27, 115, 65, 46}));
}

TEST_F(FlexGridViewTest, GridSelectionShowsInTheView)
{
    fill(10, 5);
    grid().setSelection(5, 3, 2, 1);
    settle();
    const QItemSelectionModel *selection = m_view.selectionModel();
    for (int row = 0; row < 9; ++row) {
        for (int col = 0; col < 4; ++col) {
            SCOPED_TRACE(cellName(row, col).toStdString());
            const bool inside = row >= 1 && row <= 4 && col >= 0 && col <= 2;
            EXPECT_EQ(selection->isSelected(m_view.model()->index(row, col)), inside);
        }
    }
    EXPECT_EQ(selection->currentIndex(), m_view.model()->index(4, 2));

    grid().setRow(0);
    settle();
    EXPECT_FALSE(selection->hasSelection());
    EXPECT_FALSE(selection->currentIndex().isValid());
}

TEST_F(FlexGridViewTest, TopRowFollowsTheScrollBarBothWays)
{
    fill(1000, 3);
    const int rowPixels = grid().rowHeight(0) / TwipsPerPixel;
    EXPECT_EQ(grid().visibleRowCount(), m_view.viewport()->height() / rowPixels);

    grid().setTopRow(500);
    settle();
    EXPECT_EQ(m_view.verticalScrollBar()->value(), 499);
    EXPECT_EQ(m_view.rowAt(0), 499);

    takeEvents();
    m_view.verticalScrollBar()->setValue(200);
    EXPECT_EQ(grid().topRow(), 201);
    EXPECT_EQ(takeEvents(), QStringList({"Scroll"}));

    grid().setTopRow(999);
    settle();
    EXPECT_EQ(grid().topRow(), 1000 - grid().visibleRowCount());
    EXPECT_EQ(m_view.verticalScrollBar()->value(), grid().topRow() - 1);
    EXPECT_TRUE(grid().rowIsVisible(999));
}

TEST_F(FlexGridViewTest, HundredThousandRowsFillAndShow)
{
    const QAbstractItemModel *model = m_view.model();
    grid().setRedraw(false);
    grid().setCols(5);
    for (int row = 1; row <= 100000; ++row) {
        grid().setRows(row + 1);
        grid().setRowTexts(row, {QString::number(row), "変更", "2024/01/01 00:00:00", "", QStringLiteral("path/%1").arg(row)});
        grid().setRowData(row, row);
    }
    grid().setRangeBackColor(1, 1, 100000, 4, 0xFFFFBB);
    settle();
    EXPECT_EQ(model->rowCount(), 1);
    grid().setRedraw(true);
    ASSERT_EQ(model->rowCount(), 100000);
    grid().setTopRow(100000);
    settle();
    const int bottomRow = m_view.rowAt(m_view.viewport()->height() - 1);
    EXPECT_EQ(bottomRow, 99999);
    EXPECT_EQ(model->data(model->index(bottomRow, 3)).toString(), "path/100000");
    EXPECT_EQ(model->data(model->index(bottomRow, 0), Qt::BackgroundRole).value<QBrush>().color(), QColor(0xBB, 0xFF, 0xFF));
}

TEST_F(FlexGridViewTest, ScreenShowsChangesOnlyWhenRedrawIsOn)
{
    fill(2, 3);
    const QColor background = shownColor(1, 2);

    // Rows added on screen are painted, with their colours.
    grid().setRows(6);
    grid().setRangeBackColor(4, 1, 5, 2, 0x0000FF);
    settle();
    EXPECT_EQ(shownColor(4, 1), QColor(255, 0, 0));
    EXPECT_EQ(shownColor(3, 1), background);

    grid().setRedraw(false);
    grid().setRangeBackColor(3, 1, 3, 2, 0xFF0000);
    m_view.viewport()->update();
    settle();
    EXPECT_EQ(shownColor(3, 1), background);
    grid().setRedraw(true);
    settle();
    EXPECT_EQ(shownColor(3, 1), QColor(0, 0, 255));
}

TEST_F(FlexGridViewTest, MouseMovesTellTheCellUnderThePointer)
{
    fill(4, 3);
    QList<MouseArgs> moves;
    QObject::connect(&m_view, &FlexGridView::mouseMove,
                     [&](int button, int shift, int x, int y) { moves.append({button, shift, x, y}); });
    mouse(QEvent::MouseMove, m_view.cellRect(2, 1).center(), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(grid().mouseRow(), 2);
    EXPECT_EQ(grid().mouseCol(), 1);
    ASSERT_EQ(moves.size(), 1);
    EXPECT_EQ(moves[0].button, 0);
    EXPECT_EQ(moves[0].y, m_view.cellRect(2, 1).center().y() * TwipsPerPixel);

    // The window sets the tooltip text on mouse moves; the view shows it when asked.
    grid().setToolTipText("sub/a/very/long/path.txt");
    const QPoint inViewport = m_view.viewport()->mapFrom(&m_view, m_view.cellRect(2, 1).center());
    QHelpEvent help(QEvent::ToolTip, inViewport, m_view.viewport()->mapToGlobal(inViewport));
    QApplication::sendEvent(m_view.viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "sub/a/very/long/path.txt");
    grid().setToolTipText("");
    QElapsedTimer waited;
    waited.start();
    while (QToolTip::isVisible() && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_FALSE(QToolTip::isVisible());

    // Below the last row and right of the last column there is no cell.
    const QRect last = m_view.cellRect(3, 2);
    mouse(QEvent::MouseMove, last.bottomRight() + QPoint(5, 20), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(grid().mouseRow(), -1);
    EXPECT_EQ(grid().mouseCol(), -1);
}

TEST_F(FlexGridViewTest, DroppedFilesArriveAsLocalPaths)
{
    fill(5, 6);
    QStringList dropped;
    QObject::connect(&m_view, &FlexGridView::oleDragDrop,
                     [&](const QStringList &paths, int, int, int, int) { dropped = paths; });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/a b.txt"), QUrl("http://example.invalid/x"), QUrl::fromLocalFile("/tmp/folder")});
    const QPoint position = m_view.viewport()->mapFrom(&m_view, m_view.cellRect(2, 4).center());
    QDragEnterEvent enter(position, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(m_view.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(position), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(m_view.viewport(), &drop);
    EXPECT_EQ(dropped, QStringList({"/tmp/a b.txt", "/tmp/folder"}));
    EXPECT_EQ(grid().mouseCol(), 4);
}

TEST_F(FlexGridViewTest, DropsAreTakenAsCopiesNeverMoves)
{
    fill(5, 6);
    int drops = 0;
    QObject::connect(&m_view, &FlexGridView::oleDragDrop, [&](const QStringList &, int, int, int, int) { ++drops; });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/a.txt")});
    const QPoint position = m_view.viewport()->mapFrom(&m_view, m_view.cellRect(1, 1).center());

    QDragEnterEvent enter(position, Qt::CopyAction | Qt::MoveAction, &data, Qt::NoButton, Qt::ShiftModifier);
    QApplication::sendEvent(m_view.viewport(), &enter);
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent offeredMove(QPointF(position), Qt::CopyAction | Qt::MoveAction, &data, Qt::NoButton, Qt::ShiftModifier);
    QApplication::sendEvent(m_view.viewport(), &offeredMove);
    EXPECT_EQ(offeredMove.dropAction(), Qt::CopyAction) << "the source must not remove its files";
    EXPECT_EQ(drops, 1);

    QDropEvent moveOnly(QPointF(position), Qt::MoveAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(m_view.viewport(), &moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
    EXPECT_EQ(drops, 1);
}

TEST_F(FlexGridViewTest, ColumnWidthsGoBothWays)
{
    fill(5, 4);
    grid().setColWidth(3, 1500);
    settle();
    EXPECT_EQ(m_view.columnWidth(2), 100);
    m_view.horizontalHeader()->resizeSection(0, 200);
    EXPECT_EQ(grid().colWidth(1), 3000);
    grid().setColWidth(0, 900);
    settle();
    EXPECT_EQ(m_view.verticalHeader()->width(), 60);
}

} // namespace
} // namespace platform::widgets
