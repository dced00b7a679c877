#include "textcompare/window/frm_linquell.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/atomic_file.h"
#include "platform/flex_grid.h"
#include "platform/process_starter.h"
#include "platform/program_folder.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"
#include "textcompare/window/file_choice.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>

namespace textcompare {

namespace {

constexpr int KeyEnter = 13;
constexpr int CannotStart = 53;
constexpr int FileFailure = 75;
constexpr int NoSuchProperty = 438;

std::array<QString, 2> boxTexts(const std::array<QLineEdit *, 2> &boxes)
{
    return {boxes[0]->text(), boxes[1]->text()};
}

bool isFolder(const QString &path)
{
    return QFileInfo(path).isDir();
}

} // namespace

void Frm_Linquell::startOrFail(const QString &program, const QStringList &arguments)
{
    if (const QString refusal = platform::siblingStartRefusal(program); !refusal.isEmpty()) {
        platform::dialogs().messageBox(refusal, platform::MessageStyle::OkOnly, QString());
        return;
    }
    if (!platform::processStarter().startDetached(program, arguments))
        throw common::Failure(CannotStart, QCoreApplication::applicationName(),
                              QStringLiteral("プログラムを起動できません。 ") + program);
}

void Frm_Linquell::Txt_FilePath_KeyDown(int, int KeyCode, int)
{
    if (KeyCode == KeyEnter)
        Btn_DiffList_Click();
}

void Frm_Linquell::Txt_FilePath_Change(int Index)
{
    JumpToFirstDiff = true;
    // A binary comparison stays binary on both sides.
    if (Cmb_FileCode[1 - Index]->currentIndex() != FileCodeIndex::Bin)
        Cmb_FileCode[Index]->setCurrentIndex(FileCodeIndex::Auto);
}

void Frm_Linquell::Btn_InFilePath_Click(int Index)
{
    try {
        const std::optional<platform::ChosenFile> chosen = platform::dialogs().openFile(
            QString(), Txt_FilePath[Index]->text(), {{QStringLiteral("全てのﾌｧｲﾙ(*.*)"), {QStringLiteral("*.*")}}}, 0);
        if (!chosen)
            return;
        Txt_FilePath[Index]->setText(chosen->path);
        Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Btn_InFilePath_Click"));
    }
}

void Frm_Linquell::CompHistory_Click(int Index)
{
    try {
        const std::array<QString, 2> paths = HistoryPaths(HistoryItems.value(Index));
        if (paths == boxTexts(Txt_FilePath))
            return;
        Txt_FilePath[0]->clear();
        Txt_FilePath[1]->clear();
        QCoreApplication::processEvents();
        Txt_FilePath[0]->setText(paths[0]);
        Txt_FilePath[1]->setText(paths[1]);
        JumpToFirstDiff = true;
        Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("CompHistory_Click"));
    }
}

void Frm_Linquell::Change1To2_Click()
{
    try {
        CodeListReady = false;
        const std::array<QString, 2> codes{Cmb_FileCode[0]->currentText(), Cmb_FileCode[1]->currentText()};
        const std::array<QString, 2> paths = boxTexts(Txt_FilePath);
        Txt_FilePath[0]->setText(paths[1]);
        Txt_FilePath[1]->setText(paths[0]);
        Cmb_FileCode[0]->setCurrentText(codes[1]);
        Cmb_FileCode[1]->setCurrentText(codes[0]);
        CodeListReady = true;
        SwapInProgress = true;
        JumpToFirstDiff = false;
        Btn_DiffList_Click();
        SwapInProgress = false;
    } catch (...) {
        common::SaveErr();
        CodeListReady = true;
        SwapInProgress = false;
        common::ShowSavedErr(QStringLiteral("Change1To2_Click"));
    }
}

QString Frm_Linquell::clipboardFilePath(int side) const
{
    return platform::programFolder() + QStringLiteral("/Clipboard") + common::InstanceDigits(InstanceNumber) + u'-'
           + QString::number(side) + QStringLiteral(".txt");
}

