#include "platform/widgets/flex_grid_model.h"

#include "platform/widgets/bgr_qcolor.h"

#include <QBrush>
#include <QColor>

namespace platform::widgets {

namespace {

Qt::Alignment alignmentFlags(int code, const QString &text)
{
    if (code == FlexAlign::General) {
        bool number = false;
        text.toDouble(&number);
        return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
    static constexpr Qt::AlignmentFlag horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static constexpr Qt::AlignmentFlag vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    return horizontal[code / 3] | vertical[code % 3];
}

} // namespace

FlexGridModel::FlexGridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void FlexGridModel::setGrid(FlexGrid *grid)
{
    beginResetModel();
    m_grid = grid;
    takeDimensions();
    endResetModel();
}

void FlexGridModel::takeDimensions()
{
    if (!m_grid) {
        m_rowCount = m_colCount = m_fixedRows = m_fixedCols = 0;
        return;
    }
    m_fixedRows = m_grid->fixedRows();
    m_fixedCols = m_grid->fixedCols();
    m_rowCount = m_grid->rows() - m_fixedRows;
    m_colCount = m_grid->cols() - m_fixedCols;
}

void FlexGridModel::apply(const FlexGridChange &change)
{
    if (!m_grid)
        return;
    const bool sameShape = m_grid->fixedRows() == m_fixedRows && m_grid->fixedCols() == m_fixedCols
                           && m_grid->cols() - m_fixedCols == m_colCount;
    if (!sameShape) {
        beginResetModel();
        takeDimensions();
        endResetModel();
        return;
    }
    const int rowCount = m_grid->rows() - m_fixedRows;
    if (rowCount > m_rowCount) {
        beginInsertRows(QModelIndex(), m_rowCount, rowCount - 1);
        m_rowCount = rowCount;
        endInsertRows();
    } else if (rowCount < m_rowCount) {
        beginRemoveRows(QModelIndex(), rowCount, m_rowCount - 1);
        m_rowCount = rowCount;
        endRemoveRows();
    }
    // Only changed rows are announced, so that filling rows below the visible ones
    // repaints nothing. Their fixed cells are not announced as header data, which would
    // lay the whole view out again: the view repaints the fixed cells of changed rows.
    const int firstChanged = change.layout ? 0 : change.firstRow;
    const int lastChanged = change.layout ? m_grid->rows() - 1 : change.lastRow;
    if (firstChanged < 0)
        return;
    if (firstChanged < m_fixedRows && m_colCount > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_colCount - 1);
    const int first = std::max(0, modelRow(firstChanged));
    const int last = std::min(m_rowCount - 1, modelRow(lastChanged));
    if (first > last)
        return;
    if (m_colCount > 0)
        Q_EMIT dataChanged(index(first, 0), index(last, m_colCount - 1));
}

int FlexGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int FlexGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_colCount;
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant FlexGridModel::cellData(int row, int col, int role) const
{
    if (!m_grid || row >= m_grid->rows() || col >= m_grid->cols())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_grid->textMatrix(row, col);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentFlags(m_grid->effectiveAlignment(row, col), m_grid->textMatrix(row, col)));
    case Qt::BackgroundRole:
        if (const quint32 color = m_grid->backColorAt(row, col))
            return QBrush(colorFromBgr(color));
        return {};
    case Qt::ForegroundRole:
        if (const quint32 color = m_grid->foreColorAt(row, col))
            return QBrush(colorFromBgr(color));
        return {};
    default:
        return {};
    }
}

QVariant FlexGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    return cellData(gridRow(index.row()), gridCol(index.column()), role);
}

QVariant FlexGridModel::cornerData(int role) const
{
    if (m_fixedRows == 0 || m_fixedCols == 0)
        return {};
    return cellData(m_fixedRows - 1, m_fixedCols - 1, role);
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A header shows the fixed cells of its column (or row); with several fixed rows their
    // texts stand one below the other, several fixed columns side by side.
    const bool horizontal = orientation == Qt::Horizontal;
    const int fixedCount = horizontal ? m_fixedRows : m_fixedCols;
    if (fixedCount == 0)
        return {};
    const int gridIndex = horizontal ? gridCol(section) : gridRow(section);
    auto cell = [&](int fixed, int cellRole) {
        return horizontal ? cellData(fixed, gridIndex, cellRole) : cellData(gridIndex, fixed, cellRole);
    };
    if (role != Qt::DisplayRole)
        return cell(fixedCount - 1, role);
    QStringList texts;
    for (int fixed = 0; fixed < fixedCount; ++fixed)
        texts.append(cell(fixed, Qt::DisplayRole).toString());
    return texts.join(horizontal ? QStringLiteral("\n") : QStringLiteral("  "));
}

} // namespace platform::widgets
