#pragma once

#include "platform/flex_grid.h"
#include "textcompare/engine/display_table.h"

#include <QString>

#include <optional>

namespace textcompare {

// What the grid shows for a TAB, a space and an ideographic space while blanks are made
// visible ([DSP] DspSpTab, DspSpHsp, DspSpZsp).
struct BlankMarks
{
    QString tab;
    QString space;
    QString ideographicSpace;
};

// A line text as the grid shows it. Without marks every TAB becomes one space. With marks
// every TAB becomes marks.tab, then every space marks.space, then every ideographic space
// marks.ideographicSpace, in this order.
QString ShownLineText(QString text, const std::optional<BlankMarks> &marks);

// The rows of the viewer's grid as a view over a display table: grid row k shows table
// row k. Columns 0 to 5 show the table's columns 0 to 5, the line texts as
// ShownLineText() shows them; columns 1 to 5 take the row colour (column 6) as their
// background, and the line numbers (columns 2 and 5) the band colour (column 7) as their
// text colour, a black colour (0) as platform::FlexBlack. The table is shared, not copied.
class DiffGridRows final : public platform::FlexRowProvider
{
public:
    DiffGridRows(DisplayTable table, std::optional<BlankMarks> marks);

    QString text(int row, int col) const override;
    quint32 backColor(int row, int col) const override;
    quint32 foreColor(int row, int col) const override;

private:
    DisplayTable m_table;
    std::optional<BlankMarks> m_marks;
};

} // namespace textcompare
