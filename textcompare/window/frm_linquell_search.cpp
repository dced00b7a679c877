#include "textcompare/window/frm_linquell.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"
#include "textcompare/window/diff_navigation.h"
#include "textcompare/window/frm_search.h"

namespace textcompare {

namespace {

// Makes `row` the current row, bringing it to the top when it is out of sight.
void jumpTo(platform::FlexGrid &grid, int row)
{
    grid.setRow(row);
    if (!grid.rowIsVisible(row))
        grid.setTopRow(row);
}

NavigationRows gridRows(const platform::FlexGrid &grid)
{
    return [&grid](int row) {
        return NavigationRow{!grid.textMatrix(row, DisplayTable::State).isEmpty(),
                             grid.textMatrix(row, DisplayTable::Line1).toInt(),
                             grid.textMatrix(row, DisplayTable::Line2).toInt()};
    };
}

} // namespace

void Frm_Linquell::JumpNext_Click()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const int target = NextDifferenceRow(grid.row(), grid.fixedRows(), grid.rows() - 1, gridRows(grid));
        if (target >= 0)
            jumpTo(grid, target);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("JumpNext_Click"));
    }
}

void Frm_Linquell::JumpBefore_Click()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const int target = PreviousDifferenceRow(grid.row(), grid.fixedRows(), grid.rows() - 1, gridRows(grid));
        if (target >= 0)
            jumpTo(grid, target);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("JumpBefore_Click"));
    }
}

void Frm_Linquell::SearchText_Click()
{
    try {
        {
            Frm_Search dialog(SearchStr, SearchDownFlag, SearchUpFlag, this);
            showModal(dialog);
        }
        if (SearchDownFlag)
            GridSearchNext(1);
        else if (SearchUpFlag)
            GridSearchBefore(1);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SearchText_Click"));
    }
}

void Frm_Linquell::SearchNext_Click()
{
    GridSearchNext(1);
}

void Frm_Linquell::SearchBefore_Click()
{
    GridSearchBefore(1);
}

namespace {

// The text columns of `row` that contain `text`, letter case aside: first and last
// column, or nothing.
std::optional<std::pair<int, int>> textHit(const platform::FlexGrid &grid, int row, const QString &text)
{
    const bool hit1 = grid.textMatrix(row, DisplayTable::Text1).contains(text, Qt::CaseInsensitive);
    const bool hit2 = grid.textMatrix(row, DisplayTable::Text2).contains(text, Qt::CaseInsensitive);
    if (!hit1 && !hit2)
        return std::nullopt;
    return std::pair{hit1 ? int(DisplayTable::Text1) : int(DisplayTable::Text2),
                     hit2 ? int(DisplayTable::Text2) : int(DisplayTable::Text1)};
}

} // namespace

void Frm_Linquell::GridSearchNext(int step)
{
    searchGrid(step, true, QStringLiteral("GridSearchNext"));
}

void Frm_Linquell::GridSearchBefore(int step)
{
    searchGrid(step, false, QStringLiteral("GridSearchBefore"));
}

void Frm_Linquell::searchGrid(int step, bool downward, const QString &procedure)
{
    try {
        const platform::FlexGrid &grid = *Grd_Compare;
        if (grid.textMatrix(grid.fixedRows(), 0).isEmpty() || SearchStr.isEmpty())
            return;
        const int hit = SearchRow(grid.row(), step, grid.fixedRows(), grid.rows() - 1, downward, [&](int row) {
            pumpEvents();
            return textHit(grid, row, SearchStr).has_value();
        });
        if (hit < 0) {
            platform::dialogs().messageBox(QStringLiteral("検索文字列が見つかりませんでした。"),
                                           platform::MessageStyle::OkOnly, QString());
            return;
        }
        const auto [first, last] = *textHit(grid, hit, SearchStr);
        GridSearchForcus(hit, first, last);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(procedure);
    }
}

void Frm_Linquell::GridSearchForcus(int row, int firstCol, int lastCol)
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        grid.setSelection(row, firstCol, row, lastCol);
        if (!grid.rowIsVisible(row))
            grid.setTopRow(row);
        grid.setRedraw(true);
        LockControls(false);
        m_gridView->setFocus();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("GridSearchForcus"));
    }
}

} // namespace textcompare
