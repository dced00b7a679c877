// The commands of the line editing with its undo, of the file commands on a compared
// file, of the one-line comparison window and of the viewer's own setting dialogs.

#include "textcompare/window/frm_linquell.h"

#include "common/associated_program.h"
#include "common/common_module.h"
#include "common/dialogs/frm_code_chg.h"
#include "common/dialogs/frm_date_chg.h"
#include "common/saved_error.h"
#include "platform/file_handles.h"
#include "platform/flex_grid.h"
#include "platform/process_starter.h"
#include "textcompare/window/command_enabling.h"
#include "platform/shell_services.h"
#include "platform/user_dialogs.h"
#include "textcompare/editing/code_conversion.h"
#include "textcompare/editing/text_codes.h"
#include "textcompare/window/frm_color_viewer.h"
#include "textcompare/window/frm_len_of_row.h"
#include "textcompare/window/frm_line_text.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace textcompare {

namespace {

using common::dialogs::ProgramVariant;

constexpr int CannotStart = 53;

const QString MissingFile = QStringLiteral("ファイルが存在しません。　\r\n\r\n");
const QString StaleComparison = QStringLiteral("比較した時とファイルまたは文字コードの指定が異なります。　\r\n"
                                               "もう一度比較してから変更してください。　\r\n\r\n");
const QString ChangedSinceComparison = QStringLiteral("このファイルは比較した後に他のプログラムで変更されています。　\r\n"
                                                      "比較した時の内容に今回の変更を加えて上書きしますか？　\r\n"
                                                      "(いいえ：ファイルは変更せずに比較し直します)\r\n\r\n");
const QString ChangedSinceEdit = QStringLiteral("このファイルは最後の編集の後に他のプログラムで変更されています。　\r\n"
                                                "その変更を捨てて元に戻しますか？　\r\n\r\n");

void showMessage(const QString &text, const QString &title = QString())
{
    platform::dialogs().messageBox(text, platform::MessageStyle::OkOnly, title);
}

// Whether `path` is a file; tells the user when it is not.
bool isFileOrTell(const QString &path)
{
    if (QFileInfo(path).isFile())
        return true;
    showMessage(MissingFile + common::PrintablePath(path));
    return false;
}

bool askYesNo(const QString &text)
{
    return platform::dialogs().messageBox(text, platform::MessageStyle::YesNo, QString())
           == platform::MessageAnswer::Yes;
}

// Asks whether to overwrite what another program wrote into a file; いいえ is the default
// button, so that a hurried Enter keeps it.
bool askOverwrite(const QString &text)
{
    return platform::dialogs().messageBox(text, platform::MessageStyle::YesNo | platform::MessageStyle::DefaultButton2,
                                          QString())
           == platform::MessageAnswer::Yes;
}

// The first bytes of the file `path`, as far as a byte-order mark reaches; empty when it
// cannot be read.
QByteArray fileStart(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(3) : QByteArray();
}

QString notChanged(const QString &reason, const QString &path)
{
    return QStringLiteral("ファイルを変更出来ませんでした。　\r\n(") + reason + QStringLiteral(")\r\n\r\n")
           + common::PrintablePath(path);
}

// Tells how a change through FileEditing ended, when it did not end well.
void tellOutcome(const FileEditor::Outcome &outcome, const QString &path)
{
    if (outcome.failure.isEmpty())
        return;
    showMessage(outcome.changed ? QStringLiteral("ファイルは変更しましたが、元に戻せません。　\r\n(") + outcome.failure
                                      + QStringLiteral(")\r\n\r\n") + common::PrintablePath(path)
                                : notChanged(outcome.failure, path));
}

// The date that the date dialog answers, "year/month/day hour:minute:second" with the
// numbers as typed; an invalid date when it is none.
QDateTime dialogDate(const QString &answer)
{
    const QStringList parts = answer.split(QRegularExpression(QStringLiteral("[/ :]")));
    if (parts.size() != 6)
        return {};
    std::array<int, 6> numbers{};
    for (int index = 0; index < 6; ++index)
        numbers[index] = parts[index].toInt();
    return QDateTime(QDate(numbers[0], numbers[1], numbers[2]), QTime(numbers[3], numbers[4], numbers[5]));
}

// The properties box of our own, for a desktop whose file manager shows none.
QString propertiesText(const QString &path)
{
    const QFileInfo info(path);
    const QString format = QStringLiteral("yyyy/MM/dd HH:mm:ss");
    return QStringLiteral("名前 : ") + info.fileName() + QStringLiteral("\r\n場所 : ") + info.absolutePath()
           + QStringLiteral("\r\nサイズ : ") + QString::number(info.size()) + QStringLiteral(" バイト")
           + QStringLiteral("\r\n更新日時 : ") + info.lastModified().toString(format)
           + QStringLiteral("\r\nアクセス日時 : ") + info.lastRead().toString(format)
           + QStringLiteral("\r\n所有者 : ") + info.owner() + QStringLiteral("\r\n読み取り専用 : ")
           + (info.permission(QFileDevice::WriteOwner) ? QStringLiteral("いいえ") : QStringLiteral("はい"));
}

} // namespace