void Frm_Linquell::ClipBoardPaste_Click()
{
    try {
        QWidget *active = focusWidget();
        const QString text = QGuiApplication::clipboard()->text();
        if (active != m_gridView) {
            auto *box = qobject_cast<QLineEdit *>(active);
            if (auto *list = qobject_cast<QComboBox *>(active); list && list->isEditable())
                box = list->lineEdit();
            if (!box)
                throw common::Failure(NoSuchProperty, QCoreApplication::applicationName(),
                                      QStringLiteral("このコントロールには貼り付けできません。"));
            box->insert(text);
            return;
        }
        const int col = Grd_Compare->col();
        const int side = col == 4 || col == 5 ? 2 : 1;
        if (text.isEmpty())
            return;
        if (platform::dialogs().messageBox(QStringLiteral("クリップボードのテキストを比較します。宜しいですか？　"),
                                           platform::MessageStyle::YesNo, QString())
            != platform::MessageAnswer::Yes)
            return;
        // UTF-8 holds every character of the clipboard; the file is this window's own, so
        // that two viewers never compare each other's clipboard, and the user's alone, since
        // pasted text can be anything.
        const QString path = clipboardFilePath(side);
        const QFileInfo place(path);
        if (const std::optional<QString> failure
            = platform::writePrivateFileAnew(place.absolutePath(), place.fileName(), text.toUtf8()))
            throw common::Failure(FileFailure, QCoreApplication::applicationName(),
                                  QStringLiteral("ファイルに書き込めません。 ") + path + QStringLiteral(" (") + *failure
                                      + u')');
        const int index = side - 1;
        Txt_FilePath[index]->setText(path);
        // Read as the UTF-8 it is: a short text could be judged to be another code.
        if (Cmb_FileCode[1 - index]->currentIndex() != FileCodeIndex::Bin) {
            CodeListReady = false;
            Cmb_FileCode[index]->setCurrentIndex(FileCodeIndex::Utf8);
            CodeListReady = true;
        }
        Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        CodeListReady = true;
        LockControls(false);
        common::ShowSavedErr(QStringLiteral("ClipBoardPaste_Click"));
    }
}

void Frm_Linquell::Chk_Nomi_Click()
{
    JumpToFirstDiff = true;
    if (CodeListReady)
        Btn_DiffList_Click();
}

void Frm_Linquell::Mnu_DiffListNomi_Click()
{
    Chk_Nomi->setChecked(!Chk_Nomi->isChecked());
}

void Frm_Linquell::Txt_FilePath_OLEDragDrop(int Index, const QStringList &paths)
{
    carryOutDrop(PlanDrop(DropPlace::PathBox, Index, paths, boxTexts(Txt_FilePath), isFolder));
}

void Frm_Linquell::Grd_Compare_OLEDragDrop(const QStringList &paths)
{
    carryOutDrop(PlanDrop(DropPlace::Grid, Grd_Compare->mouseCol(), paths, boxTexts(Txt_FilePath), isFolder));
}

void Frm_Linquell::Form_Drop(const QStringList &paths)
{
    carryOutDrop(PlanDrop(DropPlace::Window, 0, paths, boxTexts(Txt_FilePath), isFolder));
}

void Frm_Linquell::carryOutDrop(const DropPlan &plan)
{
    try {
        if (plan.emptyBoxes) {
            Txt_FilePath[0]->clear();
            Txt_FilePath[1]->clear();
        }
        if (plan.folderComparison) {
            startFolderComparison(*plan.folderComparison);
            return;
        }
        if (plan.automaticCodes) {
            for (QComboBox *codeList : Cmb_FileCode)
                codeList->setCurrentIndex(FileCodeIndex::Auto);
        }
        for (int side = 0; side < 2; ++side)
            if (plan.boxes[side])
                Txt_FilePath[side]->setText(*plan.boxes[side]);
        if (plan.compare)
            Btn_DiffList_Click();
    } catch (...) {
        // A drop ends quietly on a failure; the boxes keep what was set.
        common::SaveErr();
    }
}

void Frm_Linquell::startFolderComparison(const std::array<QString, 2> &paths)
{
    if (!QFileInfo(FolderCompareExePath).isFile()) {
        platform::dialogs().messageBox(QStringLiteral("フォルダ比較ツールが存在しません　\r\n\r\n") + FolderCompareExePath,
                                       platform::MessageStyle::OkOnly, QString());
        return;
    }
    startOrFail(FolderCompareExePath, {paths[0], paths[1]});
}

void Frm_Linquell::RenameUnicodeFilename(const QString &FileName)
{
    if (FileName.isEmpty())
        return;
    QString renamed;
    for (const QChar character : FileName) {
        const ushort code = character.unicode();
        if (code >= 0x100 && code <= 0x7FFF)
            renamed += QStringLiteral("_u") + QString::number(code, 16).toUpper() + u'_';
        else
            renamed += character;
    }
    // The rename refuses an existing target: no file is ever replaced.
    QFile file(FileName);
    if (!file.rename(renamed))
        throw common::Failure(FileFailure, QCoreApplication::applicationName(),
                              QStringLiteral("名前を変更できません。 ") + FileName + QStringLiteral(" → ") + renamed
                                  + QStringLiteral(" (") + file.errorString() + u')');
}

} // namespace textcompare
