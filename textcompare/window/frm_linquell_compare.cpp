#include "textcompare/window/frm_linquell.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/flex_grid.h"
#include "platform/user_dialogs.h"
#include "textcompare/editing/csv_export.h"
#include "textcompare/editing/excel_export.h"
#include "textcompare/editing/html_export.h"
#include "textcompare/engine/diff_display.h"

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

int Frm_Linquell::BatDiffList(int nomi, int saiteki, bool blnMsg, qint32 rowLimit)
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
        options.showStates = !sides.paths[0].isEmpty() && !sides.paths[1].isEmpty();
        options.rowLimit = rowLimit;

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
            Cmb_FileCode[other]->setCurrentIndex(FileCodeIndex::Bin);
        } else if (Cmb_FileCode[other]->currentIndex() == FileCodeIndex::Bin) {
            Cmb_FileCode[other]->setCurrentIndex(chosen);
        }
        runComparison(0);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("Cmb_FileCode_Click"));
    }
}

void Frm_Linquell::runComparison(int saiteki)
{
    CancelFlag = false;
    ProgrsFlag = true;
    setStatus(0, BusyText);
    // Events run during the comparison, so the inputs are held until it ends: a click
    // there must not start a second comparison inside this one. Esc still reaches the
    // window.
    m_client->setEnabled(false);
    QCoreApplication::processEvents();
    DiffList(saiteki);
    m_client->setEnabled(true);
    CancelFlag = false;
    ProgrsFlag = false;
    setStatus(0, QString());
}

void Frm_Linquell::DiffList(int saiteki)
{
    try {
        GridInit();
        LineCount1 = 0;
        LineCount2 = 0;
        BatDiffList(Chk_Nomi->isChecked() ? 1 : 0, saiteki, true, LineMax);
        // A side that could not be read whole was reported; nothing is shown as its
        // comparison.
        const bool unread = std::any_of(LastReadTexts.begin(), LastReadTexts.end(),
                                        [](const SideText &side) { return side.outcome == ReadOutcome::Failed; });
        if (CancelFlag || unread) {
            GridInit();
            return;
        }
        fillGrid();
    } catch (...) {
        common::SaveErr();
        GridInit();
        common::ShowSavedErr(QStringLiteral("DiffList"));
    }
}

void Frm_Linquell::fillGrid()
{
    platform::FlexGrid &grid = *Grd_Compare;
    const DisplayTable &table = DiffDisplayTable;
    grid.setRedraw(false);
    grid.setRows(std::max(2, table.lastRow() + 1));
    for (int row = 1; row <= table.lastRow(); ++row) {
        const DisplayTable::Row &cells = table.row(row);
        grid.setRowTexts(row, QStringList(cells.begin(), cells.begin() + DisplayTable::RowColor));
        if (!cells[DisplayTable::RowColor].isEmpty())
            grid.setRangeBackColor(row, 1, row, 5, cells[DisplayTable::RowColor].toUInt());
        if (!cells[DisplayTable::BandColor].isEmpty()) {
            const quint32 band = cells[DisplayTable::BandColor].toUInt();
            grid.setRangeBackColor(row, DisplayTable::Line1, row, DisplayTable::Line1, band);
            grid.setRangeBackColor(row, DisplayTable::Line2, row, DisplayTable::Line2, band);
        }
    }
    grid.setRedraw(true);
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
    const DifferenceExport source = exportSource();
    const bool saved = textcompare::BatExcelSave(source, XlsFormatCnd->isChecked(), Colors, fpath, batmode, no_same);
    const qint64 leftOut = common::ExcelRowsLeftOut(qint64(source.table.lastRow()) + FileDiffExcelHeadRows);
    if (saved && leftOut > 0) {
        // An unattended run fails with the notice; the window tells it and goes on.
        if (batmode)
            throw common::Failure(common::ExcelWriteFailedNumber, QStringLiteral("Linquell"),
                                  common::ExcelRowsLeftOutNotice(leftOut));
        platform::dialogs().messageBox(common::ExcelRowsLeftOutNotice(leftOut), platform::MessageStyle::OkOnly,
                                       QString());
    }
    return saved;
}

} // namespace textcompare
