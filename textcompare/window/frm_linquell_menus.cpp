#include "textcompare/window/frm_linquell.h"

#include "common/associated_program.h"
#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"
#include "common/dialogs/frm_bin_ext.h"
#include "common/dialogs/export_file_choice.h"
#include "common/dialogs/frm_csv_sepa.h"
#include "common/dialogs/frm_line_max.h"
#include "common/dialogs/mouse_wheel_d.h"
#include "common/excel_writer.h"
#include "common/saved_error.h"
#include "common/settings_values.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/readme_page.h"
#include "textcompare/window/frm_editor.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>

namespace textcompare {

namespace {

// The program's version: major, minor and revision.
constexpr int VersionMajor = 1;
constexpr int VersionMinor = 0;
constexpr int VersionRevision = 0;

const QString RightsLine = QStringLiteral("Copyright (C) Linquell の作者");

constexpr int FileFailure = 75;

const QString DefaultFileName = QStringLiteral("FileDiff");

using common::dialogs::AllFiles;
using common::dialogs::CsvFiles;
using common::dialogs::HtmlFiles;
using common::dialogs::TextFiles;
using common::dialogs::XlsFiles;
using common::dialogs::XlsxFiles;

// The save dialog of an export, starting at "FileDiff".
std::optional<QString> chooseFile(const QString &title, const QList<platform::FileFilter> &filters,
                                  int initialFilter = 0)
{
    return common::dialogs::ChooseExportFile(title, DefaultFileName, filters, initialFilter);
}

void showMessage(const QString &text, const QString &title = QString())
{
    platform::dialogs().messageBox(text, platform::MessageStyle::OkOnly, title);
}

} // namespace

void Frm_Linquell::setModalRunner(std::function<void(QDialog &)> runner)
{
    m_modalRunner = std::move(runner);
}

void Frm_Linquell::showModal(QDialog &dialog)
{
    dialog.setModal(true);
    if (m_modalRunner)
        m_modalRunner(dialog);
    else
        dialog.exec();
}

void Frm_Linquell::flipOption(QAction *item, const QString &section, const QString &key, const QString &procedure)
{
    try {
        item->setChecked(!item->isChecked());
        if (!common::WriteIniValue(section, key, common::FlagText(item->isChecked()), IniPath))
            throw common::Failure(FileFailure, QCoreApplication::applicationName(),
                                  QStringLiteral("設定ファイルに書き込めません。 ") + IniPath + QStringLiteral(" [")
                                      + section + QStringLiteral("] ") + key);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(procedure);
    }
}

void Frm_Linquell::NoSpaceCheck_Click()
{
    flipOption(NoSpaceCheck, QStringLiteral("DSP"), QStringLiteral("NoSpCheck"), QStringLiteral("NoSpaceCheck_Click"));
}

void Frm_Linquell::NoULChrCheck_Click()
{
    flipOption(NoULChrCheck, QStringLiteral("DSP"), QStringLiteral("NoULCheck"), QStringLiteral("NoULChrCheck_Click"));
}

void Frm_Linquell::DspSpaceChar_Click()
{
    flipOption(DspSpaceChar, QStringLiteral("DSP"), QStringLiteral("DspSpChar"), QStringLiteral("DspSpaceChar_Click"));
}

void Frm_Linquell::XlsFormatCnd_Click()
{
    flipOption(XlsFormatCnd, QStringLiteral("XLS"), QStringLiteral("XlsFormatCnd"), QStringLiteral("XlsFormatCnd_Click"));
}

void Frm_Linquell::CsvDblQuot_Click()
{
    flipOption(CsvDblQuot, QStringLiteral("CSV"), QStringLiteral("CsvDblQuot"), QStringLiteral("CsvDblQuot_Click"));
}

void Frm_Linquell::CsvHtmlUni_Click()
{
    flipOption(CsvHtmlUni, QStringLiteral("CSV"), QStringLiteral("CsvHtmlUni"), QStringLiteral("CsvHtmlUni_Click"));
}

void Frm_Linquell::SetBinExt_Click()
{
    try {
        common::dialogs::Frm_BinExt dialog(BinJdExt, IniPath);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SetBinExt_Click"));
    }
}

void Frm_Linquell::Mnu_LineMax_Click()
{
    try {
        common::dialogs::Frm_LineMax dialog(LineMax, IniPath, common::dialogs::ProgramVariant::Linquell);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Mnu_LineMax_Click"));
    }
}

void Frm_Linquell::SetEditor_Click()
{
    try {
        Frm_Editor dialog(Editor, EditorCommandPresets(common::GetAssociatedExe(QStringLiteral("txt"))));
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SetEditor_Click"));
    }
}

void Frm_Linquell::SetMouseWheel_Click()
{
    try {
        common::dialogs::MouseWheelD dialog(m_gridView, IniPath);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SetMouseWheel_Click"));
    }
}

void Frm_Linquell::NewDirgleam_Click()
{
    try {
        if (!QFileInfo(FolderCompareExePath).isFile()) {
            showMessage(QStringLiteral("フォルダ比較ツールが存在しません　\r\n\r\n") + FolderCompareExePath);
            return;
        }
        startOrFail(FolderCompareExePath);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("NewDirgleam_Click"));
    }
}