void Frm_Linquell::resetCodeLists()
{
    CodeListMuted = true;
    for (QComboBox *codeList : Cmb_FileCode)
        codeList->setCurrentIndex(FileCodeIndex::Auto);
    CodeListMuted = false;
}

void Frm_Linquell::runLineCommand(int side, const EditLines &lines, int startRow, int endRow, int mode,
                                  bool resetCodes)
{
    TextEdit(side, lines, startRow, endRow, mode);
    if (resetCodes)
        resetCodeLists();
    JumpToFirstDiff = false;
    Btn_DiffList_Click();
}

void Frm_Linquell::TextEdit(int side, const EditLines &lines, int startRow, int endRow, int mode)
{
    try {
        const QString path = Txt_FilePath[side]->text();
        if (path.isEmpty())
            return;
        if (const std::optional<QString> refusal = ChangeRefusal(path)) {
            showMessage(notChanged(*refusal, path));
            return;
        }
        // The table's line numbers belong to the file and the code of the last comparison.
        const SideText &compared = LastReadTexts[side];
        if (compared.outcome != ReadOutcome::Read || compared.stamp.path != path
            || ReadCodeIndex[side] != Cmb_FileCode[side]->currentIndex()) {
            showMessage(StaleComparison + common::PrintablePath(path));
            return;
        }
        const EditRange range = FindEditRange([this, side](int row) { return DiffDisplayTable.marks(row).line[side]; },
                                              startRow, endRow, Grd_Compare->fixedRows(), DiffDisplayTable.lastRow(),
                                              mode);
        const QString code = Cmb_FileCode[side]->currentText();
        const QString confirmation = QStringLiteral("ファイルを変更(") + lines.operationName()
                                     + QStringLiteral(")します。宜しいですか？    \r\n"
                                                      "念のため初回変更前にごみ箱へバックアップします。      \r\n\r\n")
                                     + common::PrintablePath(path) + QStringLiteral("    ");
        const FileStamp now = FileStamp::of(path);
        if (now == compared.stamp && EditedAsBytes(code)) {
            // The file's kept lines are copied as they are, a block at a time.
            if (!EncodeForFile(code, lines.blockText(LineBreak::CrLf))) {
                showMessage(notChanged(WritableCode(code) + QStringLiteral(" で表せない文字があります。"), path));
                return;
            }
            if (askYesNo(confirmation))
                tellOutcome(FileEditing.changeLines(path, now, code, range, lines), path);
            return;
        }
        FileContents current;
        EditedContents edited;
        TrashBackup backup = TrashBackup::FirstChange;
        if (now == compared.stamp) {
            current = ReadFileContents(path);
            if (!current.failure.isEmpty()) {
                showMessage(notChanged(current.failure, path));
                return;
            }
            edited = SpliceFileBytes(current.bytes, code, range, lines);
        } else {
            if (!askOverwrite(ChangedSinceComparison + common::PrintablePath(path)))
                return;
            // What the other program wrote goes to the trash before it is overwritten.
            backup = TrashBackup::Always;
            edited = SpliceText(compared.text, code, range, lines, ByteOrderMark(code, fileStart(path)));
        }
        if (!edited.refusal.isEmpty()) {
            showMessage(notChanged(edited.refusal, path));
            return;
        }
        if (askYesNo(confirmation))
            tellOutcome(FileEditing.changeFile(path, edited.pieces(), now, backup), path);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("TextEdit"));
    }
}

void Frm_Linquell::LineText_Click()
{
    try {
        if (!rowCommandStates().LineText)
            return;
        const int row = Grd_Compare->row();
        LineTextDt1 = DiffDisplayTable.cell(row, DisplayTable::Text1);
        LineTextDt2 = DiffDisplayTable.cell(row, DisplayTable::Text2);
        LineTextSv1 = LineTextSv2 = false;
        Frm_LineText dialog(LineTextDt1, LineTextDt2, LineTextSv1, LineTextSv2, this);
        for (int side = 0; side < 2; ++side) {
            const int code = Cmb_FileCode[side]->currentIndex();
            const bool savable = IsLocalPath(Txt_FilePath[side]->text()) && code != FileCodeIndex::Auto
                                 && Cmb_FileCode[side]->currentText() != QLatin1String("BIN")
                                 && !LastReadTexts[side].document;
            // Differences only and wrapped lines number no file lines.
            if (!savable || Chk_Nomi->isChecked() || ComparedWrapped)
                dialog.Btn_SaveText[side]->setEnabled(false);
        }
        showModal(dialog);
        if (LineTextSv1)
            runLineCommand(0, EditLines::change(LineTextDt1), row, row, 0);
        else if (LineTextSv2)
            runLineCommand(1, EditLines::change(LineTextDt2), row, row, 0);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("LineText_Click"));
    }
}

