#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "foldercompare/listing/content_compare.h"
#include "platform/flex_grid.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>

#include <limits>

namespace foldercompare {

namespace {

// Most entries the history menu keeps.
constexpr int HistoryLimit = 10;

} // namespace

listing::StatusColors Frm_Main::statusColors() const
{
    return {ColorUpd, ColorAdd, ColorDel, ColorDtm};
}

void Frm_Main::Btn_Compare_Click()
{
    try {
        if (Txt_FileInfoDate[0]->text().isEmpty() && Txt_FileInfoDate[1]->text().isEmpty()) {
            common::ShowMsg(QStringLiteral("情報取得を行なってください"));
            return;
        }
        openBusyBracket();
        compareAndNote();
        closeBusyBracket();
    } catch (...) {
        common::SaveErr();
        closeBusyBracket();
        common::ReportSavedErr(QStringLiteral("Btn_Compare_Click"));
    }
}

void Frm_Main::Btn_Compare_Sub()
{
    try {
        if (Txt_FileInfoDate[0]->text().isEmpty() && Txt_FileInfoDate[1]->text().isEmpty()) {
            common::ShowMsg(QStringLiteral("情報取得を行なってください  "));
            return;
        }
        compareAndNote();
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Btn_Compare_Sub"));
    }
}

void Frm_Main::compareAndNote()
{
    platform::FlexGrid &grid = *Grd_Compare;
    TopRowPath.clear();
    if (!ShowFirstDiff)
        TopRowPath = grid.textMatrix(grid.topRow(), listing::ResultColumn::Path);
    CompareFiles();
    const bool bothInformed = !Txt_FileInfoDate[0]->text().isEmpty() && !Txt_FileInfoDate[1]->text().isEmpty();
    if (grid.textMatrix(grid.rows() - 1, listing::ResultColumn::Number).isEmpty() && Chk_Nomi->isChecked()
        && bothInformed && !AbortFlag)
        grid.setTextMatrix(grid.fixedRows(), listing::ResultColumn::Path, QStringLiteral("差分データはありません"));
}

int Frm_Main::CompareFiles()
{
    m_comparisonComplete = false;
    if (AbortFlag)
        return 0;
    BusyFlag = true;
    QElapsedTimer timer;
    timer.start();
    LockControls(true);
    try {
        if (!Txt_FolderPath[0]->text().isEmpty() && !Txt_FolderPath[1]->text().isEmpty())
            addHistory(Txt_FolderPath[0]->text() + u'\t' + Txt_FolderPath[1]->text());

        listing::CompareRequest request;
        for (int side = 0; side < 2; ++side) {
            request.hasInformation[side] = !Txt_FileInfoDate[side]->text().isEmpty();
            request.listingFile[side] = FileInfoLog[side];
            request.sideRoot[side] = SideRoot[side];
            request.pathText[side] = Txt_FolderPath[side]->text();
            request.fromServerListing[side] = GatheredPath[side].startsWith(QLatin1String("ftp://"));
        }
        request.gathered = m_gathered;
        request.includePatterns = Txt_Ext[0]->text();
        request.excludePatterns = Txt_Ext[1]->text();
        request.differencesOnly = Chk_Nomi->isChecked();
        request.compareContents = Chk_Data->isChecked();
        request.listSubfolders = Chk_Folder->isChecked();
        request.updDateNone = UpdDateNone->isChecked();
        request.newDateAsta = NewDateAsta->isChecked();
        request.textCodeDsp = TextCodeDsp->isChecked();
        request.colors = statusColors();
        // The row limit keeps the window responsive; an unattended list holds every row.
        request.lineMax = common::BatchMode ? std::numeric_limits<int>::max() : LineMax;
        request.topRowPath = TopRowPath;
        request.showFirstDiff = ShowFirstDiff;

        CompareCount = 0;
        DiffRowCount = 0;
        listing::ContentComparer content({TextCrlfNone->isChecked(), TextCodeDsp->isChecked(), BinJdExt}, *this);
        const listing::CompareOutcome outcome = listing::CompareListings(request, *Grd_Compare, RowTipTable, *this, content);
        CompareCount = outcome.compareCount;
        DiffRowCount = outcome.diffRowCount;
        ShowFirstDiff = outcome.showFirstDiff;
        // A side compared again without a new gathering keeps what the program left on it.
        const std::array<listing::ComparedListing, 2> previous = ComparedSides;
        ComparedSides = outcome.compared;
        for (int side = 0; side < 2; ++side)
            ComparedSides[side].keepNotesOf(previous[side]);
        fitNumberColumn();

        LockControls(false);
        setWindowTitle(BaseCaption);
        if (outcome.rowLimitReached) {
            QCoreApplication::processEvents();
            common::ShowMsg(outcome.limitMessage);
            QCoreApplication::processEvents();
        }
        if (!content.unreadablePaths().isEmpty()) {
            // Those rows say "変更" without a comparison behind them: an unattended run
            // has not done its work.
            if (common::BatchMode)
                common::BatchFailed = true;
            common::ShowMsg(listing::UnreadableFilesMessage(content.unreadablePaths()));
        }
        Grd_Compare_SelChange();
        setStatus(3, QStringLiteral("比較件数:") + QString::number(CompareCount));
        setStatusTip(3, QStringLiteral("比較時間:") + QString::number(double(timer.elapsed()) / 1000.0, 'f', 1)
                            + QStringLiteral("秒"));
        m_comparisonComplete = true;
        return DiffRowCount;
    } catch (...) {
        common::SaveErr();
        Grd_Compare->setRedraw(true);
        LockControls(false);
        setWindowTitle(BaseCaption);
        common::ReportSavedErr(QStringLiteral("CompareFiles"));
        return DiffRowCount;
    }
}

void Frm_Main::addHistory(const QString &key)
{
    if (!HistoryItems.isEmpty() && HistoryItems.first() == key)
        return;
    const qsizetype found = HistoryItems.indexOf(key);
    if (found >= 0)
        HistoryItems.removeAt(found);
    else if (HistoryItems.size() >= HistoryLimit)
        HistoryItems.removeLast();
    HistoryItems.prepend(key);
    showHistory();
    if (common::BatchMode)
        return;
    for (qsizetype i = 0; i < HistoryItems.size(); ++i)
        if (!common::WriteSettingOrReport(QStringLiteral("HISTORY"), QStringLiteral("Item") + QString::number(i),
                                          HistoryItems.at(i), IniFilePath, QStringLiteral("CompareFiles")))
            return;
}

} // namespace foldercompare
