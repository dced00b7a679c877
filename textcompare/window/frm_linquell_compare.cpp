#include "textcompare/window/frm_linquell.h"

#include "common/common_module.h"
#include "common/excel_writer.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"
#include "textcompare/editing/csv_export.h"
#include "textcompare/editing/excel_export.h"
#include "textcompare/editing/html_export.h"
#include "textcompare/engine/diff_display.h"
#include "textcompare/window/diff_grid_rows.h"
#include "textcompare/window/file_choice.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

#include <algorithm>
#include <memory>

namespace textcompare {

namespace {

const QString BusyText = QStringLiteral("処理中(ESCで中止)");

bool bothPathsSet(const std::array<QLineEdit *, 2> &boxes)
{
    return !boxes[0]->text().isEmpty() && !boxes[1]->text().isEmpty();
}

} // namespace

DiffRunFlags Frm_Linquell::runFlags()
{
    return {&CancelFlag, &ProgrsFlag, [] { QCoreApplication::processEvents(); }};
}

TextReadContext Frm_Linquell::readContext(bool blnMsg)
{
    TextReadContext context{BinJdExt, blnMsg, runFlags(), {}};
    context.sources.tempFilePaths = TempFilePaths;
    context.sources.serverHttp = Server_HTTP;
    context.sources.serverFtp = Server_FTP;
    context.sources.stallSeconds = TimeOut;
    context.sources.maxLine = MaxLine;
    context.sources.sheetNo = SheetNo;
    return context;
}

TextSides Frm_Linquell::currentSides() const
{
    TextSides sides;
    for (int side = 0; side < 2; ++side) {
        sides.paths[side] = Txt_FilePath[side]->text();
        sides.codeList[side] = Cmb_FileCode[side]->currentIndex();
    }
    sides.readCodeIndex = ReadCodeIndex;
    return sides;
}

void Frm_Linquell::applySides(const TextSides &sides)
{
    ReadCodeIndex = sides.readCodeIndex;
    // The reading's own changes of the lists are no user choices.
    CodeListMuted = true;
    for (int side = 0; side < 2; ++side)
        Cmb_FileCode[side]->setCurrentIndex(sides.codeList[side]);
    CodeListMuted = false;
}

QString Frm_Linquell::TextRead(int Index, bool blnMsg)
{
    TextSides sides = currentSides();
    const SideText text = textcompare::TextRead(sides, Index, readContext(blnMsg));
    applySides(sides);
    return text.text.toString();
}

int Frm_Linquell::BatDiffList(int nomi, int saiteki, bool blnMsg)
{
    try {
        TextSides sides = currentSides();
        LastReadTexts = ReadBothTexts(sides, readContext(blnMsg));
        applySides(sides);

        DiffDisplayOptions options;
        options.byPosition = sides.codeList[0] == FileCodeIndex::Bin || sides.codeList[1] == FileCodeIndex::Bin;
        options.ignoreBlanks = NoSpaceCheck->isChecked();
        options.ignoreCase = NoULChrCheck->isChecked();
        options.judgementLineCount = Cmb_HanteiLine->currentText().toInt();
        options.lenOfRow = LenOfRow;
        options.colors = Colors;
        options.bandColumn = Chk_Nomi->isChecked();
        // The window shows a single file unmarked; an unattended run marks its lines, so
        // that an export of an added or deleted file lists them as such.
        options.showStates = BatchRun || (!sides.paths[0].isEmpty() && !sides.paths[1].isEmpty());

        DiffCounts previous;
        previous.LineCount1 = LineCount1;
        previous.LineCount2 = LineCount2;
        FactorListMuted = saiteki != 0;
        DiffDisplay display = BuildDiffDisplay(LastReadTexts[0].text, LastReadTexts[1].text, nomi, saiteki, options,
                                               runFlags(), previous);
        if (display.searchedFactor > 0)
            Cmb_HanteiLine->setCurrentText(QString::number(display.searchedFactor));
        FactorListMuted = false;

        DiffDisplayTable = std::move(display.table);
        LineCount1 = display.counts.LineCount1;
        LineCount2 = display.counts.LineCount2;
        ResultRowCount = display.counts.ResultRowCount;
        DiffRowCount = display.counts.DiffRowCount;
        ComparedWrapped = options.lenOfRow > 0 && !options.byPosition;
        return display.markedRows;
    } catch (...) {
        common::SaveErr();
        FactorListMuted = false;
        common::RaiseSavedErr();
    }
}

void Frm_Linquell::Cmb_FileCode_Click(int Index)
{
    if (!CodeListReady || CodeListMuted)
        return;
    try {
        const int other = 1 - Index;
        const int chosen = Cmb_FileCode[Index]->currentIndex();
        if (Txt_FilePath[Index]->text().isEmpty() || chosen == ReadCodeIndex[Index] || chosen == FileCodeIndex::Auto)
            return;
        ReadCodeIndex[Index] = chosen;
        if (chosen == FileCodeIndex::Bin) {
            ReadCodeIndex[other] = FileCodeIndex::Bin;
            CodeListMuted = true;
            Cmb_FileCode[other]->setCurrentIndex(FileCodeIndex::Bin);
            CodeListMuted = false;
        } else if (Cmb_FileCode[other]->currentIndex() == FileCodeIndex::Bin) {
            // The other side is read in the new code by the comparison below; its own
            // click would only run the same comparison once more.
            CodeListMuted = true;
            Cmb_FileCode[other]->setCurrentIndex(chosen);
            CodeListMuted = false;
        }
        Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        CodeListMuted = false;
        common::ShowSavedErr(QStringLiteral("Cmb_FileCode_Click"));
    }
}

void Frm_Linquell::Btn_DiffList_Click()
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        if (Txt_FilePath[0]->text().isEmpty() && Txt_FilePath[1]->text().isEmpty()) {
            platform::dialogs().messageBox(QStringLiteral("比較するファイルを指定してください。　"),
                                           platform::MessageStyle::OkOnly, QString());
            Chk_HanteiLine->setChecked(false);
            return;
        }
        TopLineNumbers = {QStringLiteral("-1"), QStringLiteral("-1")};
        if (!JumpToFirstDiff) {
            const int top = grid.topRow();
            const QString line1 = grid.textMatrix(top, DisplayTable::Line1);
            const QString line2 = grid.textMatrix(top, DisplayTable::Line2);
            TopLineNumbers = SwapInProgress ? std::array<QString, 2>{line2, line1} : std::array<QString, 2>{line1, line2};
        }
        SwapInProgress = false;
        CancelFlag = false;
        ProgrsFlag = true;
        setStatus(0, BusyText);
        DiffList(Chk_HanteiLine->isChecked() ? 1 : 0);
        Chk_HanteiLine->setChecked(false);
        CancelFlag = false;
        ProgrsFlag = false;
        setStatus(0, QString());
    } catch (...) {
        common::SaveErr();
        CancelFlag = false;
        ProgrsFlag = false;
        setStatus(0, QString());
        common::ShowSavedErr(QStringLiteral("Btn_DiffList_Click"));
    }
}

