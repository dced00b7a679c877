#include "platform/widgets/flex_grid_view.h"

#include "platform/widgets/flex_grid_model.h"
#include "platform/widgets/key_codes.h"

#include <QAbstractButton>
#include <QCursor>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QUrl>

#include <algorithm>

namespace platform::widgets {

namespace {

// Takes a drag as a copy: whatever the source proposes, a drop on the grid never lets the
// source remove its files. A drag that cannot be copied is refused.
bool acceptAsCopy(QDropEvent *event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

int buttonCode(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0)
           | (buttons & Qt::MiddleButton ? 4 : 0);
}

// The space between a cell's text and each side of the cell: the text stays clear of the
// focus frame. Column widths made to fit a text count it on both sides.
int cellTextMargin(const QStyle *style, const QWidget *widget)
{
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

// Paints a cell's background, selection and focus frame as the style does, and its text
// on one line, clipped to the cell, without the text layout that a general item needs
// (line breaking, eliding, measuring for its size): a grid repaints whole pages of
// cells at a time. No focus frame while the grid's FocusRect is 0.
class FlexGridDelegate final : public QStyledItemDelegate
{
public:
    explicit FlexGridDelegate(FlexGridView *view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        if (m_view->grid()->focusRect() == 0)
            cell.state &= ~QStyle::State_HasFocus;
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : m_view->style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);
        drawText(painter, cell, style);
        if (cell.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(cell);
            focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &cell, widget);
            focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
            focus.backgroundColor = cell.palette.color(
                cell.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                cell.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Window);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
        }
    }

private:
    static void drawText(QPainter *painter, const QStyleOptionViewItem &cell, const QStyle *style)
    {
        if (cell.text.isEmpty())
            return;
        const int margin = cellTextMargin(style, cell.widget);
        const QRect area = cell.rect.adjusted(margin, 0, -margin, 0);
        const QFontMetrics metrics(cell.font);
        const Qt::Alignment horizontal = QStyle::visualAlignment(cell.direction, cell.displayAlignment)
                                         & Qt::AlignHorizontal_Mask;
        // No character is narrower than a pixel, so a left-aligned text shows no more
        // characters than the cell has pixels; the rest is not shaped at all.
        const QString text = horizontal & Qt::AlignLeft ? cell.text.left(area.width() + 1) : cell.text;
        int x = area.left();
        if (!(horizontal & Qt::AlignLeft)) {
            const int advance = metrics.horizontalAdvance(text);
            x = horizontal & Qt::AlignRight ? area.right() + 1 - advance : area.left() + (area.width() - advance) / 2;
        }
        int y = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
        if (cell.displayAlignment & Qt::AlignTop)
            y = area.top() + metrics.ascent();
        else if (cell.displayAlignment & Qt::AlignBottom)
            y = area.bottom() + 1 - metrics.descent();
        const QPalette::ColorGroup group = cell.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        painter->save();
        painter->setClipRect(area, Qt::IntersectClip);
        painter->setFont(cell.font);
        painter->setPen(cell.palette.color(group, cell.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                     : QPalette::Text));
        painter->drawText(QPoint(x, y), text);
        painter->restore();
    }

    FlexGridView *m_view;
};

// The fixed columns beside the rows. Its width is set from the grid's column widths, so
// it never measures its sections, which would take time on every change of the row count.
class FixedColumnsHeader final : public QHeaderView
{
public:
    explicit FixedColumnsHeader(QWidget *parent)
        : QHeaderView(Qt::Vertical, parent)
    {
    }

    QSize sizeHint() const override { return QSize(width(), 0); }
};

} // namespace

FlexGridView::FlexGridView(QWidget *parent)
    : QTableView(parent)
    , m_ownGrid(new FlexGrid(this))
    , m_model(new FlexGridModel(this))
{
    setVerticalHeader(new FixedColumnsHeader(this));
    setModel(m_model);
    setItemDelegate(new FlexGridDelegate(this));
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setTabKeyNavigation(false);
    setAutoScroll(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);

    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->setSectionsClickable(false);
        header->setHighlightSections(false);
        header->viewport()->setMouseTracking(true);
        header->viewport()->setAcceptDrops(true);
        header->viewport()->installEventFilter(this);
    }
    horizontalHeader()->setMinimumSectionSize(0);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (!m_syncing)
            m_grid->setColWidth(m_model->gridCol(section), pixelsToTwips(size));
    });
    // Rows added below the ones on screen need no repaint, only new scroll bar limits.
    disconnect(verticalHeader(), SIGNAL(sectionCountChanged(int,int)), this, SLOT(rowCountChanged(int,int)));
    connect(verticalHeader(), &QHeaderView::sectionCountChanged, this, [this](int oldCount, int newCount) {
        updateGeometries();
        if (newCount < oldCount)
            viewport()->update();
        else
            updateRows(oldCount, newCount - 1);
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_syncing)
            m_grid->setTopRow(m_model->gridRow(value));
    });

    m_corner = findChild<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
    if (m_corner) {
        m_corner->setMouseTracking(true);
        m_corner->setAcceptDrops(true);
        m_corner->installEventFilter(this);
    }

    m_autoScroll.setInterval(50);
    connect(&m_autoScroll, &QTimer::timeout, this, &FlexGridView::autoScrollStep);

    attach(m_ownGrid);
}

