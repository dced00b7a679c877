#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/ftp_password_handover.h"
#include "common/saved_error.h"
#include "foldercompare/listing/folder_services.h"
#include "foldercompare/listing/result_rows.h"
#include "platform/flex_grid.h"
#include "platform/process_starter.h"
#include "platform/widgets/flex_grid_view.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>

#include <cmath>

namespace foldercompare {

using listing::ResultColumn::Path;
using listing::ResultColumn::Side1;

namespace {

constexpr int PointerDefault = 0;
constexpr int PointerHourglass = 11;
constexpr int KeyEnter = 13;
constexpr int RightButton = 2;

bool isFtpBox(const QString &text)
{
    return text.startsWith(QLatin1String("ftp://"));
}

} // namespace

bool Frm_Main::startOrFail(const QString &program, const QStringList &arguments)
{
    if (const QString refusal = platform::siblingStartRefusal(program); !refusal.isEmpty()) {
        common::ShowMsg(refusal);
        return false;
    }
    if (!platform::processStarter().startDetached(program, arguments))
        throw common::Failure(53, QCoreApplication::applicationName(),
                              QStringLiteral("プログラムを起動できません。 ") + program);
    return true;
}

void Frm_Main::startWithoutFtpPasswords(const QString &program, const std::array<QString, 2> &paths)
{
    QString handOver;
    const QStringList arguments = common::ArgumentsWithoutFtpPasswords(paths, {}, handOver);
    // The started program removes the file once it read it; one that did not start cannot.
    auto removeHandOver = qScopeGuard([&handOver] {
        if (!handOver.isEmpty())
            QFile::remove(handOver);
    });
    if (startOrFail(program, arguments))
        removeHandOver.dismiss();
}

void Frm_Main::LockControls(bool lock)
{
    const bool enabled = !lock;
    QList<QWidget *> controls;
    for (int side = 0; side < 2; ++side)
        controls << Label1[side];
    for (int side = 0; side < 2; ++side)
        controls << Label2[side];
    for (int side = 0; side < 2; ++side)
        controls << Label3[side];
    for (int side = 0; side < 2; ++side)
        controls << Txt_FolderPath[side];
    for (int side = 0; side < 2; ++side)
        controls << Btn_InFolderName[side];
    for (int side = 0; side < 2; ++side)
        controls << Btn_GetFileInfo[side];
    controls << Btn_GetFileInfoAll;
    for (int side = 0; side < 2; ++side)
        controls << Txt_FileInfoDate[side];
    for (int side = 0; side < 2; ++side)
        controls << Txt_Ext[side];
    if (lock)
        controls << Chk_Folder << Chk_Data << Chk_Nomi << Btn_Compare;
    else
        controls << Chk_Folder << Btn_Compare << Chk_Data << Chk_Nomi;
    for (QWidget *control : controls)
        if (control)
            control->setEnabled(enabled);
    for (QMenu *menu : {MenuF, MenuE, MenuT, MenuS, MenuH})
        if (menu)
            menu->menuAction()->setEnabled(enabled);
    MousePointer = lock ? PointerHourglass : PointerDefault;
    if (lock)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

std::array<int, 4> Frm_Main::GetSelection() const
{
    return Grd_Compare->orderedSelection();
}

void Frm_Main::Grd_Compare_RowColChange()
{
    Grd_Compare_SelChange();
}

void Frm_Main::Grd_Compare_SelChange()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const std::array<int, 4> selection = GetSelection();
        disableRowCommands();
        RecyclerBackup->setEnabled(true);
        auto enable = [](RowCommand &command) {
            command.menu->setEnabled(true);
            command.popup->setEnabled(true);
        };
        if (grid.textMatrix(grid.fixedRows(), listing::ResultColumn::Number).isEmpty())
            return;
        enable(ColSortAsc);
        enable(ColSortDsc);
        const bool fileRow = !grid.textMatrix(grid.row(), Path).endsWith(u'/');
        if (selection[0] == selection[2] && selection[1] == selection[3]) {
            enable(Properties);
            if (fileRow)
                enable(OpenText);
            enable(OpenExt);
        }
        if (grid.rowSel() == grid.row() && SideRoot[0] != SideRoot[1] && fileRow)
            enable(Linquell);
        // Linux names are case-sensitive: roots differing only in letter case are two folders.
        if (SideRoot[0] == SideRoot[1])
            return;
        struct SideCommands
        {
            RowCommand &copy, &remove, &code, &date, &clipboard;
        };
        SideCommands commands[2] = {{CopyOldToNew, DeleteOld, CodeChgOld, DateChgOld, ClipBoardFOld},
                                    {CopyNewToOld, DeleteNew, CodeChgNew, DateChgNew, ClipBoardFNew}};
        for (int side = 0; side < 2; ++side) {
            const int other = 1 - side;
            const QFileInfo root(SideRoot[side]);
            const bool folderRoot = root.isDir();
            if (!folderRoot && !root.isFile())
                continue;
            const bool otherIsFile = QFileInfo(SideRoot[other]).isFile();
            const bool ftp = isFtpBox(Txt_FolderPath[side]->text());
            for (int row = selection[0]; row <= selection[2]; ++row) {
                if (grid.textMatrix(row, Side1 + side).isEmpty())
                    continue;
                if (!folderRoot || !otherIsFile || !grid.textMatrix(row, Side1 + other).isEmpty())
                    enable(commands[side].copy);
                if (folderRoot)
                    enable(commands[side].remove);
                enable(commands[side].code);
                if (!ftp)
                    enable(commands[side].date);
                enable(commands[side].clipboard);
            }
        }
    } catch (...) {
        common::SaveErr();
        grid.setRedraw(true);
        common::ReportSavedErr(QStringLiteral("Grd_Compare_SelChange"));
    }
}

