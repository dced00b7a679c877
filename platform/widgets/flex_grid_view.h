#pragma once

#include "platform/flex_grid.h"

#include <QPointer>
#include <QStringList>
#include <QTableView>
#include <QTimer>

class QFontMetrics;

namespace platform::widgets {

class FlexGridModel;

// The digit that takes the most room in `metrics`' font, so that a text of digits made of
// it is as wide as any other of as many digits.
QChar widestDigit(const QFontMetrics &metrics);

// Shows a FlexGrid and turns the user's mouse and keyboard into changes of it and into
// the grid's input events. The fixed rows are the horizontal header and the fixed columns
// the vertical header, so they stay in place while the cells scroll. The grid is the one
// source of truth: a click, a drag, the arrow keys or the scroll bar change the grid's
// current cell, selection and top row, and the view shows whatever the grid holds.
//
// Input events carry the classic values: button 1 left, 2 right, 4 middle (a mask for
// mouse moves); shift state 1 Shift, 2 Ctrl, 4 Alt; positions in twips from the top-left
// corner of the grid control; key codes as Windows virtual-key codes (13 Enter, 27 Esc,
// 37-40 arrows, 112-123 F1-F12, letters and digits as their upper-case character code).
// Before each mouse event the grid's mouseRow() and mouseCol() are set to the cell under
// the pointer. The grid's toolTipText() is shown as the tooltip over any cell. When a grid
// is attached its row height is raised, if need be, to fit the view's font.
class FlexGridView : public QTableView
{
    Q_OBJECT

public:
    // A view with a grid of its own (grid()).
    explicit FlexGridView(QWidget *parent = nullptr);
    ~FlexGridView() override;

    // The grid shown. setGrid() shows another grid (not owned); nullptr, or the other
    // grid's destruction, returns to the view's own grid.
    FlexGrid *grid() const { return m_grid; }
    void setGrid(FlexGrid *grid);

    // Grid cell at a point of this widget: fixed cells included, -1 for a row or column
    // where there is no cell (below the last row, right of the last column).
    struct Cell
    {
        int row = -1;
        int col = -1;
    };
    Cell cellAt(const QPoint &position) const;
    // Rectangle of a grid cell in this widget's coordinates as it is laid out now (it may
    // lie outside the visible area); empty for a cell that does not exist.
    QRect cellRect(int row, int col) const;

    // The width in twips that column `col` needs to show `text` whole in the view's font:
    // a cell keeps a margin on each side of its text and the grid line takes a pixel of
    // the column; the cells of a fixed column are header sections with the style's
    // header margins.
    int columnTwipsFor(int col, const QString &text) const;
    // The width in twips that column `col` needs to show every whole number from 0 to
    // `largest`: as many of the font's widest digit as `largest` has digits.
    int numberColumnTwips(int col, qint64 largest) const;

Q_SIGNALS:
    void mouseDown(int button, int shift, int x, int y);
    void mouseUp(int button, int shift, int x, int y);
    void mouseMove(int button, int shift, int x, int y);
    void dblClick();
    // A key went down in the grid. A handler that sets *handled to true consumes it; else
    // the grid moves its current cell on arrow, page, Home and End keys.
    void keyDown(int keyCode, int shift, bool *handled);
    // Something was dropped on the grid; `paths` holds the dropped local files and
    // folders in the order of the drag source, and is empty for a drop without files.
    void oleDragDrop(const QStringList &paths, int button, int shift, int x, int y);

protected:
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void updateGeometries() override;
    void keyboardSearch(const QString &search) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;

private:
    enum class DragMode { None, Cells, Rows, Columns };

    void attach(FlexGrid *grid);
    void applyChange(const FlexGridChange &change);
    void applyLayout();
    void syncSelection();
    void syncTopRow();
    void reportVisibleRows();
    // Repaints the on-screen part of model rows first..last, their fixed cells included.
    void updateRows(int first, int last);
    int rowPixels() const;
    int fixedColsWidth() const;

    void pressAt(const QPoint &position, const QMouseEvent *event);
    void moveAt(const QPoint &position, const QMouseEvent *event);
    void releaseAt(const QPoint &position, const QMouseEvent *event);
    void startSelection(const Cell &cell, bool extend);
    void extendSelection(const QPoint &position);
    void autoScrollStep();
    bool navigate(const QKeyEvent *event);
    void scrollToCell(int row, int col);
    void showToolTip(const QPoint &globalPosition, QWidget *widget);
    void onToolTipText(const QString &text);
    // While the grid's redraw is off the cells and headers are not painted (the screen
    // keeps what it showed); the paints held back are made when it comes on again.
    void onRedraw(bool on);
    bool holdPaint(QEvent *event);
    void dropAt(const QPoint &position, QDropEvent *event);
    bool onHeaderHandle(const QPoint &headerPosition) const;
    void paintCorner(QWidget *corner);

    FlexGrid *m_ownGrid = nullptr;
    QPointer<FlexGrid> m_grid;
    FlexGridModel *m_model = nullptr;
    QWidget *m_corner = nullptr;
    bool m_syncing = false;
    int m_shownFocusRect = 1;
    bool m_missedPaint = false;
    DragMode m_drag = DragMode::None;
    bool m_headerPress = false;
    QTimer m_autoScroll;
};

} // namespace platform::widgets