void Frm_Linquell::NewLinquell_Click()
{
    try {
        startOrFail(OwnExePath);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("NewLinquell_Click"));
    }
}

void Frm_Linquell::MnuEnd_Click()
{
    close();
}

void Frm_Linquell::Homepage_Click()
{
    platform::widgets::ShowReadme();
}

void Frm_Linquell::XxxReqFaq_Click()
{
    platform::widgets::ShowReadme();
}

void Frm_Linquell::Version_Click()
{
    showMessage(QStringLiteral("テキスト差分表示ツール(%1.%2%3)\r\n\r\n%4")
                    .arg(VersionMajor)
                    .arg(VersionMinor)
                    .arg(VersionRevision)
                    .arg(RightsLine),
                QStringLiteral("Linquellのバージョン情報"));
}

void Frm_Linquell::HtmlSave_Click()
{
    try {
        const std::optional<QString> file = chooseFile(QStringLiteral("表示内容をHTML形式で保存"), {HtmlFiles, AllFiles});
        if (!file)
            return;
        LockControls(true);
        BatHtmlSave(*file, false, false);
        common::dialogs::OpenExportedFile(*file);
        LockControls(false);
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ShowSavedErr(QStringLiteral("HtmlSave_Click"));
    }
}

void Frm_Linquell::saveCsv(const QString &path, const QString &separator, const QString &procedure)
{
    try {
        LockControls(true);
        BatCsvSave(path, separator, false, false);
        LockControls(false);
        showMessage(QStringLiteral("保存しました。    "));
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ShowSavedErr(procedure);
    }
}

void Frm_Linquell::CsvSaveKan_Click()
{
    const std::optional<QString> file
        = chooseFile(QStringLiteral("表示内容をCSV形式で保存(カンマ区切)"), {CsvFiles, TextFiles, AllFiles});
    if (file)
        saveCsv(*file, QStringLiteral(","), QStringLiteral("CsvSaveKan_Click"));
}

void Frm_Linquell::CsvSaveTab_Click()
{
    const std::optional<QString> file
        = chooseFile(QStringLiteral("表示内容をCSV形式で保存(タブ区切)"), {TextFiles, CsvFiles, AllFiles});
    if (file)
        saveCsv(*file, QStringLiteral("\t"), QStringLiteral("CsvSaveTab_Click"));
}

void Frm_Linquell::CsvSaveStr_Click()
{
    const std::optional<QString> file
        = chooseFile(QStringLiteral("表示内容をCSV形式で保存(任意区切)"), {TextFiles, CsvFiles, AllFiles});
    if (!file)
        return;
    {
        common::dialogs::Frm_CsvSepa separatorDialog(DialogAnswers, this);
        showModal(separatorDialog);
    }
    QCoreApplication::processEvents();
    // Only a separator that the user confirmed is used; "<SEPA>" is the dialog's starting
    // text, and closing the dialog without its button cancels the export.
    if (!DialogAnswers.CsvSepaConfirmed)
        return;
    saveCsv(*file, DialogAnswers.CsvSepaStr, QStringLiteral("CsvSaveStr_Click"));
}

void Frm_Linquell::ExcelSave_Click()
{
    try {
        const QString stored
            = common::GetIniValue(QStringLiteral("EXCEL"), QStringLiteral("ExtXls"), QStringLiteral("xls"), IniPath);
        const int initialFilter = stored.toLower() == u"xls" ? 0 : 1;
        const std::optional<QString> file
            = chooseFile(QStringLiteral("表示内容をエクセル形式で保存"), {XlsFiles, XlsxFiles, AllFiles}, initialFilter);
        if (!file)
            return;
        common::WriteSetting(QStringLiteral("EXCEL"), QStringLiteral("ExtXls"),
                             file->right(3).toLower() == u"xls" ? QStringLiteral("xls") : QStringLiteral("xlsx"),
                             IniPath);
        LockControls(true);
        if (BatExcelSave(*file, false, false))
            common::dialogs::OpenExportedFile(*file);
        LockControls(false);
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ShowSavedErr(QStringLiteral("ExcelSave_Click"));
    }
}

} // namespace textcompare
