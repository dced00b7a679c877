#pragma once

#include "platform/flex_grid.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace platform::widgets {

// Item model over a FlexGrid for a table view: model rows and columns are the grid's
// non-fixed rows and columns; the fixed rows make the horizontal header and the fixed
// columns the vertical header. The model keeps the dimensions it last announced and
// takes the grid's new ones only in apply(), so that a view never asks for rows that the
// grid has not yet told it about.
class FlexGridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit FlexGridModel(QObject *parent = nullptr);

    FlexGrid *grid() const { return m_grid; }
    void setGrid(FlexGrid *grid);

    // Brings the model in line with the grid after a change notification.
    void apply(const FlexGridChange &change);

    // Grid row and column of a model index, and back.
    int gridRow(int modelRow) const { return modelRow + m_fixedRows; }
    int gridCol(int modelCol) const { return modelCol + m_fixedCols; }
    int modelRow(int gridRow) const { return gridRow - m_fixedRows; }
    int modelCol(int gridCol) const { return gridCol - m_fixedCols; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Data of the last fixed cell of the last fixed row (shown in the corner), for `role`.
    QVariant cornerData(int role) const;

private:
    QVariant cellData(int row, int col, int role) const;
    void takeDimensions();

    QPointer<FlexGrid> m_grid;
    int m_rowCount = 0;
    int m_colCount = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
};

} // namespace platform::widgets
