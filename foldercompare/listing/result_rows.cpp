#include "foldercompare/listing/result_rows.h"

#include "foldercompare/listing/compare_item.h"
#include "platform/flex_grid.h"

#include <QFileInfo>
#include <QStringList>

namespace foldercompare::listing {

quint32 StatusColors::forStatus(QStringView status) const
{
    if (status.isEmpty())
        return 0;
    if (status == StatusText::Added)
        return added;
    if (status == StatusText::Deleted)
        return deleted;
    if (status == StatusText::Changed)
        return changed;
    return date;
}

bool IsDifferenceStatus(QStringView status)
{
    return status == StatusText::Changed || status == StatusText::Added || status == StatusText::Deleted;
}

ColourRun::ColourRun(platform::FlexGrid &grid, UncolouredRuns uncoloured)
    : m_grid(grid)
    , m_paintUncoloured(uncoloured == PaintUncoloured)
{
}

void ColourRun::add(int row, quint32 color)
{
    if (color == m_color) {
        m_last = row;
        return;
    }
    paint();
    m_color = color;
    m_first = m_last = row;
}

void ColourRun::paint()
{
    if (m_color != 0 || m_paintUncoloured)
        m_grid.setRangeBackColor(m_first, ResultColumn::Status, m_last, ResultColumn::Path, m_color);
}

void PaintRowsByStatus(platform::FlexGrid &grid, const StatusColors &colors, const std::function<void()> &perRow)
{
    ColourRun run(grid);
    for (int row = grid.fixedRows(); row < grid.rows(); ++row) {
        run.add(row, colors.forStatus(grid.textMatrix(row, ResultColumn::Status)));
        perRow();
    }
    run.paint();
}

void SortResultRows(platform::FlexGrid &grid, int column, bool descending, const StatusColors &colors,
                    const std::function<void()> &perRow)
{
    const int first = grid.fixedRows();
    const int count = grid.rows() - first;
    if (count <= 0)
        return;
    QStringList records;
    records.reserve(count);
    for (int row = first; row < grid.rows(); ++row) {
        QString record = QString::number(grid.rowData(row)) + u'\t';
        for (int col = ResultColumn::Status; col <= ResultColumn::Path; ++col)
            record += grid.textMatrix(row, col) + u'\t';
        records.append(record);
        perRow();
    }
    QuickSort(records, 0, count - 1, column, ResultColumn::Path);

    ColourRun run(grid);
    for (int i = 0; i < count; ++i) {
        const QString &record = records.at(descending ? count - 1 - i : i);
        const QStringList pieces = record.split(u'\t');
        const int row = first + i;
        grid.setRowData(row, pieces.at(0).toInt());
        grid.setRowTexts(row, pieces.mid(ResultColumn::Status, 4), ResultColumn::Status);
        run.add(row, colors.forStatus(pieces.at(ResultColumn::Status)));
        perRow();
    }
    run.paint();
    grid.setTopRow(first);
    grid.setCurrentCell(first, column);
}

QString RowEntryPath(const QString &sideRoot, const QString &pathBoxText, const QString &relativePath)
{
    if (relativePath.isEmpty())
        return sideRoot;
    const QLatin1String ftpScheme("ftp://");
    if (pathBoxText.startsWith(ftpScheme)) {
        // Only the part after the scheme is tidied, so a name that holds ":" keeps its "/".
        QString address = pathBoxText.mid(ftpScheme.size()) + u'/' + relativePath;
        while (address.contains(QLatin1String("//")))
            address.replace(QLatin1String("//"), QLatin1String("/"));
        return ftpScheme + address;
    }
    QString base = sideRoot;
    const QFileInfo root(base);
    if (root.isFile())
        base = root.path();
    if (base.endsWith(u'/'))
        base.chop(1);
    QString path = base + u'/' + relativePath;
    if (path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace foldercompare::listing