FlexGridView::~FlexGridView() = default;

void FlexGridView::setGrid(FlexGrid *grid)
{
    attach(grid ? grid : m_ownGrid);
}

void FlexGridView::attach(FlexGrid *grid)
{
    if (m_grid)
        disconnect(m_grid, nullptr, this, nullptr);
    m_grid = grid;
    connect(grid, &FlexGrid::changed, this, &FlexGridView::applyChange);
    connect(grid, &FlexGrid::redrawChanged, this, &FlexGridView::onRedraw);
    connect(grid, &FlexGrid::toolTipTextChanged, this, &FlexGridView::onToolTipText);
    if (grid != m_ownGrid)
        connect(grid, &QObject::destroyed, this, [this] { attach(m_ownGrid); });

    // Rows as high as the font needs, unless the grid already has higher ones.
    grid->setRowHeight(std::max(grid->rowHeight(), pixelsToTwips(fontMetrics().height() + 6)));
    m_model->setGrid(grid);
    onRedraw(grid->redraw());
    FlexGridChange everything;
    everything.layout = true;
    applyChange(everything);
}

void FlexGridView::applyChange(const FlexGridChange &change)
{
    QScopedValueRollback<bool> syncing(m_syncing, true);
    m_model->apply(change);
    if (change.layout)
        applyLayout();
    syncSelection();
    syncTopRow();
    if (change.layout || m_grid->focusRect() != m_shownFocusRect) {
        m_shownFocusRect = m_grid->focusRect();
        viewport()->update();
        horizontalHeader()->viewport()->update();
        verticalHeader()->viewport()->update();
    }
}

void FlexGridView::updateRows(int first, int last)
{
    if (first > last)
        return;
    const int top = rowViewportPosition(first);
    const int bottom = rowViewportPosition(last) + rowHeight(last);
    const QRect rows = QRect(0, top, viewport()->width(), bottom - top) & viewport()->rect();
    if (rows.isEmpty())
        return;
    viewport()->update(rows);
    QWidget *fixedCells = verticalHeader()->viewport();
    fixedCells->update(QRect(0, rows.top(), fixedCells->width(), rows.height()));
}

void FlexGridView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &)
{
    updateRows(topLeft.row(), bottomRight.row());
}

int FlexGridView::rowPixels() const
{
    return std::max(1, twipsToPixels(m_grid->rowHeight(0)));
}

int FlexGridView::fixedColsWidth() const
{
    int width = 0;
    for (int col = 0; col < m_grid->fixedCols(); ++col)
        width += twipsToPixels(m_grid->colWidth(col));
    return width;
}

void FlexGridView::applyLayout()
{
    const int rowHeight = rowPixels();
    QHeaderView *rowsHeader = verticalHeader();
    if (rowsHeader->defaultSectionSize() != rowHeight)
        rowsHeader->setDefaultSectionSize(rowHeight);
    rowsHeader->setVisible(m_grid->fixedCols() > 0);
    rowsHeader->setFixedWidth(fixedColsWidth());

    QHeaderView *columnsHeader = horizontalHeader();
    columnsHeader->setVisible(m_grid->fixedRows() > 0);
    columnsHeader->setFixedHeight(m_grid->fixedRows() * rowHeight);
    for (int section = 0; section < m_model->columnCount(); ++section) {
        const int width = twipsToPixels(m_grid->colWidth(m_model->gridCol(section)));
        if (columnsHeader->sectionSize(section) != width)
            columnsHeader->resizeSection(section, width);
    }
    if (m_corner)
        m_corner->update();
}

