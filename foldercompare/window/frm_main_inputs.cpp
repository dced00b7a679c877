#include "foldercompare/window/frm_main.h"

#include "common/browse_for_folder.h"
#include "common/common_module.h"
#include "common/saved_error.h"
#include "foldercompare/listing/ftp_side.h"
#include "platform/user_dialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

namespace foldercompare {

namespace {

const QString BusyText = QStringLiteral("処理中(ESCで中止)");
const QString ListAgainQuestion = QStringLiteral("取得済みの情報でファイル一覧を表示しますか？　　");

constexpr int KeyEnter = 13;

// Puts the copy `backup` in place of `listing` with the copy's modification time, so that
// the listing time shown is the time of the gathering. Failures are passed over: without
// a copy the side simply has no listing.
void restoreListing(const QString &backup, const QString &listing)
{
    QFile::remove(listing);
    if (!QFile::copy(backup, listing))
        return;
    QFile restored(listing);
    if (restored.open(QIODevice::ReadWrite))
        restored.setFileTime(QFileInfo(backup).lastModified(), QFileDevice::FileModificationTime);
}

} // namespace

void Frm_Main::openBusyBracket()
{
    AbortFlag = false;
    BusyFlag = true;
    setStatus(0, BusyText);
}

void Frm_Main::closeBusyBracket()
{
    AbortFlag = false;
    BusyFlag = false;
    setStatus(0, QString());
}

QString Frm_Main::sideRootFor(int side) const
{
    const QString &gathered = GatheredPath[side];
    if (!gathered.startsWith(QStringLiteral("ftp://")))
        return gathered;
    return listing::FtpSideRoot(FtpCacheFolder[side], gathered);
}

void Frm_Main::Txt_FolderPath_KeyDown(int index, int keyCode, int)
{
    openBusyBracket();
    try {
        if (keyCode == KeyEnter) {
            const int other = 1 - index;
            const bool otherWaiting
                = Txt_FileInfoDate[other]->text().isEmpty() && !Txt_FolderPath[other]->text().isEmpty();
            if (index == 1) {
                if (otherWaiting) {
                    GatherOnly = true;
                    Btn_GetFileInfo_Sub(0);
                }
                Btn_GetFileInfo_Sub(1);
            } else if (otherWaiting) {
                GatherOnly = true;
                Btn_GetFileInfo_Sub(0);
                Btn_GetFileInfo_Sub(1);
            } else {
                Btn_GetFileInfo_Sub(0);
            }
        }
    } catch (...) {
        common::SaveErr();
        closeBusyBracket();
        common::ReportSavedErr(QStringLiteral("Txt_FolderPath_KeyDown"));
        return;
    }
    closeBusyBracket();
}

void Frm_Main::Btn_InFolderName_Click(int index)
{
    openBusyBracket();
    try {
        const QString current = Txt_FolderPath[index]->text();
        const QString chosen = common::BrowseForFolder(QStringLiteral("フォルダを指定してください"), current);
        if (chosen != current) {
            Txt_FolderPath[index]->setText(chosen);
            Btn_GetFileInfo_Sub(index);
        }
    } catch (...) {
        common::SaveErr();
        closeBusyBracket();
        common::ReportSavedErr(QStringLiteral("Btn_InFolderName_Click"));
        return;
    }
    closeBusyBracket();
}

void Frm_Main::dropPair(const QStringList &paths)
{
    Txt_FolderPath[0]->setText(paths.at(1));
    Txt_FolderPath[1]->clear();
    GatherOnly = true;
    Btn_GetFileInfo_Sub(0);
    Txt_FolderPath[1]->setText(paths.at(0));
    GatherOnly = true;
    Btn_GetFileInfo_Sub(1);
    Btn_Compare_Sub();
}

int Frm_Main::dropTarget()
{
    if (Txt_FolderPath[0]->text().isEmpty())
        return 0;
    if (Txt_FolderPath[1]->text().isEmpty())
        return 1;
    Txt_FolderPath[0]->clear();
    Txt_FolderPath[1]->clear();
    return 0;
}

void Frm_Main::Txt_FolderPath_OLEDragDrop(int index, const QStringList &paths)
{
    openBusyBracket();
    try {
        if (paths.size() == 1) {
            Txt_FolderPath[index]->setText(paths.first());
            Btn_GetFileInfo_Sub(index);
        } else if (paths.size() >= 2) {
            dropPair(paths);
        }
    } catch (...) {
        // A drop ends quietly on a failure.
    }
    closeBusyBracket();
}

void Frm_Main::Grd_Compare_OLEDragDrop(const QStringList &paths)
{
    openBusyBracket();
    try {
        if (paths.size() == 1) {
            const int target = dropTarget();
            Txt_FolderPath[target]->setText(paths.first());
            CompareWithoutAsking = true;
            Btn_GetFileInfo_Sub(target);
        } else if (paths.size() >= 2) {
            dropPair(paths);
        }
    } catch (...) {
        // A drop ends quietly on a failure.
    }
    closeBusyBracket();
}

void Frm_Main::Form_Drop(const QStringList &paths)
{
    openBusyBracket();
    try {
        if (paths.size() == 1) {
            Txt_FolderPath[dropTarget()]->setText(paths.first());
        } else if (paths.size() >= 2) {
            Txt_FolderPath[0]->setText(paths.at(0));
            Txt_FolderPath[1]->clear();
            Txt_FolderPath[1]->setText(paths.at(1));
        }
    } catch (...) {
        // A drop ends quietly on a failure.
    }
    closeBusyBracket();
}

void Frm_Main::CompHistory_Click(int index)
{
    openBusyBracket();
    try {
        const QString item = HistoryItems.value(index);
        const qsizetype tab = item.indexOf(u'\t');
        const QString path0 = tab < 0 ? item : item.left(tab);
        const QString path1 = tab < 0 ? QString() : item.mid(tab + 1);
        if (path0 != Txt_FolderPath[0]->text() || path1 != Txt_FolderPath[1]->text()) {
            Txt_FolderPath[0]->clear();
            Txt_FolderPath[1]->clear();
            QCoreApplication::processEvents();
            Txt_FolderPath[0]->setText(path0);
            if (!Txt_FolderPath[0]->text().isEmpty()) {
                GatherOnly = true;
                Btn_GetFileInfo_Sub(0);
            }
            Txt_FolderPath[1]->setText(path1);
            if (!Txt_FolderPath[1]->text().isEmpty()) {
                GatherOnly = true;
                Btn_GetFileInfo_Sub(1);
            }
            Btn_Compare_Sub();
        }
    } catch (...) {
        common::SaveErr();
        closeBusyBracket();
        common::ReportSavedErr(QStringLiteral("CompHistory_Click"));
        return;
    }
    closeBusyBracket();
}

void Frm_Main::Txt_FolderPath_Change(int index)
{
    if (!InputEventsOn)
        return;
    try {
        ShowFirstDiff = true;
        if (!GatheredPath[index].isEmpty() && Txt_FolderPath[index]->text() == GatheredPath[index]) {
            restoreListing(FileInfoLog[index] + QStringLiteral(".bak"), FileInfoLog[index]);
            SideRoot[index] = sideRootFor(index);
            SetFileInfoDate(index);
        } else if (!Txt_FileInfoDate[index]->text().isEmpty()) {
            Txt_FileInfoDate[index]->clear();
            SideRoot[index].clear();
            QFile::remove(FileInfoLog[index]);
        }
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Txt_FolderPath_Change"));
    }
}

void Frm_Main::checkBoxClicked(QCheckBox *box, const QString &key, const QString &question, bool setsShowFirstDiff,
                               const QString &procedure)
{
    if (!InputEventsOn)
        return;
    try {
        common::WriteSettingOrReport(QStringLiteral("DSP"), key,
                                     box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"), IniFilePath,
                                     procedure);
        if (Txt_FileInfoDate[0]->text().isEmpty() && Txt_FileInfoDate[1]->text().isEmpty())
            return;
        if (common::ShowMsg(question, platform::MessageStyle::YesNo) == platform::MessageAnswer::No)
            return;
        QCoreApplication::processEvents();
        openBusyBracket();
        if (setsShowFirstDiff)
            ShowFirstDiff = true;
        Btn_Compare_Sub();
        closeBusyBracket();
    } catch (...) {
        common::SaveErr();
        closeBusyBracket();
        common::ReportSavedErr(procedure);
    }
}

void Frm_Main::Chk_Folder_Click()
{
    checkBoxClicked(Chk_Folder, QStringLiteral("Folder"), ListAgainQuestion, true, QStringLiteral("Chk_Folder_Click"));
}

void Frm_Main::Chk_Nomi_Click()
{
    checkBoxClicked(Chk_Nomi, QStringLiteral("Nomi"), ListAgainQuestion, true, QStringLiteral("Chk_Nomi_Click"));
}

void Frm_Main::Chk_Data_Click()
{
    const QString question = Chk_Data->isChecked()
                                 ? QStringLiteral("取得済みのファイルの中身(データ)を比較して一覧表示しますか？　　")
                                 : QStringLiteral("取得済みの情報(日時やサイズ)を比較して一覧表示しますか？　　");
    checkBoxClicked(Chk_Data, QStringLiteral("Data"), question, false, QStringLiteral("Chk_Data_Click"));
}

void Frm_Main::Txt_Ext_KeyDown(int, int keyCode, int)
{
    if (Txt_FileInfoDate[0]->text().isEmpty() && Txt_FileInfoDate[1]->text().isEmpty())
        return;
    openBusyBracket();
    try {
        if (keyCode == KeyEnter) {
            ShowFirstDiff = true;
            Btn_Compare_Sub();
        }
    } catch (...) {
        common::SaveErr();
        closeBusyBracket();
        common::ReportSavedErr(QStringLiteral("Txt_Ext_KeyDown"));
        return;
    }
    closeBusyBracket();
}

} // namespace foldercompare
