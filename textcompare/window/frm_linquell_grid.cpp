#include "textcompare/window/frm_linquell.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/process_starter.h"
#include "platform/twips.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"
#include "textcompare/window/command_enabling.h"
#include "textcompare/window/editor_command.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>

#include <cmath>

namespace textcompare {

namespace {

constexpr int RightButton = 2;
constexpr int KeyEnter = 13;
constexpr int NoSuchProperty = 438;
constexpr int ToolTipLength = 999;

} // namespace

RowCommandInputs Frm_Linquell::rowCommandInputs() const
{
    const platform::FlexGrid &grid = *Grd_Compare;
    RowCommandInputs inputs;
    inputs.selection = GetSelection();
    inputs.col = grid.col();
    inputs.dataPresent = !grid.textMatrix(grid.fixedRows(), 0).isEmpty();
    for (int side = 0; side < 2; ++side) {
        inputs.paths[side] = Txt_FilePath[side]->text();
        inputs.codeTexts[side] = Cmb_FileCode[side]->currentText();
        inputs.codeIndexes[side] = Cmb_FileCode[side]->currentIndex();
        inputs.documents[side] = LastReadTexts[side].document;
    }
    inputs.nomi = Chk_Nomi->isChecked();
    inputs.lastEditPath = FileEditing.LastEditPath;
    inputs.wrapped = ComparedWrapped;
    return inputs;
}

RowCommandStates Frm_Linquell::rowCommandStates() const
{
    return EnabledRowCommands(rowCommandInputs());
}

void Frm_Linquell::Grd_Compare_SelChange()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const RowCommandStates states = rowCommandStates();
        const bool enabled[] = {states.LineText,  states.OpenText,   states.OpenExt,     states.Properties,
                                states.DateChg,   states.CodeChg,    states.LineTextE,   states.LineDelete,
                                states.LineInsert1, states.LineInsert2, states.LineCopy, states.EditRedo};
        const QList<RowCommand *> commands = governedRowCommands();
        for (qsizetype index = 0; index < commands.size(); ++index) {
            commands[index]->menu->setEnabled(enabled[index]);
            commands[index]->popup->setEnabled(enabled[index]);
        }
    } catch (...) {
        common::SaveErr();
        grid.setRedraw(true);
        common::ShowSavedErr(QStringLiteral("Grd_Compare_SelChange"));
    }
}

void Frm_Linquell::Grd_Compare_MouseDown(int Button, int, int, int)
{
    if (Button != RightButton)
        return;
    platform::FlexGrid &grid = *Grd_Compare;
    const std::array<int, 4> selection = GetSelection();
    const int row = grid.mouseRow();
    const int col = grid.mouseCol();
    if (row >= selection[0] && row <= selection[2] && col >= selection[1] && col <= selection[3])
        return;
    if (col <= 0 || row < grid.fixedRows())
        return;
    grid.setRow(row);
    grid.setCol(col);
}

void Frm_Linquell::Grd_Compare_MouseUp(int Button, int, int, int)
{
    if (Button == RightButton)
        PopUp->popup(QCursor::pos());
}

void Frm_Linquell::Grd_Compare_DblClick()
{
    OpenText_Click();
}

void Frm_Linquell::Grd_Compare_KeyDown(int KeyCode, int)
{
    if (KeyCode == KeyEnter)
        LineText_Click();
}

void Frm_Linquell::Grd_Compare_MouseMove(int, int, int, int Y)
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        const int row = grid.mouseRow();
        const int col = grid.mouseCol();
        const bool insideRows = Y < qint64(grid.rows()) * grid.rowHeight(0);
        if (col < 0 || col >= grid.cols() || row < 0 || row >= grid.rows() || !insideRows) {
            grid.setToolTipText(QString());
            return;
        }
        const QString text = grid.textMatrix(row, col).left(ToolTipLength);
        const int needed = int(std::lround(double(QFontMetrics(font()).horizontalAdvance(u' ' + text))
                                           * platform::TwipsPerPixel));
        grid.setToolTipText(grid.colWidth(col) < needed ? text : QString());
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Grd_Compare_MouseMove"));
    }
}

