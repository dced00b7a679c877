#include "textcompare/window/frm_linquell.h"

#include "common/common_module.h"
#include "common/dialogs/main_window_frame.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/twips.h"
#include "platform/widgets/flex_grid_view.h"
#include "textcompare/window/diff_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>

namespace textcompare {

namespace {

using platform::pixelsToTwips;
using platform::twipsToPixels;

constexpr int StatusBarHeight = 300;
// The path boxes end this far before the right edge, room for the controls behind them as
// designed with code lists 1050 twips wide; code lists widened for their longest code
// name take their extra width from the path boxes.
constexpr int RightOfPaths = 6160;
constexpr int DesignedCodeListWidth = 1050;
// The designed width of the "No." and "行No." columns, wider where their numbers need it.
constexpr int NumberColumnWidth = 600;
// The bar starts below the grid's header row and ends above its bottom border: 10 and
// 50 twips beyond the header's height.
constexpr int BarBelowHeader = 10;
constexpr int BarAboveBottom = 50;
constexpr int PointerDefault = 0;
constexpr int PointerHourglass = 11;
// Pending events run at most this often while a long loop lets them through.
constexpr std::chrono::milliseconds PumpInterval{20};

int twipsOf(int pixels)
{
    return pixelsToTwips(pixels);
}

void moveLeftTwips(QWidget *widget, int left)
{
    widget->move(twipsToPixels(left), widget->y());
}

} // namespace

void Frm_Linquell::Form_Resize()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const int scaleWidth = twipsOf(m_client->width());
        const int scaleHeight = twipsOf(m_client->height());

        const int gridLeft = twipsOf(m_gridView->x());
        if (scaleWidth - gridLeft > 0)
            m_gridView->resize(twipsToPixels(scaleWidth - gridLeft), m_gridView->height());

        layoutTextColumns();

        const int gridTop = twipsOf(m_gridView->y());
        if (scaleHeight - gridTop - StatusBarHeight + 20 > 0)
            m_gridView->resize(m_gridView->width(), twipsToPixels(scaleHeight - gridTop - StatusBarHeight + 20));

        const int header = grid.rowHeight(0) * grid.fixedRows();
        const int barHeight = twipsOf(m_gridView->height()) - header - BarAboveBottom;
        if (barHeight > 0)
            Pic_Diff->setGeometry(Pic_Diff->x(), twipsToPixels(gridTop + header + BarBelowHeader), Pic_Diff->width(),
                                  twipsToPixels(barHeight));

        const int pathLeft = twipsOf(Txt_FilePath[0]->x());
        const int rightOfPaths =
            RightOfPaths + std::max(0, twipsOf(Cmb_FileCode[0]->width()) - DesignedCodeListWidth);
        if (scaleWidth - pathLeft - rightOfPaths > 0) {
            const int pathWidth = scaleWidth - rightOfPaths;
            const int browseLeft = pathLeft + pathWidth + 10;
            const int codeLeft = browseLeft + twipsOf(Btn_InFilePath[0]->width()) + 30;
            for (int side = 0; side < 2; ++side) {
                Txt_FilePath[side]->resize(twipsToPixels(pathWidth), Txt_FilePath[side]->height());
                moveLeftTwips(Btn_InFilePath[side], browseLeft);
                moveLeftTwips(Cmb_FileCode[side], codeLeft);
            }
            const int afterCodes = codeLeft + twipsOf(Cmb_FileCode[0]->width()) + 50;
            moveLeftTwips(Lbl_HanteiLine, afterCodes);
            moveLeftTwips(Cmb_HanteiLine, afterCodes + twipsOf(Lbl_HanteiLine->width()) + 50);
            moveLeftTwips(Lbl_Hanteiline2, twipsOf(Cmb_HanteiLine->x() + Cmb_HanteiLine->width()) + 30);
            moveLeftTwips(Chk_HanteiLine, twipsOf(Lbl_Hanteiline2->x() + Lbl_Hanteiline2->width()) + 30);
            moveLeftTwips(Chk_Nomi, afterCodes);
            moveLeftTwips(Btn_DiffList, afterCodes + twipsOf(Chk_Nomi->width()) + 50);
            moveLeftTwips(Btn_DiffClear, twipsOf(Btn_DiffList->x() + Btn_DiffList->width()) + 50);
        }

        Sts_Message->setGeometry(0, m_client->height() - twipsToPixels(StatusBarHeight), m_client->width(),
                                 twipsToPixels(StatusBarHeight));
        Sts_Message->raise();

        DrawDiffBar();
        Tmr_Resize->start();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Form_Resize"));
    }
}

