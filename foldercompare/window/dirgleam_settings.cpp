#include "foldercompare/window/dirgleam_settings.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "common/settings_values.h"

namespace foldercompare {

using common::ColorText;
using common::FlagText;
using common::GetIniValue;
using common::ReadIniColor;
using common::ReadIniFlag;

namespace {

const QString Dsp = QStringLiteral("DSP");
const QString Csv = QStringLiteral("CSV");
const QString Sav = QStringLiteral("SAV");


} // namespace

QStringList DirgleamSettings::DefaultBinJdExt()
{
    return QStringLiteral("zip,lzh,cab,jar,gz,tar,z,exe,com,xls,xlsx,doc,docx,pdf,jpg,gif,bmp,png,tif,ico")
        .split(u',');
}

DirgleamSettings LoadDirgleamSettings(const QString &iniFile)
{
    DirgleamSettings s;
    s.RecyclerBackup = ReadIniFlag(Dsp, "RccBakup", true, iniFile);
    s.TextCrlfNone = ReadIniFlag(Dsp, "CrlfNone", false, iniFile);
    s.TextCodeDsp = ReadIniFlag(Dsp, "CodeDisp", false, iniFile);
    s.UpdDateNone = ReadIniFlag(Dsp, "UpDtNone", true, iniFile);
    s.NewDateAsta = ReadIniFlag(Dsp, "NewDtAst", true, iniFile);
    s.CsvDblQuot = ReadIniFlag(Csv, "CsvDblQuot", true, iniFile);
    s.CsvSizeFit = ReadIniFlag(Csv, "CsvSizeFit", true, iniFile);
    // The pair is exclusive: a checked TxtDifNomi unchecks TxtDifAlll, so TxtDifNomi wins
    // when both are stored on.
    s.TxtDifAlll = ReadIniFlag(Sav, "TxtDifAlll", false, iniFile);
    s.TxtDifNomi = ReadIniFlag(Sav, "TxtDifNomi", false, iniFile);
    if (s.TxtDifNomi)
        s.TxtDifAlll = false;
    s.TxtDifKeis = ReadIniFlag(Sav, "TxtDifKeis", false, iniFile);

    s.ColorUpd = ReadIniColor(Dsp, "DIFFCUPD", 0xFFFFBB, iniFile);
    s.ColorAdd = ReadIniColor(Dsp, "DIFFCADD", 0xBBBBFF, iniFile);
    s.ColorDel = ReadIniColor(Dsp, "DIFFCDEL", 0xDDDDDD, iniFile);
    s.ColorDtm = ReadIniColor(Dsp, "DIFFCDTM", 0x88FFFF, iniFile);

    s.BinJdExt = GetIniValue(Dsp, "BinJdExt", DirgleamSettings::DefaultBinJdExt().join(u','), iniFile).split(u',');

    s.History = common::ReadHistoryItems(iniFile);

    s.Server_FTP = GetIniValue("PROXY", "Server_FTP", "", iniFile);
    s.FlNmCode[0] = GetIniValue("FTP", "FlNmCode0", "SJIS", iniFile);
    s.FlNmCode[1] = GetIniValue("FTP", "FlNmCode1", "SJIS", iniFile);

    s.Ext[0] = GetIniValue(Dsp, "Ext0", "", iniFile);
    s.Ext[1] = GetIniValue(Dsp, "Ext1", "", iniFile);
    s.Folder = common::ReadIniChoice(Dsp, "Folder", 0, 1, 1, iniFile);
    s.Nomi = common::ReadIniChoice(Dsp, "Nomi", 0, 1, 0, iniFile);
    s.Data = common::ReadIniChoice(Dsp, "Data", 0, 1, 1, iniFile);

    s.FolderNum = common::LeadingInteger(GetIniValue(Dsp, "FolderNum", "999", iniFile), 999);
    if (s.FolderNum < 1)
        s.FolderNum = 999;
    s.LineMax = common::LeadingInteger(GetIniValue(Dsp, "LineMax", "10000", iniFile), 10000);
    return s;
}

LastRunState LoadLastRunState(const QString &iniFile)
{
    LastRunState state;
    for (int side = 0; side < 2; ++side) {
        state.Path[side] = GetIniValue(Dsp, QStringLiteral("Path%1").arg(side), "", iniFile);
        state.PathBak[side] = GetIniValue(Dsp, QStringLiteral("Path%1Bak").arg(side), "", iniFile);
    }
    for (int panel = 0; panel < 3; ++panel)
        state.StatusTxt[panel] = GetIniValue(Dsp, QStringLiteral("Status%1Txt").arg(panel), "", iniFile);
    for (int panel = 0; panel < 3; ++panel)
        state.StatusTip[panel] = GetIniValue(Dsp, QStringLiteral("Status%1Tip").arg(panel), "", iniFile);
    return state;
}

void SaveDirgleamSettings(const QString &iniFile, const DirgleamSettings &s, const LastRunState &lastRun)
{
    common::WriteSetting(Dsp, "Path0", lastRun.Path[0], iniFile);
    common::WriteSetting(Dsp, "Path1", lastRun.Path[1], iniFile);
    common::WriteSetting(Dsp, "Path0Bak", lastRun.PathBak[0], iniFile);
    common::WriteSetting(Dsp, "Path1Bak", lastRun.PathBak[1], iniFile);
    for (int panel = 0; panel < 3; ++panel)
        common::WriteSetting(Dsp, QStringLiteral("Status%1Txt").arg(panel), lastRun.StatusTxt[panel], iniFile);
    for (int panel = 0; panel < 3; ++panel)
        common::WriteSetting(Dsp, QStringLiteral("Status%1Tip").arg(panel), lastRun.StatusTip[panel], iniFile);
    common::WriteSetting(Dsp, "Ext0", s.Ext[0], iniFile);
    common::WriteSetting(Dsp, "Ext1", s.Ext[1], iniFile);
    common::WriteSetting(Dsp, "Folder", QString::number(s.Folder), iniFile);
    common::WriteSetting(Dsp, "Nomi", QString::number(s.Nomi), iniFile);
    common::WriteSetting(Dsp, "Data", QString::number(s.Data), iniFile);
    common::WriteSetting(Dsp, "RccBakup", FlagText(s.RecyclerBackup), iniFile);
    common::WriteSetting(Dsp, "CrlfNone", FlagText(s.TextCrlfNone), iniFile);
    common::WriteSetting(Dsp, "UpDtNone", FlagText(s.UpdDateNone), iniFile);
    common::WriteSetting(Dsp, "CodeDisp", FlagText(s.TextCodeDsp), iniFile);
    common::WriteSetting(Dsp, "NewDtAst", FlagText(s.NewDateAsta), iniFile);
    common::WriteSetting(Csv, "CsvDblQuot", FlagText(s.CsvDblQuot), iniFile);
    common::WriteSetting(Csv, "CsvSizeFit", FlagText(s.CsvSizeFit), iniFile);
    common::WriteSetting(Sav, "TxtDifAlll", FlagText(s.TxtDifAlll), iniFile);
    common::WriteSetting(Sav, "TxtDifNomi", FlagText(s.TxtDifNomi), iniFile);
    common::WriteSetting(Sav, "TxtDifKeis", FlagText(s.TxtDifKeis), iniFile);
    common::WriteSetting(Dsp, "BinJdExt", s.BinJdExt.join(u','), iniFile);
    common::WriteSetting(Dsp, "DIFFCUPD", ColorText(s.ColorUpd), iniFile);
    common::WriteSetting(Dsp, "DIFFCADD", ColorText(s.ColorAdd), iniFile);
    common::WriteSetting(Dsp, "DIFFCDEL", ColorText(s.ColorDel), iniFile);
    common::WriteSetting(Dsp, "DIFFCDTM", ColorText(s.ColorDtm), iniFile);
    common::WriteSetting(Dsp, "FolderNum", QString::number(s.FolderNum), iniFile);
    common::WriteSetting(Dsp, "LineMax", QString::number(s.LineMax), iniFile);
    common::WriteSetting("PROXY", "Server_FTP", s.Server_FTP, iniFile);
    common::WriteSetting("FTP", "FlNmCode0", s.FlNmCode[0], iniFile);
    common::WriteSetting("FTP", "FlNmCode1", s.FlNmCode[1], iniFile);
}

} // namespace foldercompare
