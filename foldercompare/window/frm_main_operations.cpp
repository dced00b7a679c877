#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/dialogs/frm_code_chg.h"
#include "common/dialogs/frm_date_chg.h"
#include "common/dialogs/progress_class.h"
#include "common/saved_error.h"
#include "foldercompare/listing/result_rows.h"
#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/copy_delete.h"
#include "foldercompare/operations/date_change.h"
#include "platform/flex_grid.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

namespace foldercompare {

namespace {

using listing::ResultColumn::Path;
using listing::ResultColumn::Side1;
using listing::ResultColumn::Side2;

const QString BusyText = QStringLiteral("処理中(ESCで中止)");

// The window as the operations see it: its flags and status panel, the program's
// progress window over it, its event loop and its gathering.
class WindowOperationHost final : public operations::OperationHost
{
public:
    explicit WindowOperationHost(Frm_Main &window)
        : m_window(window)
    {
    }

    bool abortRequested() const override { return m_window.AbortFlag; }
    void setBusy(bool busy) override
    {
        m_window.AbortFlag = false;
        m_window.BusyFlag = busy;
        m_window.setStatus(0, busy ? BusyText : QString());
    }
    void progressStart(const QString &message) override
    {
        m_progress.ProgressInit(&m_window, true, 1);
        m_progress.ProgressRange(0, 100);
        m_progress.ProgressDsp(0, message, QString(), false);
    }
    void progressUpdate(double percent) override { m_progress.ProgressDsp(percent, QString(), QString(), false); }
    void progressEnd() override { m_progress.ProgressDsp(100, QString(), QString(), false); }
    bool progressCancelled() const override { return m_progress.GetCancelFlag(); }
    void progressVisible(bool visible) override { m_progress.SetVisible(visible); }
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void refreshSide(int side) override
    {
        m_window.CompareWithoutAsking = true;
        m_window.AbortFlag = false;
        m_window.Btn_GetFileInfo_Sub(side);
    }

private:
    Frm_Main &m_window;
    common::dialogs::ProgressClass m_progress;
};

operations::OperationSides sidesOf(const Frm_Main &window)
{
    operations::OperationSides sides;
    for (int side = 0; side < 2; ++side) {
        sides.pathBox[side] = window.Txt_FolderPath[side]->text();
        sides.sideRoot[side] = window.SideRoot[side];
        sides.ftpCacheFolder[side] = window.FtpCacheFolder[side];
        sides.fileNameCode[side] = window.SideFileNameCode[side];
        sides.compared[side] = window.ComparedSides[side];
    }
    sides.proxy = window.Server_FTP;
    sides.recyclerBackup = window.RecyclerBackup->isChecked();
    sides.binJdExt = window.BinJdExt;
    sides.folderNum = window.FolderNum;
    return sides;
}

QList<operations::OperationRow> selectedRows(const Frm_Main &window)
{
    const platform::FlexGrid &grid = *window.Grd_Compare;
    const std::array<int, 4> selection = window.GetSelection();
    QList<operations::OperationRow> rows;
    for (int row = selection[0]; row <= selection[2]; ++row)
        rows.append({grid.textMatrix(row, Side1), grid.textMatrix(row, Side2), grid.textMatrix(row, Path)});
    return rows;
}

void runOperation(Frm_Main &window, operations::FileOperation &operation)
{
    WindowOperationHost host(window);
    operations::OperationFrame frame(host, sidesOf(window), selectedRows(window));
    frame.run(operation);
}

// Runs `command`; a failure is reported naming `procedure`.
template <typename Command>
void reportingFailures(const QString &procedure, Command command)
{
    try {
        command();
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(procedure);
    }
}

} // namespace

void Frm_Main::CopyOldToNew_Click()
{
    reportingFailures(QStringLiteral("CopyOldToNew_Click"), [this] { confirmCopy(0); });
}

void Frm_Main::CopyNewToOld_Click()
{
    reportingFailures(QStringLiteral("CopyNewToOld_Click"), [this] { confirmCopy(1); });
}

void Frm_Main::DeleteOld_Click()
{
    reportingFailures(QStringLiteral("DeleteOld_Click"), [this] { confirmDelete(0); });
}

void Frm_Main::DeleteNew_Click()
{
    reportingFailures(QStringLiteral("DeleteNew_Click"), [this] { confirmDelete(1); });
}

void Frm_Main::confirmCopy(int side)
{
    if (common::ShowMsg(operations::CopyPrompt(side, RecyclerBackup->isChecked()), platform::MessageStyle::OkCancel,
                        QStringLiteral("コピーしますか？"))
        == platform::MessageAnswer::Ok)
        CopyFile(side);
}

void Frm_Main::confirmDelete(int side)
{
    if (common::ShowMsg(operations::DeletePrompt(side, RecyclerBackup->isChecked()), platform::MessageStyle::OkCancel,
                        QStringLiteral("削除しますか？"))
        == platform::MessageAnswer::Ok)
        DeleteFile(side);
}

void Frm_Main::CopyFile(int side)
{
    operations::CopyOperation operation(side);
    runOperation(*this, operation);
}

void Frm_Main::DeleteFile(int side)
{
    operations::DeleteOperation operation(side);
    runOperation(*this, operation);
}

void Frm_Main::DateChgOld_Click()
{
    reportingFailures(QStringLiteral("DateChgOld_Click"), [this] { askDateChange(0); });
}

void Frm_Main::DateChgNew_Click()
{
    reportingFailures(QStringLiteral("DateChgNew_Click"), [this] { askDateChange(1); });
}

void Frm_Main::askDateChange(int side)
{
    DialogAnswers.DateChgDtm.clear();
    common::dialogs::Frm_DateChg dialog(DialogAnswers, common::dialogs::ProgramVariant::Dirgleam, this);
    dialog.Lbl_Message->setText(operations::DateChangeMessage(side));
    dialog.Chk_Copy->setText(operations::DateCopyCaption(side));
    // With codes shown in the date columns there is no date of the other side to take.
    dialog.Chk_Copy->setEnabled(!(Chk_Data->isChecked() && TextCodeDsp->isChecked()));
    showModal(dialog);
    if (!DialogAnswers.DateChgDtm.isEmpty())
        DateChange(side);
}

void Frm_Main::DateChange(int side)
{
    operations::DateChangeOperation operation(side, DialogAnswers.DateChgDtm);
    runOperation(*this, operation);
}

void Frm_Main::CodeChgOld_Click()
{
    reportingFailures(QStringLiteral("CodeChgOld_Click"), [this] { askCodeChange(0); });
}

void Frm_Main::CodeChgNew_Click()
{
    reportingFailures(QStringLiteral("CodeChgNew_Click"), [this] { askCodeChange(1); });
}

void Frm_Main::askCodeChange(int side)
{
    DialogAnswers.CodeChgCd1.clear();
    DialogAnswers.CodeChgCd2.clear();
    DialogAnswers.CodeChgCd3.clear();
    QStringList candidates;
    for (const operations::OperationRow &row : selectedRows(*this))
        candidates.append(operations::RowPath(SideRoot[side], row.path));
    const auto [code, lineEnd] = operations::CodePreset(candidates, BinJdExt);
    DialogAnswers.CodeChgCd2 = code;
    DialogAnswers.CodeChgCd3 = lineEnd;
    common::dialogs::Frm_CodeChg dialog(DialogAnswers, common::dialogs::ProgramVariant::Dirgleam, this);
    dialog.Lbl_Message->setText(operations::CodeChangeMessage(side));
    showModal(dialog);
    if (!DialogAnswers.CodeChgCd2.isEmpty())
        CodeChange(side);
}

void Frm_Main::CodeChange(int side)
{
    // The window's own work folder: two windows never share the file.
    const QString temporaryFile = WorkFolder + u'/' + platform::executableName() + QStringLiteral("1.tmp");
    operations::CodeChangeOperation operation(side, DialogAnswers.CodeChgCd1, DialogAnswers.CodeChgCd2,
                                              DialogAnswers.CodeChgCd3, temporaryFile);
    runOperation(*this, operation);
}

} // namespace foldercompare