void Frm_Linquell::layoutTextColumns()
{
    platform::FlexGrid &grid = *Grd_Compare;
    if (grid.cols() <= 5)
        return;
    const double width = (double(twipsOf(m_gridView->width())) - grid.colWidth(0) - grid.colWidth(1)
                          - grid.colWidth(2) - grid.colWidth(5) - 230)
                         / 2;
    if (width > 1000) {
        const int textWidth = int(std::nearbyint(width - 70));
        grid.setColWidth(3, textWidth);
        grid.setColWidth(4, textWidth);
    }
}

void Frm_Linquell::fitNumberColumns(int lastShownRow)
{
    platform::FlexGrid &grid = *Grd_Compare;
    const std::array<std::pair<int, qint64>, 3> largest{{
        {DisplayTable::No, DiffDisplayTable.cell(lastShownRow, DisplayTable::No).toLongLong()},
        {DisplayTable::Line1, LineCount1},
        {DisplayTable::Line2, LineCount2},
    }};
    for (const auto &[col, number] : largest)
        grid.setColWidth(col, std::max(NumberColumnWidth, m_gridView->numberColumnTwips(col, number)));
    layoutTextColumns();
}

void Frm_Linquell::Tmr_Resize_Timer()
{
    Tmr_Resize->stop();
    // An unattended run writes no settings, the placement included.
    if (BatchRun)
        return;
    try {
        common::dialogs::SaveMainWindowPlacement(*this, IniPath);
    } catch (...) {
        // The placement is written again at the next resize or at exit.
    }
}

void Frm_Linquell::LockControls(bool lock)
{
    const bool enabled = !lock;
    QList<QWidget *> controls{Label1[0],      Label1[1],      Txt_FilePath[0],   Txt_FilePath[1],
                              Btn_InFilePath[0], Btn_InFilePath[1], Cmb_FileCode[0], Cmb_FileCode[1],
                              Lbl_HanteiLine, Cmb_HanteiLine, Lbl_Hanteiline2,  Chk_HanteiLine,
                              Chk_Nomi,       Btn_DiffList,   Btn_DiffClear,    m_gridView};
    for (QWidget *control : controls)
        control->setEnabled(enabled);
    for (QMenu *menu : {MenuF, MenuE, MenuT, MenuS, MenuH})
        menu->menuAction()->setEnabled(enabled);
    MousePointer = lock ? PointerHourglass : PointerDefault;
    if (lock)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

std::array<int, 4> Frm_Linquell::GetSelection() const
{
    return Grd_Compare->orderedSelection();
}

double Frm_Linquell::barUnitsPerRow() const
{
    const platform::FlexGrid &grid = *Grd_Compare;
    return BarUnitsPerRow(Pic_Diff->scaleHeight(), grid.rows() - grid.fixedRows());
}

void Frm_Linquell::DrawDiffBar()
{
    Pic_Diff->setBoxes(PaintedBoxes(m_barRuns, Grd_Compare->fixedRows(), barUnitsPerRow()));
    Grd_Compare_Scroll();
    Grd_Compare_RowColChange();
}

void Frm_Linquell::Pic_Diff_MouseDown(int, int, int, int Y)
{
    platform::FlexGrid &grid = *Grd_Compare;
    if (grid.textMatrix(grid.fixedRows(), 0).isEmpty())
        return;
    const double unitsPerRow = barUnitsPerRow();
    if (unitsPerRow > 0) {
        const int row = BarRowAt(Y, grid.fixedRows(), unitsPerRow);
        // A row below the last one changes nothing: both setters refuse it.
        grid.setTopRow(row);
        grid.setRow(row);
    }
    m_gridView->setFocus();
}

void Frm_Linquell::Grd_Compare_Scroll()
{
    const platform::FlexGrid &grid = *Grd_Compare;
    if (grid.textMatrix(grid.fixedRows(), 0).isEmpty())
        return;
    const int rowHeight = std::max(1, twipsToPixels(grid.rowHeight(0)));
    const int lastVisible = LastVisibleRow(m_gridView->height(), rowHeight, grid.topRow(), grid.fixedRows());
    Pic_Diff->placeMarker(0, ViewMarker(grid.topRow(), lastVisible, grid.rows(), grid.fixedRows(), barUnitsPerRow(),
                                        Pic_Diff->scaleHeight()));
}

void Frm_Linquell::Grd_Compare_RowColChange()
{
    Grd_Compare_SelChange();
    const platform::FlexGrid &grid = *Grd_Compare;
    if (!grid.redraw() || grid.textMatrix(grid.fixedRows(), 0).isEmpty())
        return;
    Pic_Diff->placeMarker(1, RowMarker(grid.row(), grid.rows(), grid.fixedRows(), barUnitsPerRow(),
                                       Pic_Diff->scaleHeight()));
}

void Frm_Linquell::pumpEvents()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < PumpInterval)
        return;
    m_lastPump = now;
    QCoreApplication::processEvents();
}

} // namespace textcompare
