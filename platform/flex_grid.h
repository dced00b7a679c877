#pragma once

#include "platform/twips.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace platform {

// Alignment codes of columns and cells: horizontal left, centre or right crossed with
// vertical top, centre or bottom; General puts text left and numbers right, both
// vertically centred.
namespace FlexAlign {
inline constexpr int LeftTop = 0;
inline constexpr int LeftCenter = 1;
inline constexpr int LeftBottom = 2;
inline constexpr int CenterTop = 3;
inline constexpr int CenterCenter = 4;
inline constexpr int CenterBottom = 5;
inline constexpr int RightTop = 6;
inline constexpr int RightCenter = 7;
inline constexpr int RightBottom = 8;
inline constexpr int General = 9;
} // namespace FlexAlign

// FillStyle values: cell properties set through the current cell apply to that cell
// alone (Single) or to every cell of the selection (Repeat).
namespace FlexFill {
inline constexpr int Single = 0;
inline constexpr int Repeat = 1;
} // namespace FlexFill

// What changed since the last notification to the views. The row count, selection, top
// row, focus rectangle and the like are not listed: a view re-reads them on every
// notification.
struct FlexGridChange
{
    // Columns, fixed counts, column widths or alignments, the row height or the column
    // order changed: the view lays itself out again and repaints.
    bool layout = false;
    // First and last grid row whose cell texts or formats changed; -1 when none.
    int firstRow = -1;
    int lastRow = -1;
};

// A colour value for the grid's colours that shows black, where 0 means "no colour of its
// own": the byte above blue is not part of the colour.
inline constexpr quint32 FlexBlack = 0x01000000;

// The cells of the non-fixed rows of a grid whose table is held elsewhere (see
// FlexGrid::setRowProvider). It is asked only for rows from the grid's fixedRows() to
// rows() - 1 and columns from 0 to cols() - 1; colours are as FlexGrid gives them, 0 for
// none. It is asked whenever a cell is read, so it answers from its table without
// copying it.
class FlexRowProvider
{
public:
    virtual ~FlexRowProvider() = default;
    virtual QString text(int row, int col) const = 0;
    virtual quint32 backColor(int row, int col) const = 0;
    virtual quint32 foreColor(int row, int col) const = 0;
};

// The data and state of one result grid: a matrix of cell texts with fixed (header)
// rows and columns, per-cell back and fore colours and alignments, a 32-bit value per
// row, column widths and alignments, the current cell and selection, and the top row.
// Logic fills and reads it without any window; a FlexGridView shows it.
//
// Rows and columns count from 0; fixed rows and columns come first. The current cell is
// (row(), col()); the selection is the rectangle between it and (rowSel(), colSel()),
// either corner may be the larger. Setters of indexes return false and change nothing
// when the index is out of range. Colours are blue-green-red integers (the low byte is
// red); 0 means "no colour of its own": the standard background or text colour, and a
// fixed cell keeps its header look (FlexBlack is black).
//
// Views are told of changes through changed(), coalesced: at most one notification per
// pass of the event loop while redraw() is true, none at all while it is false, and one
// at once when it is set true again.
class FlexGrid : public QObject
{
    Q_OBJECT

public:
    explicit FlexGrid(QObject *parent = nullptr);

    // Size. A new grid has 2 rows and 2 columns, one of each fixed, current cell (1, 1).
    // Changing the counts keeps the cells that remain; new cells are empty. At least one
    // row and one column, and never fewer than the fixed ones.
    int rows() const { return m_rows; }
    bool setRows(int count);
    int cols() const { return m_cols; }
    bool setCols(int count);
    int fixedRows() const { return m_fixedRows; }
    bool setFixedRows(int count);
    int fixedCols() const { return m_fixedCols; }
    bool setFixedCols(int count);

    // Cell texts; reading outside the grid gives an empty text.
    QString textMatrix(int row, int col) const;
    bool setTextMatrix(int row, int col, const QString &text);
    // Sets the texts of one row from column `firstCol` on; texts beyond the last column
    // are ignored. The fast way to fill a row.
    bool setRowTexts(int row, const QStringList &texts, int firstCol = 0);
    // Text of the current cell; setting it follows fillStyle().
    QString text() const { return textMatrix(m_row, m_col); }
    void setText(const QString &text);