void Frm_Linquell::OpenText_Click()
{
    try {
        const platform::FlexGrid &grid = *Grd_Compare;
        const int side = sideOfColumn(grid.col());
        if (side < 0)
            return;
        const QString path = Txt_FilePath[side]->text();
        if (!IsLocalPath(path))
            return;
        const int lineColumn = side == 0 ? DisplayTable::Line1 : DisplayTable::Line2;
        const int line = EditorLine(grid.row(), grid.fixedRows(), grid.rows() - 1,
                                    [&grid, lineColumn](int row) { return grid.textMatrix(row, lineColumn).toInt(); });
        if (path.isEmpty())
            return;
        if (!QFileInfo(path).isFile()) {
            platform::dialogs().messageBox(QStringLiteral("ファイルが存在しません。　\r\n\r\n") + common::PrintablePath(path),
                                           platform::MessageStyle::OkOnly, QString());
            return;
        }
        const QString lineText = QString::number(line);
        const std::optional<ProgramStart> start = EditorStart(Editor, path, lineText);
        if (!start || !platform::processStarter().startDetached(start->program, start->arguments))
            platform::dialogs().messageBox(QStringLiteral("テキストエディタを起動出来ませんでした。　\r\n\r\n")
                                               + EditorCommandText(Editor, path, lineText),
                                           platform::MessageStyle::OkOnly, QString());
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("OpenText_Click"));
    }
}

void Frm_Linquell::AllRowSelect_Click()
{
    try {
        platform::FlexGrid &grid = *Grd_Compare;
        QWidget *active = focusWidget();
        if (active == m_gridView) {
            if (grid.textMatrix(grid.fixedRows(), 0).isEmpty())
                return;
            grid.setSelection(grid.fixedRows(), grid.fixedCols(), grid.rows() - 1, grid.cols() - 1);
            return;
        }
        if (auto *box = qobject_cast<QLineEdit *>(active))
            box->selectAll();
        else if (auto *list = qobject_cast<QComboBox *>(active); list && list->isEditable())
            list->lineEdit()->selectAll();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("AllRowSelect_Click"));
    }
}

void Frm_Linquell::ClipBoardCopy_Click()
{
    try {
        const std::array<int, 4> selection = GetSelection();
        QWidget *active = focusWidget();
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (active != m_gridView) {
            clipboard->clear();
            auto *box = qobject_cast<QLineEdit *>(active);
            if (auto *list = qobject_cast<QComboBox *>(active); list && list->isEditable())
                box = list->lineEdit();
            if (!box)
                throw common::Failure(NoSuchProperty, QCoreApplication::applicationName(),
                                      QStringLiteral("このコントロールには選択された文字列がありません。"));
            clipboard->setText(box->selectedText());
            return;
        }
        LockControls(true);
        const platform::FlexGrid &grid = *Grd_Compare;
        QString text;
        const bool oneTextColumn = selection[1] == selection[3]
                                   && (selection[1] == DisplayTable::Text1 || selection[1] == DisplayTable::Text2);
        for (int row = selection[0]; row <= selection[2]; ++row) {
            if (oneTextColumn) {
                // The lines as read, tabs and blanks as they are.
                text += DiffDisplayTable.cell(row, selection[1]);
            } else {
                QStringList cells;
                for (int col = selection[1]; col <= selection[3]; ++col)
                    cells.append(grid.textMatrix(row, col));
                text += cells.join(u'\t');
            }
            text += QStringLiteral("\r\n");
            pumpEvents();
        }
        clipboard->clear();
        clipboard->setText(text);
        LockControls(false);
        m_gridView->setFocus();
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ShowSavedErr(QStringLiteral("ClipBoardCopy_Click"));
    }
}

void Frm_Linquell::Btn_DiffClear_Click()
{
    try {
        Txt_FilePath[0]->setText(QString());
        Txt_FilePath[1]->setText(QString());
        for (QComboBox *codeList : Cmb_FileCode)
            codeList->setCurrentIndex(FileCodeIndex::Auto);
        GridInit();
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ShowSavedErr(QStringLiteral("Btn_DiffClear_Click"));
    }
}

void Frm_Linquell::Mnu_DiffClear_Click()
{
    Btn_DiffClear_Click();
}

} // namespace textcompare
