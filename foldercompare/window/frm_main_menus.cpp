#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/dialogs/frm_bin_ext.h"
#include "common/dialogs/frm_color.h"
#include "common/dialogs/frm_folder_num.h"
#include "common/dialogs/frm_line_max.h"
#include "common/dialogs/mouse_wheel_d.h"
#include "common/saved_error.h"
#include "common/settings_values.h"
#include "foldercompare/listing/result_rows.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/readme_page.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>

#include <algorithm>

namespace foldercompare {

namespace {

// The program's version: major, minor and revision.
constexpr int VersionMajor = 1;
constexpr int VersionMinor = 0;
constexpr int VersionRevision = 0;

const QString RightsLine = QStringLiteral("Copyright (C) Dirgleam の作者");

} // namespace

void Frm_Main::setModalRunner(std::function<void(QDialog &)> runner)
{
    m_modalRunner = std::move(runner);
}

void Frm_Main::showModal(QDialog &dialog)
{
    dialog.setModal(true);
    if (m_modalRunner)
        m_modalRunner(dialog);
    else
        dialog.exec();
}

void Frm_Main::SetBinExt_Click()
{
    try {
        common::dialogs::Frm_BinExt dialog(BinJdExt, IniFilePath);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("SetBinExt_Click"));
    }
}

void Frm_Main::Mnu_FolderNum_Click()
{
    try {
        common::dialogs::Frm_FolderNum dialog(FolderNum, IniFilePath);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Mnu_FolderNum_Click"));
    }
}

void Frm_Main::Mnu_LineMax_Click()
{
    try {
        common::dialogs::Frm_LineMax dialog(LineMax, IniFilePath, common::dialogs::ProgramVariant::Dirgleam);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Mnu_LineMax_Click"));
    }
}

void Frm_Main::SetDiffColor_Click()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        std::array<quint32, 4> colors{ColorUpd, ColorAdd, ColorDel, ColorDtm};
        {
            common::dialogs::Frm_Color dialog(colors, IniFilePath);
            showModal(dialog);
        }
        ColorUpd = colors[0];
        ColorAdd = colors[1];
        ColorDel = colors[2];
        ColorDtm = colors[3];
        QCoreApplication::processEvents();
        LockControls(true);
        grid.setRedraw(false);
        const int row = grid.row();
        const int col = grid.col();
        listing::PaintRowsByStatus(grid, statusColors(), [] { QCoreApplication::processEvents(); });
        grid.setCurrentCell(row, col);
        grid.setRedraw(true);
        LockControls(false);
    } catch (...) {
        common::SaveErr();
        grid.setRedraw(true);
        LockControls(false);
        common::ReportSavedErr(QStringLiteral("SetDiffColor_Click"));
    }
}

void Frm_Main::SetMouseWheel_Click()
{
    try {
        common::dialogs::MouseWheelD dialog(m_gridView, IniFilePath);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("SetMouseWheel_Click"));
    }
}

void Frm_Main::flipOption(QAction *item, const QString &section, const QString &key, const QString &procedure,
                          QAction *excluded, const QString &excludedKey)
{
    try {
        item->setChecked(!item->isChecked());
        writeOption(section, key, item->isChecked());
        if (excluded && item->isChecked()) {
            excluded->setChecked(false);
            writeOption(section, excludedKey, false);
        }
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(procedure);
    }
}

void Frm_Main::writeOption(const QString &section, const QString &key, bool checked)
{
    if (!common::WriteIniValue(section, key, common::FlagText(checked), IniFilePath))
        throw common::Failure(75, QCoreApplication::applicationName(),
                              QStringLiteral("設定ファイルに書き込めません。 ") + IniFilePath);
}

void Frm_Main::RecyclerBackup_Click()
{
    flipOption(RecyclerBackup, QStringLiteral("DSP"), QStringLiteral("RccBakup"), QStringLiteral("RecyclerBackup_Click"));
}

void Frm_Main::TextCrlfNone_Click()
{
    flipOption(TextCrlfNone, QStringLiteral("DSP"), QStringLiteral("CrlfNone"), QStringLiteral("TextCrlfNone_Click"));
}

void Frm_Main::TextCodeDsp_Click()
{
    flipOption(TextCodeDsp, QStringLiteral("DSP"), QStringLiteral("CodeDisp"), QStringLiteral("TextCodeDsp_Click"));
}

void Frm_Main::UpdDateNone_Click()
{
    flipOption(UpdDateNone, QStringLiteral("DSP"), QStringLiteral("UpDtNone"), QStringLiteral("UpdDateNone_Click"));
}

void Frm_Main::NewDateAsta_Click()
{
    flipOption(NewDateAsta, QStringLiteral("DSP"), QStringLiteral("NewDtAst"), QStringLiteral("NewDateAsta_Click"));
}

void Frm_Main::CsvDblQuot_Click()
{
    flipOption(CsvDblQuot, QStringLiteral("CSV"), QStringLiteral("CsvDblQuot"), QStringLiteral("CsvDblQuot_Click"));
}

void Frm_Main::CsvSizeFit_Click()
{
    flipOption(CsvSizeFit, QStringLiteral("CSV"), QStringLiteral("CsvSizeFit"), QStringLiteral("CsvSizeFit_Click"));
}

void Frm_Main::TxtDifAlll_Click()
{
    flipOption(TxtDifAlll, QStringLiteral("SAV"), QStringLiteral("TxtDifAlll"), QStringLiteral("TxtDifAlll_Click"),
               TxtDifNomi, QStringLiteral("TxtDifNomi"));
}

void Frm_Main::TxtDifNomi_Click()
{
    flipOption(TxtDifNomi, QStringLiteral("SAV"), QStringLiteral("TxtDifNomi"), QStringLiteral("TxtDifNomi_Click"),
               TxtDifAlll, QStringLiteral("TxtDifAlll"));
}

void Frm_Main::TxtDifKeis_Click()
{
    flipOption(TxtDifKeis, QStringLiteral("SAV"), QStringLiteral("TxtDifKeis"), QStringLiteral("TxtDifKeis_Click"));
}

void Frm_Main::NewDirgleam_Click()
{
    try {
        startOrFail(OwnExePath);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("NewDirgleam_Click"));
    }
}

void Frm_Main::NewLinquell_Click()
{
    try {
        if (!QFileInfo(ViewerExePath).isFile()) {
            common::ShowMsg(QStringLiteral("テキスト差分表示ツールが存在しません　\r\n\r\n") + ViewerExePath);
            return;
        }
        startOrFail(ViewerExePath);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("NewLinquell_Click"));
    }
}

void Frm_Main::Homepage_Click()
{
    platform::widgets::ShowReadme(ReadmePlaces);
}

void Frm_Main::XxxReqFaq_Click()
{
    platform::widgets::ShowReadme(ReadmePlaces);
}

void Frm_Main::Version_Click()
{
    common::ShowMsg(QStringLiteral("フォルダ内のファイル比較ツール(%1.%2%3)\r\n\r\n%4")
                        .arg(VersionMajor)
                        .arg(VersionMinor)
                        .arg(VersionRevision)
                        .arg(RightsLine),
                    platform::MessageStyle::OkOnly, QStringLiteral("Dirgleamのバージョン情報"));
}

void Frm_Main::MnuEnd_Click()
{
    close();
}

} // namespace foldercompare