void Frm_Linquell::LineTextE_Click()
{
    LineText_Click();
}

void Frm_Linquell::LineDelete_Click()
{
    try {
        if (!rowCommandStates().LineDelete)
            return;
        const std::array<int, 4> selection = GetSelection();
        runLineCommand(sideOfColumn(selection[1]), EditLines::deletion(), selection[0], selection[2], 0);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("LineDelete_Click"));
    }
}

void Frm_Linquell::LineInsert1_Click()
{
    try {
        if (!rowCommandStates().LineInsert1)
            return;
        const std::array<int, 4> selection = GetSelection();
        const int mode = selection[0] - selection[2] - 1;
        runLineCommand(sideOfColumn(selection[1]), EditLines::insertion(QString(), -mode), selection[0], selection[2],
                       mode, true);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("LineInsert1_Click"));
    }
}

void Frm_Linquell::LineInsert2_Click()
{
    try {
        if (!rowCommandStates().LineInsert2)
            return;
        const std::array<int, 4> selection = GetSelection();
        const int mode = selection[2] - selection[0] + 1;
        runLineCommand(sideOfColumn(selection[1]), EditLines::insertion(QString(), mode), selection[0], selection[2],
                       mode);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("LineInsert2_Click"));
    }
}

void Frm_Linquell::LineCopy_Click()
{
    try {
        if (!rowCommandStates().LineCopy)
            return;
        const std::array<int, 4> selection = GetSelection();
        const int source = sideOfColumn(selection[1]);
        const int textColumn = source == 0 ? DisplayTable::Text1 : DisplayTable::Text2;
        QStringList lines;
        DiffDisplayTable.visitMarks(selection[0], selection[2], [&](int row, const DisplayTable::RowMarks &marks) {
            if (marks.line[source] > 0)
                lines.append(DiffDisplayTable.cell(row, textColumn));
            return true;
        });
        runLineCommand(1 - source, EditLines::copy(lines), selection[0], selection[2], 0);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("LineCopy_Click"));
    }
}

std::optional<int> Frm_Linquell::currentSideWithPath() const
{
    const int side = sideOfColumn(Grd_Compare->col());
    if (side < 0 || Txt_FilePath[side]->text().isEmpty())
        return std::nullopt;
    return side;
}

void Frm_Linquell::EditRedo_Click()
{
    try {
        const QString path = FileEditing.LastEditPath;
        if (path.isEmpty() || (path != Txt_FilePath[1]->text() && path != Txt_FilePath[0]->text()))
            return;
        // What another program wrote since the last edit goes to the trash before the undo
        // overwrites it.
        const bool changedElsewhere = FileEditing.lastEditChangedSinceWritten() && QFileInfo(path).isFile();
        if (changedElsewhere && !askOverwrite(ChangedSinceEdit + common::PrintablePath(path)))
            return;
        const FileEditor::Outcome outcome
            = FileEditing.undoLastEdit(changedElsewhere ? TrashBackup::Always : TrashBackup::FirstChange);
        if (!outcome.failure.isEmpty())
            showMessage(outcome.changed ? QStringLiteral("元に戻しましたが、もう一度元に戻す事は出来ません。　\r\n(")
                                              + outcome.failure + QStringLiteral(")\r\n\r\n")
                                              + common::PrintablePath(path)
                                        : QStringLiteral("元に戻せませんでした。　\r\n(") + outcome.failure
                                              + QStringLiteral(")\r\n\r\n") + common::PrintablePath(path));
        JumpToFirstDiff = false;
        Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("EditRedo_Click"));
    }
}

void Frm_Linquell::OpenExt_Click()
{
    try {
        const std::optional<int> side = currentSideWithPath();
        if (!side)
            return;
        const QString path = Txt_FilePath[*side]->text();
        if (!askYesNo(QStringLiteral("関連づけられたプログラムを起動します。宜しいですか？　\r\n\r\n") + common::PrintablePath(path))
            || !isFileOrTell(path))
            return;
        const QFileInfo info(path);
        if (!info.suffix().isEmpty()) {
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
                throw common::Failure(CannotStart, QCoreApplication::applicationName(),
                                      QStringLiteral("関連づけられたプログラムを起動できません。 ") + common::PrintablePath(path));
            return;
        }
        // A file without an extension opens as a text.
        const QString program = common::GetAssociatedExe(QStringLiteral("txt"));
        if (program.isEmpty() || !platform::processStarter().startDetached(program, {path}))
            throw common::Failure(CannotStart, QCoreApplication::applicationName(),
                                  QStringLiteral("プログラムを起動できません。 ") + program + QStringLiteral(" \"")
                                      + common::PrintablePath(path) + u'"');
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("OpenExt_Click"));
    }
}

