#include "platform/flex_grid.h"

#include <QMetaObject>

#include <algorithm>

namespace platform {

namespace {

constexpr int DefaultColWidth = 960;

template<typename T>
void removeRowOf(std::vector<T> &cells, qsizetype first, qsizetype count)
{
    if (!cells.empty())
        cells.erase(cells.begin() + first, cells.begin() + first + count);
}

// Moves the element at `from` to `to` within each row of `cells`, shifting those between.
template<typename T>
void moveInRows(std::vector<T> &cells, int rows, int cols, int from, int to)
{
    if (cells.empty())
        return;
    for (int row = 0; row < rows; ++row) {
        const auto begin = cells.begin() + qsizetype(row) * cols;
        if (from < to)
            std::rotate(begin + from, begin + from + 1, begin + to + 1);
        else
            std::rotate(begin + to, begin + from, begin + from + 1);
    }
}

template<typename T>
void moveElement(std::vector<T> &values, int from, int to)
{
    moveInRows(values, 1, int(values.size()), from, to);
}

// Re-lays a row-major matrix out for another column count, keeping the cells that remain.
template<typename T>
void relayout(std::vector<T> &cells, int rows, int oldCols, int newCols, const T &blank)
{
    if (cells.empty())
        return;
    std::vector<T> result(qsizetype(rows) * newCols, blank);
    const int kept = std::min(oldCols, newCols);
    for (int row = 0; row < rows; ++row) {
        auto source = cells.begin() + qsizetype(row) * oldCols;
        std::move(source, source + kept, result.begin() + qsizetype(row) * newCols);
    }
    cells.swap(result);
}

} // namespace

FlexGrid::FlexGrid(QObject *parent)
    : QObject(parent)
    , m_text(qsizetype(m_rows) * m_cols)
    , m_rowData(m_rows, 0)
    , m_colWidth(m_cols, DefaultColWidth)
    , m_colAlignment(m_cols, FlexAlign::General)
{
}

bool FlexGrid::setRows(int count)
{
    if (count < 1 || count < m_fixedRows)
        return false;
    if (count == m_rows)
        return true;
    const int old = m_rows;
    resizeRows(count);
    if (count < old)
        markRows(count, old - 1);
    markView();
    clampTopRow();
    applyState(std::min(m_row, count - 1), m_col, std::min(m_rowSel, count - 1), m_colSel);
    return true;
}

void FlexGrid::resizeRows(int count)
{
    m_rows = count;
    resizeStorage(storedRows());
}

void FlexGrid::resizeStorage(int storedRowCount)
{
    const qsizetype cells = qsizetype(storedRowCount) * m_cols;
    m_text.resize(cells);
    if (!m_backColor.empty())
        m_backColor.resize(cells, 0);
    if (!m_foreColor.empty())
        m_foreColor.resize(cells, 0);
    if (!m_alignment.empty())
        m_alignment.resize(cells, -1);
    m_rowData.resize(storedRowCount, 0);
}

bool FlexGrid::setCols(int count)
{
    if (count < 1 || count < m_fixedCols)
        return false;
    if (count == m_cols)
        return true;
    relayoutColumns(count);
    markLayout();
    applyState(m_row, std::min(m_col, count - 1), m_rowSel, std::min(m_colSel, count - 1));
    return true;
}

void FlexGrid::relayoutColumns(int count)
{
    const int stored = storedRows();
    relayout(m_text, stored, m_cols, count, QString());
    relayout(m_backColor, stored, m_cols, count, quint32(0));
    relayout(m_foreColor, stored, m_cols, count, quint32(0));
    relayout(m_alignment, stored, m_cols, count, qint8(-1));
    m_colWidth.resize(count, DefaultColWidth);
    m_colAlignment.resize(count, FlexAlign::General);
    m_cols = count;
}

bool FlexGrid::setFixedRows(int count)
{
    if (count < 0 || count > m_rows)
        return false;
    if (count != m_fixedRows) {
        m_fixedRows = count;
        resizeStorage(storedRows());
        markLayout();
        clampTopRow();
    }
    return true;
}

bool FlexGrid::setFixedCols(int count)
{
    if (count < 0 || count > m_cols)
        return false;
    if (count != m_fixedCols) {
        m_fixedCols = count;
        markLayout();
    }
    return true;
}

QString FlexGrid::textMatrix(int row, int col) const
{
    if (!validRow(row) || !validCol(col))
        return {};
    if (provided(row))
        return m_provider->text(row, col);
    return m_text[cellIndex(row, col)];
}

bool FlexGrid::setTextMatrix(int row, int col, const QString &text)
{
    if (!validRow(row) || !validCol(col) || provided(row))
        return false;
    m_text[cellIndex(row, col)] = text;
    markRows(row, row);
    return true;
}

bool FlexGrid::setRowTexts(int row, const QStringList &texts, int firstCol)
{
    if (!validRow(row) || !validCol(firstCol) || provided(row))
        return false;
    const qsizetype count = std::min<qsizetype>(texts.size(), m_cols - firstCol);
    std::copy_n(texts.cbegin(), count, m_text.begin() + cellIndex(row, firstCol));
    markRows(row, row);
    return true;
}

void FlexGrid::setText(const QString &text)
{
    int row1, col1, row2, col2;
    currentTarget(row1, col1, row2, col2);
    row2 = std::min(row2, storedRows() - 1);
    if (row1 > row2)
        return;
    for (int row = row1; row <= row2; ++row)
        std::fill_n(m_text.begin() + cellIndex(row, col1), col2 - col1 + 1, text);
    markRows(row1, row2);
}

qint32 FlexGrid::rowData(int row) const
{
    return validRow(row) && !provided(row) ? m_rowData[row] : 0;
}

bool FlexGrid::setRowData(int row, qint32 value)
{
    if (!validRow(row) || provided(row))
        return false;
    m_rowData[row] = value;
    return true;
}

int FlexGrid::rowHeight(int row) const
{
    return validRow(row) ? m_rowHeight : 0;
}

bool FlexGrid::setRowHeight(int twips)
{
    if (twips < TwipsPerPixel)
        return false;
    if (twips != m_rowHeight) {
        m_rowHeight = twips;
        markLayout();
    }
    return true;
}

int FlexGrid::colWidth(int col) const
{
    return validCol(col) ? m_colWidth[col] : 0;
}

bool FlexGrid::setColWidth(int col, int twips)
{
    if (!validCol(col))
        return false;
    const int width = twips < 0 ? DefaultColWidth : twips;
    if (width != m_colWidth[col]) {
        m_colWidth[col] = width;
        markLayout();
    }
    return true;
}

int FlexGrid::colAlignment(int col) const
{
    return validCol(col) ? m_colAlignment[col] : FlexAlign::General;
}

bool FlexGrid::setColAlignment(int col, int alignment)
{
    if (!validCol(col) || alignment < FlexAlign::LeftTop || alignment > FlexAlign::General)
        return false;
    m_colAlignment[col] = qint8(alignment);
    markLayout();
    return true;
}

bool FlexGrid::setRow(int row)
{
    if (!validRow(row))
        return false;
    applyState(row, m_col, row, m_col);
    return true;
}

bool FlexGrid::setCol(int col)
{
    if (!validCol(col))
        return false;
    applyState(m_row, col, m_row, col);
    return true;
}

bool FlexGrid::setRowSel(int row)
{
    if (!validRow(row))
        return false;
    applyState(m_row, m_col, row, m_colSel);
    return true;
}

bool FlexGrid::setColSel(int col)
{
    if (!validCol(col))
        return false;
    applyState(m_row, m_col, m_rowSel, col);
    return true;
}

bool FlexGrid::setCurrentCell(int row, int col)
{
    return setSelection(row, col, row, col);
}

bool FlexGrid::setSelection(int row, int col, int rowSel, int colSel)
{
    if (!validRow(row) || !validCol(col) || !validRow(rowSel) || !validCol(colSel))
        return false;
    applyState(row, col, rowSel, colSel);
    return true;
}

void FlexGrid::applyState(int row, int col, int rowSel, int colSel)
{
    const bool cellChanged = row != m_row || col != m_col;
    const bool selectionChanged = cellChanged || rowSel != m_rowSel || colSel != m_colSel;
    m_row = row;
    m_col = col;
    m_rowSel = rowSel;
    m_colSel = colSel;
    if (!selectionChanged)
        return;
    markView();
    if (cellChanged)
        Q_EMIT rowColChange();
    Q_EMIT selChange();
}

int FlexGrid::maxTopRow() const
{
    return std::max(m_fixedRows, m_rows - std::max(1, m_visibleRows));
}

void FlexGrid::clampTopRow()
{
    const int top = std::clamp(m_topRow, m_fixedRows, maxTopRow());
    if (top == m_topRow)
        return;
    m_topRow = top;
    markView();
    Q_EMIT scroll();
}

bool FlexGrid::setTopRow(int row)
{
    if (!validRow(row))
        return false;
    const int top = std::clamp(row, m_fixedRows, maxTopRow());
    if (top != m_topRow) {
        m_topRow = top;
        markView();
        Q_EMIT scroll();
    }
    return true;
}

bool FlexGrid::rowIsVisible(int row) const
{
    if (!validRow(row))
        return false;
    return row < m_fixedRows || (row >= m_topRow && row < m_topRow + m_visibleRows);
}

void FlexGrid::setVisibleRowCount(int count)
{
    m_visibleRows = std::max(0, count);
    clampTopRow();
}

void FlexGrid::currentTarget(int &row1, int &col1, int &row2, int &col2) const
{
    if (m_fillStyle == FlexFill::Repeat) {
        row1 = std::min(m_row, m_rowSel);
        row2 = std::max(m_row, m_rowSel);
        col1 = std::min(m_col, m_colSel);
        col2 = std::max(m_col, m_colSel);
    } else {
        row1 = row2 = m_row;
        col1 = col2 = m_col;
    }
}

void FlexGrid::fillColor(std::vector<quint32> &colors, int row1, int col1, int row2, int col2, quint32 color)
{
    if (row1 > row2)
        std::swap(row1, row2);
    if (col1 > col2)
        std::swap(col1, col2);
    row1 = std::max(row1, 0);
    col1 = std::max(col1, 0);
    row2 = std::min(row2, storedRows() - 1);
    col2 = std::min(col2, m_cols - 1);
    if (row1 > row2 || col1 > col2)
        return;
    if (colors.empty()) {
        if (color == 0)
            return;
        colors.assign(m_text.size(), 0);
    }
    for (int row = row1; row <= row2; ++row)
        std::fill_n(colors.begin() + cellIndex(row, col1), col2 - col1 + 1, color);
    markRows(row1, row2);
}

void FlexGrid::setCellBackColor(quint32 color)
{
    int row1, col1, row2, col2;
    currentTarget(row1, col1, row2, col2);
    fillColor(m_backColor, row1, col1, row2, col2, color);
}

void FlexGrid::setCellForeColor(quint32 color)
{
    int row1, col1, row2, col2;
    currentTarget(row1, col1, row2, col2);
    fillColor(m_foreColor, row1, col1, row2, col2, color);
}

void FlexGrid::setRangeBackColor(int row1, int col1, int row2, int col2, quint32 color)
{
    fillColor(m_backColor, row1, col1, row2, col2, color);
}

void FlexGrid::setRangeForeColor(int row1, int col1, int row2, int col2, quint32 color)
{
    fillColor(m_foreColor, row1, col1, row2, col2, color);
}

int FlexGrid::cellAlignment() const
{
    if (m_alignment.empty() || !validRow(m_row) || !validCol(m_col) || provided(m_row))
        return -1;
    return m_alignment[cellIndex(m_row, m_col)];
}

void FlexGrid::setCellAlignment(int alignment)
{
    if (alignment < FlexAlign::LeftTop || alignment > FlexAlign::General)
        return;
    int row1, col1, row2, col2;
    currentTarget(row1, col1, row2, col2);
    row2 = std::min(row2, storedRows() - 1);
    if (row1 > row2)
        return;
    if (m_alignment.empty())
        m_alignment.assign(m_text.size(), -1);
    for (int row = row1; row <= row2; ++row)
        std::fill_n(m_alignment.begin() + cellIndex(row, col1), col2 - col1 + 1, qint8(alignment));
    markRows(row1, row2);
}

quint32 FlexGrid::backColorAt(int row, int col) const
{
    if (!validRow(row) || !validCol(col))
        return 0;
    if (provided(row))
        return m_provider->backColor(row, col);
    if (m_backColor.empty())
        return 0;
    return m_backColor[cellIndex(row, col)];
}

quint32 FlexGrid::foreColorAt(int row, int col) const
{
    if (!validRow(row) || !validCol(col))
        return 0;
    if (provided(row))
        return m_provider->foreColor(row, col);
    if (m_foreColor.empty())
        return 0;
    return m_foreColor[cellIndex(row, col)];
}

int FlexGrid::effectiveAlignment(int row, int col) const
{
    if (!validRow(row) || !validCol(col))
        return FlexAlign::General;
    if (!m_alignment.empty() && !provided(row)) {
        const int own = m_alignment[cellIndex(row, col)];
        if (own >= 0)
            return own;
    }
    return m_colAlignment[col];
}

bool FlexGrid::removeItem(int row)
{
    if (m_provider || row < m_fixedRows || row >= m_rows || m_rows - m_fixedRows <= 1)
        return false;
    const qsizetype first = cellIndex(row, 0);
    removeRowOf(m_text, first, m_cols);
    removeRowOf(m_backColor, first, m_cols);
    removeRowOf(m_foreColor, first, m_cols);
    removeRowOf(m_alignment, first, m_cols);
    m_rowData.erase(m_rowData.begin() + row);
    --m_rows;
    markRows(row, m_rows);
    clampTopRow();
    applyState(std::min(m_row, m_rows - 1), m_col, std::min(m_rowSel, m_rows - 1), m_colSel);
    return true;
}

bool FlexGrid::setColPosition(int col, int position)
{
    if (m_provider || col < m_fixedCols || col >= m_cols || position < m_fixedCols || position >= m_cols)
        return false;
    if (col == position)
        return true;
    moveInRows(m_text, m_rows, m_cols, col, position);
    moveInRows(m_backColor, m_rows, m_cols, col, position);
    moveInRows(m_foreColor, m_rows, m_cols, col, position);
    moveInRows(m_alignment, m_rows, m_cols, col, position);
    moveElement(m_colWidth, col, position);
    moveElement(m_colAlignment, col, position);
    markRows(0, m_rows - 1);
    markLayout();
    return true;
}

void FlexGrid::clear()
{
    setRowProvider(nullptr);
    std::fill(m_text.begin(), m_text.end(), QString());
    std::vector<quint32>().swap(m_backColor);
    std::vector<quint32>().swap(m_foreColor);
    std::vector<qint8>().swap(m_alignment);
    std::fill(m_rowData.begin(), m_rowData.end(), 0);
    markRows(0, m_rows - 1);
}

void FlexGrid::setRowProvider(std::shared_ptr<const FlexRowProvider> provider)
{
    if (!provider && !m_provider)
        return;
    m_provider = std::move(provider);
    // The own cells of the rows that a provider takes over are let go; when the grid takes
    // its rows back they are empty.
    resizeStorage(storedRows());
    markRows(m_fixedRows, m_rows - 1);
}

void FlexGrid::setMousePosition(int row, int col)
{
    m_mouseRow = row;
    m_mouseCol = col;
}

void FlexGrid::setToolTipText(const QString &text)
{
    if (text == m_toolTipText)
        return;
    m_toolTipText = text;
    Q_EMIT toolTipTextChanged(text);
}

void FlexGrid::setRedraw(bool on)
{
    const bool switched = on != m_redraw;
    m_redraw = on;
    if (switched)
        Q_EMIT redrawChanged(on);
    if (on)
        flush();
}

void FlexGrid::setFocusRect(int style)
{
    const int value = std::clamp(style, 0, 2);
    if (value != m_focusRect) {
        m_focusRect = value;
        markView();
    }
}

void FlexGrid::markRows(int first, int last)
{
    if (m_pending.firstRow < 0 || first < m_pending.firstRow)
        m_pending.firstRow = first;
    m_pending.lastRow = std::max(m_pending.lastRow, last);
    schedule();
}

void FlexGrid::markLayout()
{
    m_pending.layout = true;
    schedule();
}

void FlexGrid::markView()
{
    schedule();
}

void FlexGrid::schedule()
{
    m_pendingAny = true;
    if (!m_redraw || m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &FlexGrid::flushQueued, Qt::QueuedConnection);
}

void FlexGrid::flushQueued()
{
    m_flushQueued = false;
    if (m_redraw)
        flush();
}

void FlexGrid::flush()
{
    if (!m_pendingAny)
        return;
    const FlexGridChange change = m_pending;
    m_pending = {};
    m_pendingAny = false;
    Q_EMIT changed(change);
}

void resetGrid(FlexGrid &grid, const QList<FlexColumn> &columns)
{
    // Down to two rows first, so that a grid whose rows came from a provider does not
    // make cells of its own for all of them when it lets the provider go.
    grid.setRows(std::max(2, grid.fixedRows()));
    grid.clear();
    grid.setRows(2);
    grid.setCols(int(columns.size()));
    grid.setFixedRows(1);
    grid.setFixedCols(1);
    grid.setRow(0);
    for (int col = 0; col < columns.size(); ++col) {
        grid.setColWidth(col, columns[col].width);
        grid.setCol(col);
        grid.setTextMatrix(0, col, columns[col].header);
        grid.setCellAlignment(FlexAlign::CenterCenter);
        grid.setColAlignment(col, columns[col].alignment);
    }
    grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
    grid.setFocusRect(1);
}

} // namespace platform