    // The 32-bit value kept with each row (0 for a new row); travels with the row when
    // rows are removed.
    qint32 rowData(int row) const;
    bool setRowData(int row, qint32 value);

    // All rows share one height, in twips.
    int rowHeight(int row = 0) const;
    bool setRowHeight(int twips);
    // Column width in twips; a negative width restores the default (960 twips).
    int colWidth(int col) const;
    bool setColWidth(int col, int twips);
    // Column alignment, a FlexAlign code (General for a new column).
    int colAlignment(int col) const;
    bool setColAlignment(int col, int alignment);

    // Current cell. Setting row or column from code collapses the selection onto the new
    // current cell. rowColChange() is raised when the current cell changes and
    // selChange() when the selection rectangle changes, in this order.
    int row() const { return m_row; }
    bool setRow(int row);
    int col() const { return m_col; }
    bool setCol(int col);
    // The far corner of the selection; setting it keeps the current cell.
    int rowSel() const { return m_rowSel; }
    bool setRowSel(int row);
    int colSel() const { return m_colSel; }
    bool setColSel(int col);
    // Sets the current cell and collapses the selection onto it, raising each event once.
    bool setCurrentCell(int row, int col);
    // Sets the current cell and the far corner at once, raising each event once.
    bool setSelection(int row, int col, int rowSel, int colSel);
    // The selection as {first row, first column, last row, last column}: the current cell
    // and the far corner in whichever order the user dragged them.
    std::array<int, 4> orderedSelection() const
    {
        return {std::min(m_row, m_rowSel), std::min(m_col, m_colSel), std::max(m_row, m_rowSel),
                std::max(m_col, m_colSel)};
    }

    // The first non-fixed row shown at the top. Setting it scrolls as far as the grid can
    // go (a view cannot scroll the last row above its bottom); raises scroll() when it
    // changes, whether from code or from a view.
    int topRow() const { return m_topRow; }
    bool setTopRow(int row);
    // True for fixed rows and for rows wholly shown by the view; false without a view.
    bool rowIsVisible(int row) const;
    // Number of rows that the view shows wholly; set by the view whenever its size or
    // row height changes (0 without a view).
    int visibleRowCount() const { return m_visibleRows; }
    void setVisibleRowCount(int count);

    // Cell formatting through the current cell (and the selection with FillStyle Repeat).
    int fillStyle() const { return m_fillStyle; }
    void setFillStyle(int style) { m_fillStyle = style == FlexFill::Repeat ? FlexFill::Repeat : FlexFill::Single; }
    quint32 cellBackColor() const { return backColorAt(m_row, m_col); }
    void setCellBackColor(quint32 color);
    quint32 cellForeColor() const { return foreColorAt(m_row, m_col); }
    void setCellForeColor(quint32 color);
    // Alignment of the current cell as set for it, or -1 when it follows its column.
    int cellAlignment() const;
    void setCellAlignment(int alignment);

    // Direct cell formatting, without touching the current cell or the selection.
    quint32 backColorAt(int row, int col) const;
    quint32 foreColorAt(int row, int col) const;
    // The alignment a view uses for the cell: its own, else its column's.
    int effectiveAlignment(int row, int col) const;
    // Colours every cell of rows row1..row2 and columns col1..col2 (either order, clipped
    // to the grid): the fast way to colour runs of rows.
    void setRangeBackColor(int row1, int col1, int row2, int col2, quint32 color);
    void setRangeForeColor(int row1, int col1, int row2, int col2, quint32 color);

    // Removes a non-fixed row with its texts, formats and row data; the rows below move
    // up. False for a fixed row or the last non-fixed row.
    bool removeItem(int row);
    // Moves column `col` with all its cells, width and alignment to index `position`; the
    // columns between shift by one. Fixed columns cannot be moved or moved into.
    bool setColPosition(int col, int position);
    // Empties every cell text, drops all cell formatting and sets every row's data to 0;
    // sizes, widths, column alignments and the selection stay. A row provider is let go.
    void clear();