void Frm_Linquell::Mnu_DiffList_Click()
{
    Btn_DiffList_Click();
}

void Frm_Linquell::Chk_HanteiLine_Click()
{
    try {
        if (Chk_HanteiLine->isChecked())
            Btn_DiffList_Click();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Chk_HanteiLine_Click"));
    }
}

void Frm_Linquell::Cmb_HanteiLine_Click()
{
    if (FactorListMuted || !bothPathsSet(Txt_FilePath))
        return;
    try {
        QCoreApplication::processEvents();
        JumpToFirstDiff = false;
        Btn_DiffList_Click();
        const QString factor = Cmb_HanteiLine->currentText();
        common::WriteSetting(QStringLiteral("DSP"), QStringLiteral("HanteiLine"),
                             factor.toInt() > 1 ? factor : QStringLiteral("1"), IniPath);
        Chk_HanteiLine->setChecked(false);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Cmb_HanteiLine_Click"));
    }
}

void Frm_Linquell::recordHistory()
{
    if (!bothPathsSet(Txt_FilePath))
        return;
    if (!AddToHistory(HistoryItems, Txt_FilePath[0]->text() + u'\t' + Txt_FilePath[1]->text()))
        return;
    showHistory();
    for (int index = 0; index < HistoryItems.size(); ++index)
        common::WriteSetting(QStringLiteral("HISTORY"), QStringLiteral("Item") + QString::number(index),
                             HistoryItems[index], IniPath);
}

