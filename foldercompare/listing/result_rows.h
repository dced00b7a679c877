#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>

namespace platform {
class FlexGrid;
} // namespace platform

namespace foldercompare::listing {

// Status texts of the result rows (column 1).
namespace StatusText {
inline const QString Date = QStringLiteral("日時");
inline const QString Changed = QStringLiteral("変更");
inline const QString Added = QStringLiteral("追加");
inline const QString Deleted = QStringLiteral("削除");
} // namespace StatusText

// Columns of the result grid.
namespace ResultColumn {
inline constexpr int Number = 0;
inline constexpr int Status = 1;
inline constexpr int Side1 = 2;
inline constexpr int Side2 = 3;
inline constexpr int Path = 4;
} // namespace ResultColumn

// Tooltip texts of the result rows: for each row data index the text of side 1 and of
// side 2; an empty text means the entry is missing on that side. Entry 0 belongs to the
// header.
using RowTipTable = QList<std::array<QString, 2>>;

// The four status colours, blue-green-red values; 0 means no colour of its own.
struct StatusColors
{
    quint32 changed = 0xFFFFBB;
    quint32 added = 0xBBBBFF;
    quint32 deleted = 0xDDDDDD;
    quint32 date = 0x88FFFF;

    // The colour of a row by its status text: "追加", "削除" and "変更" their own, any
    // other non-empty text the date colour, an empty text 0.
    quint32 forStatus(QStringView status) const;
};

// True for the statuses that count as a difference: "変更", "追加" and "削除".
bool IsDifferenceStatus(QStringView status);

// Consecutive rows of one colour, painted as one range over columns 1 to 4. The first
// run has colour 0 and starts at the header row.
class ColourRun
{
public:
    // Whether runs of colour 0 are painted: rows that may still hold an old colour need
    // it, rows that were just reset do not.
    enum UncolouredRuns { PaintUncoloured, SkipUncoloured };

    explicit ColourRun(platform::FlexGrid &grid, UncolouredRuns uncoloured = PaintUncoloured);

    // Adds `row`, the row after the open run: the run grows when `color` is its colour;
    // otherwise the open run is painted and a new one starts at `row`.
    void add(int row, quint32 color);
    // Paints the open run, which stays open: a later paint covers the rows added since.
    void paint();

private:
    platform::FlexGrid &m_grid;
    const bool m_paintUncoloured;
    quint32 m_color = 0;
    int m_first = 0;
    int m_last = 0;
};

// Paints columns 1 to 4 of every data row with the colour of its status text, one range
// per run of equal colour (the header row starts a run of colour 0). `perRow` runs once
// per data row.
void PaintRowsByStatus(platform::FlexGrid &grid, const StatusColors &colors, const std::function<void()> &perRow);

// Re-orders the data rows by the texts of `column` (1 to 4) as CompareItem orders them,
// the relative path deciding between equal texts; descending reads that order backwards.
// The row data (the tooltip index) and the texts of columns 1 to 4 travel with each row;
// column 0 keeps its running numbers. The rows are recoloured by status, the list is
// scrolled to its first data row and the current cell becomes (first data row, column).
// `perRow` runs once per row in each pass. Does nothing without data rows.
void SortResultRows(platform::FlexGrid &grid, int column, bool descending, const StatusColors &colors,
                    const std::function<void()> &perRow);

// The path of one side's entry of a result row, for the viewer or a further window:
// the side's root itself when the row has no relative path (two single files); else the
// root's folder (a file root's parent) followed by the relative path. For a side whose
// path box text begins with "ftp://" it is the box text and the relative path joined
// into an address with single slashes after the scheme (a folder keeps its trailing
// "/"); a local folder loses its trailing "/".
QString RowEntryPath(const QString &sideRoot, const QString &pathBoxText, const QString &relativePath);

} // namespace foldercompare::listing