void FlexGridView::syncSelection()
{
    QItemSelectionModel *selection = selectionModel();
    const int rowCount = m_model->rowCount();
    const int colCount = m_model->columnCount();
    const int firstRow = std::max(0, m_model->modelRow(std::min(m_grid->row(), m_grid->rowSel())));
    const int lastRow = std::min(rowCount - 1, m_model->modelRow(std::max(m_grid->row(), m_grid->rowSel())));
    const int firstCol = std::max(0, m_model->modelCol(std::min(m_grid->col(), m_grid->colSel())));
    const int lastCol = std::min(colCount - 1, m_model->modelCol(std::max(m_grid->col(), m_grid->colSel())));
    if (firstRow <= lastRow && firstCol <= lastCol)
        selection->select(QItemSelection(m_model->index(firstRow, firstCol), m_model->index(lastRow, lastCol)),
                          QItemSelectionModel::ClearAndSelect);
    else
        selection->clearSelection();
    const int currentRow = m_model->modelRow(m_grid->row());
    const int currentCol = m_model->modelCol(m_grid->col());
    const bool inside = currentRow >= 0 && currentRow < rowCount && currentCol >= 0 && currentCol < colCount;
    selection->setCurrentIndex(inside ? m_model->index(currentRow, currentCol) : QModelIndex(),
                               QItemSelectionModel::NoUpdate);
}

void FlexGridView::syncTopRow()
{
    updateGeometries();
    QScrollBar *bar = verticalScrollBar();
    const int wanted = m_model->modelRow(m_grid->topRow());
    bar->setValue(wanted);
    // The grid clamps the top row as the scroll bar does; should they still differ, the
    // grid takes what is shown.
    if (bar->value() != wanted)
        m_grid->setTopRow(m_model->gridRow(bar->value()));
}

void FlexGridView::updateGeometries()
{
    QTableView::updateGeometries();
    reportVisibleRows();
}

void FlexGridView::reportVisibleRows()
{
    if (m_grid)
        m_grid->setVisibleRowCount(std::max(1, viewport()->height() / rowPixels()));
}

FlexGridView::Cell FlexGridView::cellAt(const QPoint &position) const
{
    Cell cell;
    const QPoint inViewport = viewport()->mapFromParent(position);
    if (inViewport.x() >= 0) {
        const int section = horizontalHeader()->logicalIndexAt(inViewport.x());
        cell.col = section < 0 ? -1 : m_model->gridCol(section);
    } else if (verticalHeader()->isVisible()) {
        int x = position.x() - verticalHeader()->geometry().left();
        for (int col = 0; col < m_grid->fixedCols() && x >= 0; ++col) {
            cell.col = col;
            x -= twipsToPixels(m_grid->colWidth(col));
        }
    }
    if (inViewport.y() >= 0) {
        const int row = rowAt(inViewport.y());
        cell.row = row < 0 ? -1 : m_model->gridRow(row);
    } else if (horizontalHeader()->isVisible()) {
        const int y = position.y() - horizontalHeader()->geometry().top();
        if (y >= 0)
            cell.row = std::min(y / rowPixels(), m_grid->fixedRows() - 1);
    }
    if (cell.row >= m_grid->rows() || cell.col >= m_grid->cols())
        return {};
    return cell;
}

QChar widestDigit(const QFontMetrics &metrics)
{
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    return widest;
}

int FlexGridView::columnTwipsFor(int col, const QString &text) const
{
    if (col < m_grid->fixedCols()) {
        const QHeaderView *header = verticalHeader();
        QStyleOptionHeader option;
        option.initFrom(header);
        option.text = text;
        option.position = QStyleOptionHeader::OnlyOneSection;
        return pixelsToTwips(header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width());
    }
    const int textMargin = cellTextMargin(style(), this);
    return pixelsToTwips(fontMetrics().horizontalAdvance(text) + 2 * textMargin + (showGrid() ? 1 : 0));
}

int FlexGridView::numberColumnTwips(int col, qint64 largest) const
{
    const int digits = int(QString::number(std::max<qint64>(largest, 0)).size());
    const QFont font = col < m_grid->fixedCols() ? verticalHeader()->font() : this->font();
    return columnTwipsFor(col, QString(digits, widestDigit(QFontMetrics(font))));
}

