#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/dialogs/export_file_choice.h"
#include "common/dialogs/frm_csv_sepa.h"
#include "common/excel_writer.h"
#include "common/saved_error.h"
#include "foldercompare/operations/result_list_csv.h"
#include "foldercompare/operations/result_list_excel.h"
#include "foldercompare/operations/result_list_html.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

namespace foldercompare {

namespace {

const QString DefaultFileName = QStringLiteral("FoldDiff");
const QString Tab = QStringLiteral("\t");

using common::dialogs::AllFiles;
using common::dialogs::CsvFiles;
using common::dialogs::HtmlFiles;
using common::dialogs::TextFiles;
using common::dialogs::XlsFiles;
using common::dialogs::XlsxFiles;

// The save dialog of an export, starting at "FoldDiff".
std::optional<QString> chooseFile(const QString &title, const QList<platform::FileFilter> &filters,
                                  int initialFilter = 0)
{
    return common::dialogs::ChooseExportFile(title, DefaultFileName, filters, initialFilter);
}

} // namespace

ResultListExport Frm_Main::exportSource()
{
    return ResultListExport{
        PerRowDiffSource{*Grd_Compare, SideRoot, {Txt_FolderPath[0]->text(), Txt_FolderPath[1]->text()}, ViewerExePath},
        DiffRowCount,
        PerRowSwitches{TxtDifAlll->isChecked(), TxtDifNomi->isChecked(), TxtDifKeis->isChecked()},
        [this] { pumpEvents(); },
    };
}

bool Frm_Main::writeList(const std::function<bool()> &write)
{
    if (SkipsExportWithoutDifference(DiffRowCount))
        return false;
    platform::FlexGrid &grid = *Grd_Compare;
    grid.setRedraw(false);
    grid.setCol(1);
    bool written = false;
    try {
        written = write();
    } catch (...) {
        common::SaveErr();
        grid.setRedraw(true);
        common::RaiseSavedErr();
    }
    grid.setRedraw(true);
    // The rows were read down to the last one, where the current row stays.
    if (grid.rows() > 1)
        grid.setRow(grid.rows() - 1);
    return written;
}

void Frm_Main::BatHtmlSave(const QString &path)
{
    writeList([&] {
        foldercompare::BatHtmlSave(exportSource(), path);
        return true;
    });
}

void Frm_Main::BatCsvSave(const QString &path, const QString &separator)
{
    const CsvOptions options{CsvDblQuot->isChecked(), CsvSizeFit->isChecked(),
                             CsvDateWidth(TextCodeDsp->isChecked() && Chk_Data->isChecked(), NewDateAsta->isChecked())};
    foldercompare::BatCsvSave(exportSource(), options, path, separator);
}

bool Frm_Main::BatExcelSave(const QString &path)
{
    common::ExcelLeftOut leftOut;
    const bool saved = writeList([&] { return foldercompare::BatExcelSave(exportSource(), path, &leftOut); });
    const QString notice = common::ExcelLeftOutNotice(leftOut);
    if (saved && !notice.isEmpty()) {
        common::ShowMsg(notice);
        if (common::BatchMode)
            common::BatchFailed = true;
    }
    return saved;
}

void Frm_Main::batchExport()
{
    switch (common::BatchKind) {
    case 1:
        BatExcelSave(common::BatchOutputPath);
        break;
    case 2:
        BatCsvSave(common::BatchOutputPath, common::BatchCsvSeparator);
        break;
    case 3:
        BatHtmlSave(common::BatchOutputPath);
        break;
    default:
        return;
    }
    Form_Unload();
}

void Frm_Main::HtmlSave_Click()
{
    try {
        const std::optional<QString> file = chooseFile(QStringLiteral("表示内容をHTML形式で保存"), {HtmlFiles, AllFiles});
        if (!file)
            return;
        LockControls(true);
        BatHtmlSave(*file);
        common::dialogs::OpenExportedFile(*file);
        LockControls(false);
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ReportSavedErr(QStringLiteral("HtmlSave_Click"));
    }
}

void Frm_Main::saveCsv(const QString &path, const QString &separator, const QString &procedure)
{
    try {
        LockControls(true);
        BatCsvSave(path, separator);
        LockControls(false);
        common::ShowMsg(QStringLiteral("保存しました。    "));
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ReportSavedErr(procedure);
    }
}

void Frm_Main::CsvSaveKan_Click()
{
    const std::optional<QString> file
        = chooseFile(QStringLiteral("表示内容をCSV形式で保存(カンマ区切)"), {CsvFiles, TextFiles, AllFiles});
    if (file)
        saveCsv(*file, QStringLiteral(","), QStringLiteral("CsvSaveKan_Click"));
}

void Frm_Main::CsvSaveTab_Click()
{
    const std::optional<QString> file
        = chooseFile(QStringLiteral("表示内容をCSV形式で保存(タブ区切)"), {TextFiles, CsvFiles, AllFiles});
    if (file)
        saveCsv(*file, Tab, QStringLiteral("CsvSaveTab_Click"));
}

void Frm_Main::CsvSaveStr_Click()
{
    const std::optional<QString> file
        = chooseFile(QStringLiteral("表示内容をCSV形式で保存(任意区切)"), {TextFiles, CsvFiles, AllFiles});
    if (!file)
        return;
    common::dialogs::Frm_CsvSepa separatorDialog(DialogAnswers, this);
    showModal(separatorDialog);
    QCoreApplication::processEvents();
    // Only a separator that the user confirmed is used; "<SEPA>" is the dialog's starting
    // text, and closing the dialog without its button cancels the export.
    if (!DialogAnswers.CsvSepaConfirmed)
        return;
    saveCsv(*file, DialogAnswers.CsvSepaStr, QStringLiteral("CsvSaveStr_Click"));
}

void Frm_Main::ExcelSave_Click()
{
    try {
        const QString stored = common::GetIniValue(QStringLiteral("EXCEL"), QStringLiteral("ExtXls"),
                                                   QStringLiteral("xls"), IniFilePath);
        const int initialFilter = stored.toLower() == u"xls" ? 0 : 1;
        const std::optional<QString> file
            = chooseFile(QStringLiteral("表示内容をエクセル形式で保存"), {XlsFiles, XlsxFiles, AllFiles}, initialFilter);
        if (!file)
            return;
        common::WriteSettingOrReport(QStringLiteral("EXCEL"), QStringLiteral("ExtXls"),
                                     file->right(3).toLower() == u"xls" ? QStringLiteral("xls") : QStringLiteral("xlsx"),
                                     IniFilePath, QStringLiteral("ExcelSave_Click"));
        LockControls(true);
        if (BatExcelSave(*file))
            common::dialogs::OpenExportedFile(*file);
        LockControls(false);
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        if (common::SavedErr().Number == common::ExcelWriteFailedNumber)
            common::ShowMsg(common::SavedErr().Description);
        else
            common::ReportSavedErr(QStringLiteral("ExcelSave_Click"));
    }
}

} // namespace foldercompare