    // Shows the non-fixed rows from `provider` instead of the grid's own cells: their texts
    // and colours are read from it whenever asked, nothing is copied, so rows cost no
    // memory of the grid's own; the row count stays the caller's (setRows). The fixed rows
    // keep their own cells. While a provider is set its rows take no texts, formats or row
    // data (the setters return false or leave them out), have the column's alignment and
    // row data 0, and rows cannot be removed nor columns moved. nullptr returns to the
    // grid's own cells, all empty below the fixed rows.
    void setRowProvider(std::shared_ptr<const FlexRowProvider> provider);
    const FlexRowProvider *rowProvider() const { return m_provider.get(); }

    // The cell under the mouse, set by the view on every mouse event; -1 where there is
    // no cell (below the last row, right of the last column).
    int mouseRow() const { return m_mouseRow; }
    int mouseCol() const { return m_mouseCol; }
    void setMousePosition(int row, int col);

    // Tooltip the view shows over the grid; the window sets it on mouse moves.
    QString toolTipText() const { return m_toolTipText; }
    void setToolTipText(const QString &text);

    // While false, views are not told of changes and do not paint; setting it true tells
    // them everything at once.
    bool redraw() const { return m_redraw; }
    void setRedraw(bool on);

    // Focus rectangle on the current cell: 0 none, 1 light, 2 heavy.
    int focusRect() const { return m_focusRect; }
    void setFocusRect(int style);

Q_SIGNALS:
    void selChange();
    void rowColChange();
    void scroll();
    // Coalesced notification for views (see the class comment).
    void changed(const platform::FlexGridChange &change);
    void redrawChanged(bool on);
    void toolTipTextChanged(const QString &text);

private:
    bool validRow(int row) const { return row >= 0 && row < m_rows; }
    // Rows whose cells the grid holds itself: all of them, or the fixed ones while a
    // provider gives the others.
    int storedRows() const { return m_provider ? m_fixedRows : m_rows; }
    bool provided(int row) const { return m_provider && row >= m_fixedRows; }
    void resizeStorage(int storedRowCount);
    bool validCol(int col) const { return col >= 0 && col < m_cols; }
    qsizetype cellIndex(int row, int col) const { return qsizetype(row) * m_cols + col; }
    void relayoutColumns(int count);
    void resizeRows(int count);
    void applyState(int row, int col, int rowSel, int colSel);
    int maxTopRow() const;
    void clampTopRow();
    // Cells that a cell property set through the current cell applies to.
    void currentTarget(int &row1, int &col1, int &row2, int &col2) const;
    void fillColor(std::vector<quint32> &colors, int row1, int col1, int row2, int col2, quint32 color);

    void markRows(int first, int last);
    void markLayout();
    void markView();
    void schedule();
    void flushQueued();
    void flush();

    int m_rows = 2;
    int m_cols = 2;
    int m_fixedRows = 1;
    int m_fixedCols = 1;

    // Per stored cell, row-major (row * m_cols + col). The format arrays stay empty until
    // a cell first gets a format of its own.
    std::vector<QString> m_text;
    std::vector<quint32> m_backColor;
    std::vector<quint32> m_foreColor;
    std::vector<qint8> m_alignment; // -1: the column's alignment

    std::vector<qint32> m_rowData;
    std::shared_ptr<const FlexRowProvider> m_provider;
    std::vector<int> m_colWidth;
    std::vector<qint8> m_colAlignment;
    int m_rowHeight = 240;

    int m_row = 1;
    int m_col = 1;
    int m_rowSel = 1;
    int m_colSel = 1;
    int m_topRow = 1;
    int m_visibleRows = 0;
    int m_fillStyle = FlexFill::Single;
    int m_mouseRow = -1;
    int m_mouseCol = -1;
    QString m_toolTipText;
    bool m_redraw = true;
    int m_focusRect = 1;

    FlexGridChange m_pending;
    bool m_pendingAny = false;
    bool m_flushQueued = false;
};

// One column of a grid as a reset lays it out: width in twips, header text (shown
// centred) and the alignment of the column's cells.
struct FlexColumn
{
    int width = 0;
    QString header;
    int alignment = FlexAlign::General;
};

// Empties the grid (texts, formats, row data) to one fixed header row and one blank data
// row with one fixed column and the given columns, and puts the current cell on the first
// data cell with a light focus rectangle.
void resetGrid(FlexGrid &grid, const QList<FlexColumn> &columns);

} // namespace platform