QRect FlexGridView::cellRect(int row, int col) const
{
    if (row < 0 || row >= m_grid->rows() || col < 0 || col >= m_grid->cols())
        return {};
    int left, width, top, height;
    if (col >= m_grid->fixedCols()) {
        const int section = m_model->modelCol(col);
        left = viewport()->x() + columnViewportPosition(section);
        width = columnWidth(section);
    } else {
        left = verticalHeader()->geometry().left();
        for (int fixed = 0; fixed < col; ++fixed)
            left += twipsToPixels(m_grid->colWidth(fixed));
        width = twipsToPixels(m_grid->colWidth(col));
    }
    if (row >= m_grid->fixedRows()) {
        top = viewport()->y() + rowViewportPosition(m_model->modelRow(row));
        height = rowPixels();
    } else {
        top = horizontalHeader()->geometry().top() + row * rowPixels();
        height = rowPixels();
    }
    return QRect(left, top, width, height);
}

void FlexGridView::pressAt(const QPoint &position, const QMouseEvent *event)
{
    const Cell cell = cellAt(position);
    m_grid->setMousePosition(cell.row, cell.col);
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton)
        startSelection(cell, event->modifiers() & Qt::ShiftModifier);
    Q_EMIT mouseDown(buttonCode(event->button()), shiftState(event->modifiers()), pixelsToTwips(position.x()),
                     pixelsToTwips(position.y()));
}

void FlexGridView::moveAt(const QPoint &position, const QMouseEvent *event)
{
    const Cell cell = cellAt(position);
    m_grid->setMousePosition(cell.row, cell.col);
    if (m_drag != DragMode::None && (event->buttons() & Qt::LeftButton)) {
        extendSelection(position);
        if (viewport()->geometry().contains(position))
            m_autoScroll.stop();
        else if (!m_autoScroll.isActive())
            m_autoScroll.start();
    }
    Q_EMIT mouseMove(buttonCode(event->buttons()), shiftState(event->modifiers()), pixelsToTwips(position.x()),
                     pixelsToTwips(position.y()));
}

void FlexGridView::releaseAt(const QPoint &position, const QMouseEvent *event)
{
    const Cell cell = cellAt(position);
    m_grid->setMousePosition(cell.row, cell.col);
    if (event->button() == Qt::LeftButton) {
        m_drag = DragMode::None;
        m_autoScroll.stop();
    }
    Q_EMIT mouseUp(buttonCode(event->button()), shiftState(event->modifiers()), pixelsToTwips(position.x()),
                   pixelsToTwips(position.y()));
}

void FlexGridView::startSelection(const Cell &cell, bool extend)
{
    m_drag = DragMode::None;
    const int fixedRows = m_grid->fixedRows();
    const int fixedCols = m_grid->fixedCols();
    const int lastRow = m_grid->rows() - 1;
    const int lastCol = m_grid->cols() - 1;
    if (cell.row < 0 || cell.col < 0 || fixedRows > lastRow || fixedCols > lastCol)
        return;
    const bool fixedRow = cell.row < fixedRows;
    const bool fixedCol = cell.col < fixedCols;
    if (!fixedRow && !fixedCol) {
        if (extend)
            m_grid->setSelection(m_grid->row(), m_grid->col(), cell.row, cell.col);
        else
            m_grid->setCurrentCell(cell.row, cell.col);
        m_drag = DragMode::Cells;
    } else if (fixedRow && !fixedCol) {
        // A header cell of a column selects the whole column.
        m_grid->setSelection(fixedRows, extend ? m_grid->col() : cell.col, lastRow, cell.col);
        m_drag = DragMode::Columns;
    } else if (!fixedRow && fixedCol) {
        // A fixed cell of a row selects the whole row.
        m_grid->setSelection(extend ? m_grid->row() : cell.row, fixedCols, cell.row, lastCol);
        m_drag = DragMode::Rows;
    } else {
        m_grid->setSelection(fixedRows, fixedCols, lastRow, lastCol);
    }
}

void FlexGridView::extendSelection(const QPoint &position)
{
    // The cell nearest to the pointer inside the scrolling area, so that dragging past an
    // edge selects up to the edge.
    const QRect area = viewport()->geometry();
    if (area.isEmpty())
        return;
    const QPoint inside(std::clamp(position.x(), area.left(), area.right()),
                        std::clamp(position.y(), area.top(), area.bottom()));
    Cell cell = cellAt(inside);
    if (cell.row < 0)
        cell.row = m_grid->rows() - 1;
    if (cell.col < 0)
        cell.col = m_grid->cols() - 1;
    switch (m_drag) {
    case DragMode::Cells:
        m_grid->setSelection(m_grid->row(), m_grid->col(), cell.row, cell.col);
        break;
    case DragMode::Rows:
        m_grid->setSelection(m_grid->row(), m_grid->fixedCols(), cell.row, m_grid->cols() - 1);
        break;
    case DragMode::Columns:
        m_grid->setSelection(m_grid->fixedRows(), m_grid->col(), m_grid->rows() - 1, cell.col);
        break;
    case DragMode::None:
        break;
    }
}