int Frm_Linquell::DiffList(int saiteki)
{
    platform::FlexGrid &grid = *Grd_Compare;
    try {
        LockControls(true);
        recordHistory();
        const int rememberedRow = grid.row();
        const int rememberedCol = grid.col();
        const int previousTop = grid.topRow();
        grid.setRedraw(false);

        GridInit();
        LineCount1 = LineCount2 = ResultRowCount = DiffRowCount = 0;
        int count = BatDiffList(Chk_Nomi->isChecked() ? 1 : 0, saiteki, true);
        // A side that could not be read is no empty text: comparing it would show every
        // line of the other side as added or deleted.
        const bool unreadable = LastReadTexts[0].outcome == ReadOutcome::Failed
                                || LastReadTexts[1].outcome == ReadOutcome::Failed;
        if (CancelFlag || unreadable) {
            LineCount1 = LineCount2 = ResultRowCount = DiffRowCount = 0;
            DiffDisplayTable = DisplayTable();
            DiffDisplayTable.append(DisplayHeaderRow());
            count = 0;
        }
        setStatus(1, QStringLiteral("ファイル1行数:") + QString::number(LineCount1));
        setStatus(2, QStringLiteral("ファイル2行数:") + QString::number(LineCount2));
        setStatus(3, QStringLiteral("比較行数:") + QString::number(ResultRowCount) + u'('
                         + QString::number(DiffRowCount) + u')');

        if (DiffDisplayTable.lastRow() < 1) {
            if (Chk_Nomi->isChecked() && !CancelFlag && !unreadable && (LineCount1 > 0 || LineCount2 > 0))
                grid.setTextMatrix(grid.fixedRows(), DisplayTable::Text1, QStringLiteral("差分データはありません"));
            grid.setRedraw(true);
            LockControls(false);
            return 0;
        }

        int lastShown = DiffDisplayTable.lastRow();
        if (lastShown > LineMax) {
            platform::dialogs().messageBox(
                QStringLiteral("行数が多すぎるため全ての行を表示しません。ごめんなさい。　　\r\n表示行数MAXを")
                    + QString::number(LineMax) + QStringLiteral("行に制限しています。"),
                platform::MessageStyle::OkOnly, QString());
            lastShown = LineMax;
        }
        std::optional<BlankMarks> marks;
        if (DspSpaceChar->isChecked())
            marks = BlankMarks{DspSpTab, DspSpHsp, DspSpZsp};
        grid.setRowProvider(std::make_shared<DiffGridRows>(DiffDisplayTable, marks));
        grid.setRows(lastShown + 1);
        fitNumberColumns(lastShown);
        m_barRuns = DiffBarRuns(DiffDisplayTable, grid.fixedRows(), lastShown);
        const int target = viewTarget(lastShown, previousTop);

        DrawDiffBar();
        grid.setRedraw(true);
        placeView(target, rememberedRow, rememberedCol);
        JumpToFirstDiff = false;
        LockControls(false);
        focusAfterRun();
        Grd_Compare_Scroll();
        Grd_Compare_RowColChange();
        return count;
    } catch (...) {
        common::SaveErr();
        grid.setRedraw(true);
        LockControls(false);
        common::ShowSavedErr(QStringLiteral("DiffList"));
        return 0;
    }
}

