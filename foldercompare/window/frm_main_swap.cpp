#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "foldercompare/listing/folder_services.h"
#include "foldercompare/listing/result_rows.h"
#include "platform/flex_grid.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

namespace foldercompare {

using listing::ResultColumn::Side1;
using listing::ResultColumn::Side2;
using listing::ResultColumn::Status;

namespace {

bool entryExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

void removeEntry(const QString &path)
{
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
        listing::DeleteFolderIfExists(path);
    else
        QFile::remove(path);
}

void moveEntry(const QString &from, const QString &to)
{
    if (!entryExists(from))
        return;
    if (!QDir().rename(from, to))
        throw common::Failure(75, QCoreApplication::applicationName(),
                              QStringLiteral("名前を変更できません。 ") + from + QStringLiteral(" → ") + to);
}

// Exchanges the files or folders `first` and `second` through the free name `temporary`
// beside them. A side that has none leaves the other side without one.
void exchangeEntries(const QString &first, const QString &second, const QString &temporary)
{
    // A leftover of an interrupted exchange must not end up as one side's entry.
    if (entryExists(temporary))
        removeEntry(temporary);
    moveEntry(first, temporary);
    moveEntry(second, first);
    moveEntry(temporary, second);
    if (entryExists(temporary))
        removeEntry(temporary);
}

// The status-bar panel of each side names its folder ("フォルダ1件数:12"): `text` of the
// panel of side `from`, named for side `to`.
QString statusForSide(const QString &text, int from, int to)
{
    const QString fromName = QStringLiteral("フォルダ") + QString::number(from + 1);
    if (!text.startsWith(fromName))
        return text;
    return QStringLiteral("フォルダ") + QString::number(to + 1) + text.mid(fromName.size());
}

} // namespace

void Frm_Main::Change1To2_Click()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        LockControls(true);
        grid.setRedraw(false);
        const int row = grid.row();
        const int col = grid.col();

        // The listings with their ".bak" copies, which the change rule restores from by
        // side, and the FTP mirrors.
        const QString fileTemporary = QFileInfo(FileInfoLog[0]).absolutePath() + QStringLiteral("/dummy.fil");
        exchangeEntries(FileInfoLog[0], FileInfoLog[1], fileTemporary);
        exchangeEntries(FileInfoLog[0] + QStringLiteral(".bak"), FileInfoLog[1] + QStringLiteral(".bak"), fileTemporary);
        const QString folderTemporary = QFileInfo(FtpCacheFolder[0]).absolutePath() + QStringLiteral("/dummy.fol");
        exchangeEntries(FtpCacheFolder[0], FtpCacheFolder[1], folderTemporary);

        std::swap(GatheredPath[0], GatheredPath[1]);
        std::swap(SideRoot[0], SideRoot[1]);
        for (int side = 0; side < 2; ++side)
            if (GatheredPath[side].startsWith(QStringLiteral("ftp://")))
                SideRoot[side] = sideRootFor(side);
        std::swap(m_gathered[0], m_gathered[1]);
        // Each side's comparison goes with it: the file operations check a row's entry
        // against what the comparison showed on the side that now holds it.
        std::swap(ComparedSides[0], ComparedSides[1]);
        // FTP file names are sent in the code chosen for the side that now holds the address.
        std::swap(SideFileNameCode[0], SideFileNameCode[1]);

        const QString date0 = Txt_FileInfoDate[0]->text();
        Txt_FileInfoDate[0]->setText(Txt_FileInfoDate[1]->text());
        Txt_FileInfoDate[1]->setText(date0);

        // Each side's count and gathering time (panels 1 and 2) go with the side.
        const std::array<QString, 2> statusTexts = {statusText(1), statusText(2)};
        const std::array<QString, 2> statusTips = {statusTip(1), statusTip(2)};
        for (int side = 0; side < 2; ++side) {
            setStatus(side + 1, statusForSide(statusTexts[1 - side], 1 - side, side));
            setStatusTip(side + 1, statusForSide(statusTips[1 - side], 1 - side, side));
        }

        InputEventsOn = false;
        const QString path0 = Txt_FolderPath[0]->text();
        Txt_FolderPath[0]->setText(Txt_FolderPath[1]->text());
        Txt_FolderPath[1]->setText(path0);
        InputEventsOn = true;

        grid.setColPosition(Side1, Side2);
        const QString header = grid.textMatrix(0, Side1);
        grid.setTextMatrix(0, Side1, grid.textMatrix(0, Side2));
        grid.setTextMatrix(0, Side2, header);

        for (std::array<QString, 2> &tips : RowTipTable)
            std::swap(tips[0], tips[1]);

        for (int data = grid.fixedRows(); data < grid.rows(); ++data) {
            const QString status = grid.textMatrix(data, Status);
            if (status == listing::StatusText::Added)
                grid.setTextMatrix(data, Status, listing::StatusText::Deleted);
            else if (status == listing::StatusText::Deleted)
                grid.setTextMatrix(data, Status, listing::StatusText::Added);
        }
        listing::PaintRowsByStatus(grid, statusColors(), [] {});

        grid.setRow(row);
        grid.setCol(col);
        grid.setRedraw(true);
        LockControls(false);
        // The row commands depend on which side holds each row's entry.
        Grd_Compare_SelChange();
    } catch (...) {
        common::SaveErr();
        InputEventsOn = true;
        grid.setRedraw(true);
        LockControls(false);
        common::ReportSavedErr(QStringLiteral("Change1To2_Click"));
    }
}

namespace {

// Makes `row` the current row when it shows a status, scrolling it to the top when it
// is out of sight.
void jumpTo(platform::FlexGrid &grid, int row)
{
    if (grid.textMatrix(row, Status).isEmpty())
        return;
    grid.setRow(row);
    if (!grid.rowIsVisible(row))
        grid.setTopRow(row);
}

} // namespace

void Frm_Main::JumpNext_Click()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const int first = grid.fixedRows();
        const int last = grid.rows() - 1;
        auto search = [&grid](int from, int to) {
            for (int row = from; row <= to; ++row)
                if (!grid.textMatrix(row, Status).isEmpty())
                    return row;
            return -1;
        };
        int target = search(grid.row() + 1, last);
        if (target < 0)
            target = search(first, last);
        if (target < 0)
            target = first;
        jumpTo(grid, target);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("JumpNext_Click"));
    }
}

void Frm_Main::JumpBefore_Click()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const int first = grid.fixedRows();
        const int last = grid.rows() - 1;
        auto search = [&grid](int from, int to) {
            for (int row = from; row >= to; --row)
                if (!grid.textMatrix(row, Status).isEmpty())
                    return row;
            return -1;
        };
        int target = search(grid.row() - 1, first);
        if (target < 0)
            target = search(last, first);
        if (target < 0)
            target = last;
        jumpTo(grid, target);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("JumpBefore_Click"));
    }
}

} // namespace foldercompare