void FlexGridView::autoScrollStep()
{
    if (m_drag == DragMode::None) {
        m_autoScroll.stop();
        return;
    }
    const QPoint position = mapFromGlobal(QCursor::pos());
    const QRect area = viewport()->geometry();
    if (position.y() < area.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (position.y() > area.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (position.x() < area.left())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (position.x() > area.right())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    extendSelection(position);
}

void FlexGridView::mousePressEvent(QMouseEvent *event)
{
    pressAt(viewport()->mapToParent(event->position().toPoint()), event);
}

void FlexGridView::mouseMoveEvent(QMouseEvent *event)
{
    moveAt(viewport()->mapToParent(event->position().toPoint()), event);
}

void FlexGridView::mouseReleaseEvent(QMouseEvent *event)
{
    releaseAt(viewport()->mapToParent(event->position().toPoint()), event);
}

void FlexGridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const Cell cell = cellAt(viewport()->mapToParent(event->position().toPoint()));
    m_grid->setMousePosition(cell.row, cell.col);
    if (event->button() == Qt::LeftButton)
        Q_EMIT dblClick();
}

void FlexGridView::keyPressEvent(QKeyEvent *event)
{
    bool handled = false;
    Q_EMIT keyDown(windowsKeyCode(event), shiftState(event->modifiers()), &handled);
    if (handled || navigate(event))
        event->accept();
    else
        event->ignore();
}

bool FlexGridView::navigate(const QKeyEvent *event)
{
    const int fixedRows = m_grid->fixedRows();
    const int fixedCols = m_grid->fixedCols();
    const int lastRow = m_grid->rows() - 1;
    const int lastCol = m_grid->cols() - 1;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const int page = std::max(1, m_grid->visibleRowCount());
    int row = extend ? m_grid->rowSel() : m_grid->row();
    int col = extend ? m_grid->colSel() : m_grid->col();
    switch (event->key()) {
    case Qt::Key_Up: --row; break;
    case Qt::Key_Down: ++row; break;
    case Qt::Key_Left: --col; break;
    case Qt::Key_Right: ++col; break;
    case Qt::Key_PageUp: row -= page; break;
    case Qt::Key_PageDown: row += page; break;
    case Qt::Key_Home:
        col = fixedCols;
        if (control)
            row = fixedRows;
        break;
    case Qt::Key_End:
        col = lastCol;
        if (control)
            row = lastRow;
        break;
    default:
        return false;
    }
    if (fixedRows > lastRow || fixedCols > lastCol)
        return true;
    row = std::clamp(row, fixedRows, lastRow);
    col = std::clamp(col, fixedCols, lastCol);
    if (extend)
        m_grid->setSelection(m_grid->row(), m_grid->col(), row, col);
    else
        m_grid->setCurrentCell(row, col);
    scrollToCell(row, col);
    return true;
}

void FlexGridView::scrollToCell(int row, int col)
{
    // The model may not know the newest rows yet; it learns them on the next notification.
    const int modelRow = m_model->modelRow(row);
    const int modelCol = m_model->modelCol(col);
    if (modelRow < m_model->rowCount() && modelCol < m_model->columnCount())
        scrollTo(m_model->index(modelRow, modelCol));
}

void FlexGridView::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    // The base class may pick a current cell of its own; the grid's stays.
    QScopedValueRollback<bool> syncing(m_syncing, true);
    syncSelection();
}

void FlexGridView::keyboardSearch(const QString &)
{
    // Typing never moves the current cell; the window's key handling decides.
}

void FlexGridView::showToolTip(const QPoint &globalPosition, QWidget *widget)
{
    const QString text = m_grid->toolTipText();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(globalPosition, text, widget);
}

void FlexGridView::onToolTipText(const QString &text)
{
    if (!QToolTip::isVisible())
        return;
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), text, viewport());
}

void FlexGridView::onRedraw(bool on)
{
    if (!on || !m_missedPaint)
        return;
    m_missedPaint = false;
    viewport()->update();
    horizontalHeader()->viewport()->update();
    verticalHeader()->viewport()->update();
    if (m_corner)
        m_corner->update();
}

bool FlexGridView::holdPaint(QEvent *event)
{
    if (event->type() != QEvent::Paint || !m_grid || m_grid->redraw())
        return false;
    m_missedPaint = true;
    return true;
}

