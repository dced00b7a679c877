#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/dialogs/main_window_frame.h"
#include "common/saved_error.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

namespace foldercompare {

void Frm_Main::Form_Activate()
{
    // Every activation queues a call, also those that the boxes and the event pumps of
    // the first one cause while it gathers: only the first call runs.
    if (InputEventsOn || m_activationStarted)
        return;
    m_activationStarted = true;
    try {
        openBusyBracket();

        applySettings(LoadDirgleamSettings(IniFilePath));
        m_settingsLoaded = true;

        const common::CommandLineOptionSlots &options = common::CommandLineOptions;
        if (!options[2].isNull())
            Chk_Nomi->setChecked(options[2].toBool());
        if (!options[3].isNull())
            Chk_Data->setChecked(options[3].toBool());
        if (!options[4].isNull())
            Chk_Folder->setChecked(options[4].toBool());
        if (!options[5].isNull())
            Txt_Ext[0]->setText(options[5].toString());
        if (!options[6].isNull())
            Txt_Ext[1]->setText(options[6].toString());

        const std::array<bool, 2> given{!Txt_FolderPath[0]->text().isEmpty(), !Txt_FolderPath[1]->text().isEmpty()};
        const bool pathsGiven = given[0] || given[1];
        bool compareRequest = false;
        if (pathsGiven)
            compareRequest = gatherGivenPaths();
        else if (InstanceNumber == 1)
            restoreLastRun();
        if (common::BatchMode && !batchSidesGathered(given)) {
            endFailedBatch();
            return;
        }
        if (compareRequest)
            Btn_Compare_Sub();
        if (common::BatchKind != 0) {
            // A comparison that failed would export a list that reads like a result.
            if (!m_comparisonComplete) {
                if (!compareRequest)
                    common::ShowMsg(QStringLiteral("フォルダを指定してください。　"));
                endFailedBatch();
                return;
            }
            batchExport();
            return;
        }

        InputEventsOn = true;
        closeBusyBracket();
    } catch (...) {
        common::SaveErr();
        InputEventsOn = true;
        closeBusyBracket();
        common::ReportSavedErr(QStringLiteral("Form_Activate"));
    }
}

bool Frm_Main::batchSidesGathered(const std::array<bool, 2> &given)
{
    bool gathered = true;
    for (int side = 0; side < 2; ++side) {
        if (given[side] && Txt_FileInfoDate[side]->text().isEmpty()) {
            gathered = false;
            const QString path = Txt_FolderPath[side]->text();
            common::ShowMsg(QStringLiteral("フォルダ%1の情報を取得できませんでした。出力ファイルは作成しません。 ")
                                .arg(side == 0 ? QStringLiteral("１（旧）") : QStringLiteral("２（新）"))
                            + common::PrintablePath(path));
        }
    }
    return gathered;
}

void Frm_Main::endFailedBatch()
{
    common::BatchFailed = true;
    InputEventsOn = true;
    closeBusyBracket();
}

void Frm_Main::applySettings(const DirgleamSettings &s)
{
    RecyclerBackup->setChecked(s.RecyclerBackup);
    TextCrlfNone->setChecked(s.TextCrlfNone);
    TextCodeDsp->setChecked(s.TextCodeDsp);
    UpdDateNone->setChecked(s.UpdDateNone);
    NewDateAsta->setChecked(s.NewDateAsta);
    CsvDblQuot->setChecked(s.CsvDblQuot);
    CsvSizeFit->setChecked(s.CsvSizeFit);
    TxtDifAlll->setChecked(s.TxtDifAlll);
    TxtDifNomi->setChecked(s.TxtDifNomi);
    TxtDifKeis->setChecked(s.TxtDifKeis);
    ColorUpd = s.ColorUpd;
    ColorAdd = s.ColorAdd;
    ColorDel = s.ColorDel;
    ColorDtm = s.ColorDtm;
    BinJdExt = s.BinJdExt;
    HistoryItems = s.History;
    showHistory();
    Server_FTP = s.Server_FTP;
    SideFileNameCode = s.FlNmCode;
    Txt_Ext[0]->setText(s.Ext[0]);
    Txt_Ext[1]->setText(s.Ext[1]);
    Chk_Folder->setChecked(s.Folder == 1);
    Chk_Nomi->setChecked(s.Nomi == 1);
    Chk_Data->setChecked(s.Data == 1);
    FolderNum = s.FolderNum;
    LineMax = s.LineMax;
}

void Frm_Main::showHistory()
{
    CompHistory->clear();
    for (const QString &item : HistoryItems)
        CompHistory->addAction(common::HistoryItemLabel(item));
    CompHistory->menuAction()->setVisible(!HistoryItems.isEmpty());
}

void Frm_Main::restoreLastRun()
{
    const LastRunState last = LoadLastRunState(IniFilePath);
    for (int side = 0; side < 2; ++side) {
        Txt_FileInfoDate[side]->clear();
        Txt_FolderPath[side]->setText(last.Path[side]);
        GatheredPath[side] = last.PathBak[side];
        if (!Txt_FolderPath[side]->text().isEmpty())
            SideRoot[side] = sideRootFor(side);
    }
    SetFileInfoDate(0);
    SetFileInfoDate(1);
    for (int panel = 0; panel < 3; ++panel) {
        setStatus(panel + 1, last.StatusTxt[panel]);
        setStatusTip(panel + 1, last.StatusTip[panel]);
    }
}

DirgleamSettings Frm_Main::currentSettings() const
{
    DirgleamSettings s;
    s.RecyclerBackup = RecyclerBackup->isChecked();
    s.TextCrlfNone = TextCrlfNone->isChecked();
    s.TextCodeDsp = TextCodeDsp->isChecked();
    s.UpdDateNone = UpdDateNone->isChecked();
    s.NewDateAsta = NewDateAsta->isChecked();
    s.CsvDblQuot = CsvDblQuot->isChecked();
    s.CsvSizeFit = CsvSizeFit->isChecked();
    s.TxtDifAlll = TxtDifAlll->isChecked();
    s.TxtDifNomi = TxtDifNomi->isChecked();
    s.TxtDifKeis = TxtDifKeis->isChecked();
    s.ColorUpd = ColorUpd;
    s.ColorAdd = ColorAdd;
    s.ColorDel = ColorDel;
    s.ColorDtm = ColorDtm;
    s.BinJdExt = BinJdExt;
    s.History = HistoryItems;
    s.Server_FTP = Server_FTP;
    s.FlNmCode = SideFileNameCode;
    s.Ext = {Txt_Ext[0]->text(), Txt_Ext[1]->text()};
    s.Folder = Chk_Folder->isChecked() ? 1 : 0;
    s.Nomi = Chk_Nomi->isChecked() ? 1 : 0;
    s.Data = Chk_Data->isChecked() ? 1 : 0;
    s.FolderNum = FolderNum;
    s.LineMax = LineMax;
    return s;
}

LastRunState Frm_Main::currentLastRun() const
{
    LastRunState last;
    for (int side = 0; side < 2; ++side) {
        last.Path[side] = Txt_FolderPath[side]->text();
        last.PathBak[side] = GatheredPath[side];
    }
    for (int panel = 0; panel < 3; ++panel) {
        last.StatusTxt[panel] = statusText(panel + 1);
        last.StatusTip[panel] = statusTip(panel + 1);
    }
    return last;
}

void Frm_Main::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Tmr_Resize->stop();
    // An unattended run works on its own fixed values and leaves the user's settings as
    // they were; a settings file that the program does not use is left as it is.
    if (InstanceNumber == 1 && !common::BatchMode && !m_settingsFileRefused) {
        try {
            // Settings are written back only after the first activation loaded them, so a
            // window closed before that never overwrites stored values with defaults.
            if (m_settingsLoaded)
                SaveDirgleamSettings(IniFilePath, currentSettings(), currentLastRun());
            common::dialogs::SaveMainWindowPlacement(*this, IniFilePath);
        } catch (...) {
            common::SaveErr();
            common::ReportSavedErr(QStringLiteral("Form_Unload"));
        }
    }
    releaseHooks();
    m_instance.lock.reset();
}

} // namespace foldercompare