void Frm_Linquell::Properties_Click()
{
    try {
        const std::optional<int> side = currentSideWithPath();
        if (!side)
            return;
        const QString path = Txt_FilePath[*side]->text();
        if (!isFileOrTell(path))
            return;
        if (platform::ShowFileProperties(path) <= 32)
            showMessage(propertiesText(path), QStringLiteral("プロパティ"));
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Properties_Click"));
    }
}

void Frm_Linquell::DateChg_Click()
{
    try {
        const std::optional<int> side = currentSideWithPath();
        if (!side)
            return;
        const QString path = Txt_FilePath[*side]->text();
        const QString message = (*side == 0 ? QStringLiteral("ファイル１（旧）側のファイルを日時変更します。")
                                            : QStringLiteral("ファイル２（新）側のファイルを日時変更します。"))
                                + QStringLiteral("\r\n作成日時/更新日時が変更されます。");
        if (!isFileOrTell(path))
            return;
        DialogAnswers.DateChgDtm.clear();
        common::dialogs::Frm_DateChg dialog(DialogAnswers, ProgramVariant::Linquell, this);
        dialog.Lbl_Message->setText(message);
        showModal(dialog);
        if (DialogAnswers.DateChgDtm.isEmpty())
            return;
        // A read-only file keeps its dates, also for the superuser, whom the system would
        // let write it.
        const QFileInfo info(path);
        if (!info.permission(QFileDevice::WriteOwner) || !platform::SetFileDate(path, dialogDate(DialogAnswers.DateChgDtm)))
            showMessage(QStringLiteral("ファイル日時変更出来ませんでした。　\r\n\r\n") + common::PrintablePath(path));
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("DateChg_Click"));
    }
}

void Frm_Linquell::CodeChg_Click()
{
    try {
        const int side = sideOfColumn(Grd_Compare->col());
        if (side < 0)
            return;
        if (Cmb_FileCode[side]->currentText() == QLatin1String("BIN")) {
            showMessage(QStringLiteral("バイナリファイルの文字コード変換は出来ません　　"));
            return;
        }
        const QString path = Txt_FilePath[side]->text();
        const QString message = (side == 0 ? QStringLiteral("ファイル１（旧）側のファイルを文字コード変換します。")
                                           : QStringLiteral("ファイル２（新）側のファイルを文字コード変換します。"))
                                + QStringLiteral("\r\n変換前後の文字コードを指定してください。");
        const QString text = TextRead(side, true);
        DialogAnswers.CodeChgCd1 = DialogAnswers.CodeChgCd2 = Cmb_FileCode[side]->currentText();
        if (path.isEmpty() || !isFileOrTell(path))
            return;
        DialogAnswers.CodeChgCd3 = PresetLineEnd(text);
        common::dialogs::Frm_CodeChg dialog(DialogAnswers, ProgramVariant::Linquell, this);
        dialog.Lbl_Message->setText(message);
        showModal(dialog);
        if (DialogAnswers.CodeChgCd2.isEmpty())
            return;

        const FileContents source = ReadFileContents(path);
        const EditedContents converted
            = source.failure.isEmpty()
                  ? ConvertFileCode(source.bytes, DialogAnswers.CodeChgCd1, DialogAnswers.CodeChgCd2,
                                    DialogAnswers.CodeChgCd3)
                  : EditedContents{{}, {}, {}, source.failure};
        if (!converted.refusal.isEmpty()) {
            showMessage(QStringLiteral("文字コード変換出来ませんでした。　\r\n(") + converted.refusal
                        + QStringLiteral(")\r\n\r\n") + common::PrintablePath(path));
        } else {
            const FileEditor::Outcome outcome = FileEditing.replaceFile(path, converted.bytes, source.stamp);
            if (!outcome.changed)
                showMessage(QStringLiteral("文字コード変換出来ませんでした。　\r\n(") + outcome.failure
                            + QStringLiteral(")\r\n\r\n") + common::PrintablePath(path));
        }
        resetCodeLists();
        JumpToFirstDiff = false;
        Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        CodeListMuted = false;
        common::ShowSavedErr(QStringLiteral("CodeChg_Click"));
    }
}

void Frm_Linquell::SetLenOfRow_Click()
{
    try {
        Frm_LenOfRow dialog(LenOfRow, this);
        showModal(dialog);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SetLenOfRow_Click"));
    }
}

void Frm_Linquell::SetDiffColor_Click()
{
    try {
        Frm_Color dialog(Colors, IniPath, this);
        showModal(dialog);
        JumpToFirstDiff = false;
        Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SetDiffColor_Click"));
    }
}

} // namespace textcompare