bool FlexGridView::viewportEvent(QEvent *event)
{
    if (holdPaint(event))
        return true;
    if (event->type() == QEvent::ToolTip) {
        showToolTip(static_cast<QHelpEvent *>(event)->globalPos(), viewport());
        return true;
    }
    return QTableView::viewportEvent(event);
}

void FlexGridView::dragEnterEvent(QDragEnterEvent *event)
{
    acceptAsCopy(event);
}

void FlexGridView::dragMoveEvent(QDragMoveEvent *event)
{
    acceptAsCopy(event);
}

void FlexGridView::dropEvent(QDropEvent *event)
{
    dropAt(viewport()->mapToParent(event->position().toPoint()), event);
}

void FlexGridView::dropAt(const QPoint &position, QDropEvent *event)
{
    QStringList paths;
    if (event->mimeData()->hasUrls()) {
        for (const QUrl &url : event->mimeData()->urls()) {
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
        }
    }
    const Cell cell = cellAt(position);
    m_grid->setMousePosition(cell.row, cell.col);
    if (!acceptAsCopy(event))
        return;
    Q_EMIT oleDragDrop(paths, buttonCode(event->buttons()), shiftState(event->modifiers()), pixelsToTwips(position.x()),
                       pixelsToTwips(position.y()));
}

bool FlexGridView::onHeaderHandle(const QPoint &headerPosition) const
{
    const QHeaderView *header = horizontalHeader();
    const int x = headerPosition.x();
    const int section = header->logicalIndexAt(x);
    if (section < 0)
        return false;
    const int start = header->sectionViewportPosition(section);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
    return (x < start + grip && header->visualIndex(section) > 0) || x > start + header->sectionSize(section) - grip;
}

bool FlexGridView::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *widget = qobject_cast<QWidget *>(watched);
    const bool columnsHeader = watched == horizontalHeader()->viewport();
    if (!widget || (!columnsHeader && watched != verticalHeader()->viewport() && watched != m_corner))
        return QTableView::eventFilter(watched, event);
    if (holdPaint(event))
        return true;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint local = mouse->position().toPoint();
        // A press on the border between two column headers resizes the column.
        if (columnsHeader && mouse->button() == Qt::LeftButton && onHeaderHandle(local))
            return false;
        m_headerPress = true;
        pressAt(widget->mapTo(this, local), mouse);
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        moveAt(widget->mapTo(this, mouse->position().toPoint()), mouse);
        return m_headerPress;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const bool ours = m_headerPress;
        m_headerPress = false;
        releaseAt(widget->mapTo(this, mouse->position().toPoint()), mouse);
        return ours;
    }
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const Cell cell = cellAt(widget->mapTo(this, mouse->position().toPoint()));
        m_grid->setMousePosition(cell.row, cell.col);
        if (mouse->button() == Qt::LeftButton)
            Q_EMIT dblClick();
        return true;
    }
    case QEvent::ToolTip:
        showToolTip(static_cast<QHelpEvent *>(event)->globalPos(), widget);
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        acceptAsCopy(static_cast<QDragMoveEvent *>(event));
        return true;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        dropAt(widget->mapTo(this, drop->position().toPoint()), drop);
        return true;
    }
    case QEvent::Paint:
        if (watched != m_corner)
            return false;
        paintCorner(widget);
        return true;
    default:
        return false;
    }
}

void FlexGridView::paintCorner(QWidget *corner)
{
    QStyleOptionHeader option;
    option.initFrom(corner);
    option.state |= QStyle::State_Raised | QStyle::State_Enabled;
    option.rect = corner->rect();
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.text = m_model->cornerData(Qt::DisplayRole).toString();
    const QVariant alignment = m_model->cornerData(Qt::TextAlignmentRole);
    if (alignment.isValid())
        option.textAlignment = alignment.value<Qt::Alignment>();
    const QVariant background = m_model->cornerData(Qt::BackgroundRole);
    if (background.canConvert<QBrush>()) {
        option.palette.setBrush(QPalette::Button, background.value<QBrush>());
        option.palette.setBrush(QPalette::Window, background.value<QBrush>());
    }
    const QVariant foreground = m_model->cornerData(Qt::ForegroundRole);
    if (foreground.canConvert<QBrush>())
        option.palette.setBrush(QPalette::ButtonText, foreground.value<QBrush>());
    QPainter painter(corner);
    style()->drawControl(QStyle::CE_Header, &option, &painter, corner);
}

} // namespace platform::widgets