int Frm_Linquell::viewTarget(int lastShownRow, int fallback) const
{
    int target = fallback;
    const int first = Grd_Compare->fixedRows();
    if (JumpToFirstDiff) {
        DiffDisplayTable.visitMarks(first, lastShownRow, [&target](int row, const DisplayTable::RowMarks &marks) {
            if (!marks.marked)
                return true;
            target = row;
            return false;
        });
        return target;
    }
    // The lines that were at the top: "" for a side without a line there, "-1" for none.
    bool number1 = false;
    bool number2 = false;
    const int line1 = TopLineNumbers[0].toInt(&number1);
    const int line2 = TopLineNumbers[1].toInt(&number2);
    DiffDisplayTable.visitMarks(first, lastShownRow, [&](int row, const DisplayTable::RowMarks &marks) {
        if ((number1 && marks.line[0] == line1) || (number2 && marks.line[1] == line2))
            target = row;
        return true;
    });
    return target;
}

void Frm_Linquell::placeView(int target, int rememberedRow, int rememberedCol)
{
    platform::FlexGrid &grid = *Grd_Compare;
    if (!grid.textMatrix(grid.fixedRows(), 0).isEmpty() && target < grid.rows()) {
        if (!grid.rowIsVisible(target))
            grid.setTopRow(target);
        grid.setRow(target);
        grid.setCol(grid.fixedCols());
        if (!JumpToFirstDiff) {
            if (rememberedRow >= grid.fixedRows() && rememberedRow < grid.rows())
                grid.setRow(rememberedRow);
            if (rememberedCol >= grid.fixedCols() && rememberedCol < grid.cols())
                grid.setCol(rememberedCol);
        }
        grid.setFocusRect(0);
    } else {
        grid.setCurrentCell(grid.fixedRows(), grid.fixedCols());
        grid.setFocusRect(1);
    }
}

void Frm_Linquell::focusAfterRun()
{
    const platform::FlexGrid &grid = *Grd_Compare;
    if (!grid.textMatrix(grid.row(), 0).isEmpty())
        m_gridView->setFocus();
    else if (Txt_FilePath[0]->text().isEmpty())
        Txt_FilePath[0]->setFocus();
    else if (Txt_FilePath[1]->text().isEmpty())
        Txt_FilePath[1]->setFocus();
}

DifferenceExport Frm_Linquell::exportSource()
{
    auto pump = std::make_shared<EventPump>(runFlags());
    return {DiffDisplayTable, {Txt_FilePath[0]->text(), Txt_FilePath[1]->text()}, DiffRowCount, [pump] { pump->tick(); }};
}

void Frm_Linquell::BatHtmlSave(const QString &fpath, bool, bool no_same)
{
    textcompare::BatHtmlSave(exportSource(), CsvHtmlUni->isChecked(), fpath, no_same);
}

void Frm_Linquell::BatCsvSave(const QString &fpath, const QString &sepa, bool, bool no_same)
{
    textcompare::BatCsvSave(exportSource(), CsvHtmlUni->isChecked(), CsvDblQuot->isChecked(), fpath, sepa, no_same);
}

bool Frm_Linquell::BatExcelSave(const QString &fpath, bool batmode, bool no_same)
{
    common::ExcelLeftOut leftOut;
    const bool saved = textcompare::BatExcelSave(exportSource(), XlsFormatCnd->isChecked(), Colors, fpath, batmode,
                                                 no_same, &leftOut);
    const QString notice = common::ExcelLeftOutNotice(leftOut);
    if (saved && !notice.isEmpty()) {
        // An unattended run fails with the notice; the window tells it and goes on.
        if (batmode)
            throw common::Failure(common::ExcelWriteFailedNumber, QStringLiteral("Linquell"), notice);
        platform::dialogs().messageBox(notice, platform::MessageStyle::OkOnly, QString());
    }
    return saved;
}

} // namespace textcompare