void Frm_Main::Grd_Compare_MouseDown(int button, int, int, int)
{
    if (button != RightButton)
        return;
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const std::array<int, 4> selection = GetSelection();
        const int row = grid.mouseRow();
        const int col = grid.mouseCol();
        if (col >= selection[1] && col <= selection[3] && row >= selection[0] && row <= selection[2])
            return;
        if (col == 0 || row < grid.fixedRows())
            return;
        grid.setRow(row);
        grid.setCol(col);
    } catch (...) {
        common::SaveErr();
        grid.setRedraw(true);
        common::ReportSavedErr(QStringLiteral("Grd_Compare_MouseDown"));
    }
}

void Frm_Main::Grd_Compare_MouseUp(int button, int, int, int)
{
    if (button != RightButton || MousePointer != PointerDefault)
        return;
    PopUp->popup(QCursor::pos());
}

void Frm_Main::Grd_Compare_KeyDown(int keyCode, int)
{
    if (keyCode == KeyEnter && MousePointer == PointerDefault)
        Grd_Compare_DblClick();
}

void Frm_Main::Grd_Compare_DblClick()
{
    if (BusyFlag || SideRoot[0] == SideRoot[1])
        return;
    try {
        const platform::FlexGrid &grid = *Grd_Compare;
        const QString relative = grid.textMatrix(grid.row(), Path);
        if (!relative.endsWith(u'/')) {
            Linquell_Click();
            return;
        }
        std::array<QString, 2> paths;
        for (int side = 0; side < 2; ++side)
            if (!grid.textMatrix(grid.row(), Side1 + side).isEmpty())
                paths[side] = listing::RowEntryPath(SideRoot[side], Txt_FolderPath[side]->text(), relative);
        for (int side = 0; side < 2; ++side) {
            if (!Txt_FolderPath[side]->text().startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
                continue;
            const QString target = HandOverFolder + u'/' + QString::number(side) + QStringLiteral(".ftp");
            QString source = FtpCacheFolder[side] + u'/' + relative;
            source.chop(1);
            listing::DeleteFolderIfExists(target);
            bool created = false;
            listing::CreateFolder(target, 0, created);
            if (QFileInfo(source).isDir())
                listing::CopyFolderContents(source, target);
        }
        QCoreApplication::processEvents();
        startWithoutFtpPasswords(OwnExePath, paths);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Grd_Compare_DblClick"));
    }
}

void Frm_Main::Grd_Compare_MouseMove(int, int, int, int y)
{
    if (BusyFlag)
        return;
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const int col = grid.mouseCol();
        const int row = grid.mouseRow();
        if (row < 0 || row >= grid.rows())
            return;
        if (col == Side1 || col == Side1 + 1) {
            const int index = grid.rowData(row);
            const int side = col - Side1;
            grid.setToolTipText(index >= 0 && index < RowTipTable.size() ? RowTipTable[index][side] : QString());
            return;
        }
        if (col >= 0 && col < grid.cols() && y < grid.rows() * grid.rowHeight(0)) {
            const QString text = grid.textMatrix(row, col);
            const int needed = int(std::lround(double(QFontMetrics(font()).horizontalAdvance(text + u' '))
                                               * platform::TwipsPerPixel));
            grid.setToolTipText(grid.colWidth(col) < needed ? text : QString());
        } else {
            grid.setToolTipText(QString());
        }
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Grd_Compare_MouseMove"));
    }
}

void Frm_Main::sortByColumn(bool descending, const QString &procedure)
{
    platform::FlexGrid &grid = *Grd_Compare;
    if (grid.rows() - grid.fixedRows() <= 0)
        return;
    try {
        LockControls(true);
        grid.setRedraw(false);
        listing::SortResultRows(grid, grid.col(), descending, statusColors(), [this] { pumpEvents(); });
        grid.setRedraw(true);
        LockControls(false);
    } catch (...) {
        common::SaveErr();
        grid.setRedraw(true);
        LockControls(false);
        common::ReportSavedErr(procedure);
    }
}

void Frm_Main::ColSortAsc_Click()
{
    sortByColumn(false, QStringLiteral("ColSortAsc_Click"));
}

void Frm_Main::ColSortDsc_Click()
{
    sortByColumn(true, QStringLiteral("ColSortDsc_Click"));
}

void Frm_Main::Linquell_Click()
{
    try {
        const platform::FlexGrid &grid = *Grd_Compare;
        if (SideRoot[0] == SideRoot[1]) {
            common::ShowMsg(QStringLiteral("同一フォルダの時間差比較時は差分表示できません　"));
            return;
        }
        if (grid.textMatrix(1, listing::ResultColumn::Number).isEmpty()) {
            common::ShowMsg(QStringLiteral("比較リストが表示されていません　"));
            return;
        }
        if (grid.row() < 1) {
            common::ShowMsg(QStringLiteral("差分表示する行を選択してください　"));
            return;
        }
        if (!QFileInfo(ViewerExePath).isFile()) {
            common::ShowMsg(QStringLiteral("テキスト差分表示ツールが存在しません　\r\n\r\n") + ViewerExePath);
            return;
        }
        std::array<QString, 2> paths;
        const QString relative = grid.textMatrix(grid.row(), Path);
        for (int side = 0; side < 2; ++side)
            if (!grid.textMatrix(grid.row(), Side1 + side).isEmpty())
                paths[side] = listing::RowEntryPath(SideRoot[side], Txt_FolderPath[side]->text(), relative);
        startWithoutFtpPasswords(ViewerExePath, paths);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Linquell_Click"));
    }
}

} // namespace foldercompare
