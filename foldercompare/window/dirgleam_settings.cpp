#include "foldercompare/window/dirgleam_settings.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "common/settings_values.h"

namespace foldercompare {

using common::ColorText;
using common::FlagText;
using common::GetIniValue;
using common::ReadColor;
using common::ReadFlag;

namespace {

const QString Dsp = QStringLiteral("DSP");
const QString Csv = QStringLiteral("CSV");
const QString Sav = QStringLiteral("SAV");

constexpr int HistorySlots = 10;

// A check box's stored value: "0" or "1"; anything else keeps the default.
int readCheckBox(const QString &iniFile, const QString &key, int defaultValue)
{
    const std::optional<qint32> value
        = common::StrictInteger(GetIniValue(Dsp, key, QString::number(defaultValue), iniFile));
    return value && (*value == 0 || *value == 1) ? *value : defaultValue;
}

// Writes one key or stops the save with a failure naming the file.
void write(const QString &iniFile, const QString &section, const QString &key, const QString &value)
{
    if (!common::WriteIniValue(section, key, value, iniFile))
        throw common::Failure(75, QStringLiteral("Dirgleam"),
                              QStringLiteral("設定ファイルに書き込めません。 ") + iniFile + QStringLiteral(" [")
                                  + section + QStringLiteral("] ") + key);
}

} // namespace

QStringList DirgleamSettings::DefaultBinJdExt()
{
    return QStringLiteral("zip,lzh,cab,jar,gz,tar,z,exe,com,xls,xlsx,doc,docx,pdf,jpg,gif,bmp,png,tif,ico")
        .split(u',');
}

DirgleamSettings LoadDirgleamSettings(const QString &iniFile)
{
    DirgleamSettings s;
    auto flag = [&](const QString &section, const QString &key, bool defaultValue) {
        return ReadFlag(GetIniValue(section, key, FlagText(defaultValue), iniFile));
    };
    s.RecyclerBackup = flag(Dsp, "RccBakup", true);
    s.TextCrlfNone = flag(Dsp, "CrlfNone", false);
    s.TextCodeDsp = flag(Dsp, "CodeDisp", false);
    s.UpdDateNone = flag(Dsp, "UpDtNone", true);
    s.NewDateAsta = flag(Dsp, "NewDtAst", true);
    s.CsvDblQuot = flag(Csv, "CsvDblQuot", true);
    s.CsvSizeFit = flag(Csv, "CsvSizeFit", true);
    // The pair is exclusive: a checked TxtDifAlll unchecks TxtDifNomi, then a checked
    // TxtDifNomi unchecks TxtDifAlll, so TxtDifNomi wins when both are stored on.
    s.TxtDifAlll = flag(Sav, "TxtDifAlll", false);
    if (s.TxtDifAlll)
        s.TxtDifNomi = false;
    s.TxtDifNomi = flag(Sav, "TxtDifNomi", false);
    if (s.TxtDifNomi)
        s.TxtDifAlll = false;
    s.TxtDifKeis = flag(Sav, "TxtDifKeis", false);

    s.ColorUpd = ReadColor(GetIniValue(Dsp, "DIFFCUPD", "FFFFBB", iniFile), 0xFFFFBB);
    s.ColorAdd = ReadColor(GetIniValue(Dsp, "DIFFCADD", "BBBBFF", iniFile), 0xBBBBFF);
    s.ColorDel = ReadColor(GetIniValue(Dsp, "DIFFCDEL", "DDDDDD", iniFile), 0xDDDDDD);
    s.ColorDtm = ReadColor(GetIniValue(Dsp, "DIFFCDTM", "88FFFF", iniFile), 0x88FFFF);

    s.BinJdExt = GetIniValue(Dsp, "BinJdExt", DirgleamSettings::DefaultBinJdExt().join(u','), iniFile).split(u',');

    for (int i = 0; i < HistorySlots; ++i) {
        const QString item = GetIniValue("HISTORY", QStringLiteral("Item%1").arg(i), "NONE", iniFile);
        if (item == u"NONE")
            break;
        s.History.append(item);
    }

    s.Server_FTP = GetIniValue("PROXY", "Server_FTP", "", iniFile);
    s.FlNmCode[0] = GetIniValue("FTP", "FlNmCode0", "SJIS", iniFile);
    s.FlNmCode[1] = GetIniValue("FTP", "FlNmCode1", "SJIS", iniFile);

    s.Ext[0] = GetIniValue(Dsp, "Ext0", "", iniFile);
    s.Ext[1] = GetIniValue(Dsp, "Ext1", "", iniFile);
    s.Folder = readCheckBox(iniFile, "Folder", 1);
    s.Nomi = readCheckBox(iniFile, "Nomi", 0);
    s.Data = readCheckBox(iniFile, "Data", 1);

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
    write(iniFile, Dsp, "Path0", lastRun.Path[0]);
    write(iniFile, Dsp, "Path1", lastRun.Path[1]);
    write(iniFile, Dsp, "Path0Bak", lastRun.PathBak[0]);
    write(iniFile, Dsp, "Path1Bak", lastRun.PathBak[1]);
    for (int panel = 0; panel < 3; ++panel)
        write(iniFile, Dsp, QStringLiteral("Status%1Txt").arg(panel), lastRun.StatusTxt[panel]);
    for (int panel = 0; panel < 3; ++panel)
        write(iniFile, Dsp, QStringLiteral("Status%1Tip").arg(panel), lastRun.StatusTip[panel]);
    write(iniFile, Dsp, "Ext0", s.Ext[0]);
    write(iniFile, Dsp, "Ext1", s.Ext[1]);
    write(iniFile, Dsp, "Folder", QString::number(s.Folder));
    write(iniFile, Dsp, "Nomi", QString::number(s.Nomi));
    write(iniFile, Dsp, "Data", QString::number(s.Data));
    write(iniFile, Dsp, "RccBakup", FlagText(s.RecyclerBackup));
    write(iniFile, Dsp, "CrlfNone", FlagText(s.TextCrlfNone));
    write(iniFile, Dsp, "UpDtNone", FlagText(s.UpdDateNone));
    write(iniFile, Dsp, "CodeDisp", FlagText(s.TextCodeDsp));
    write(iniFile, Dsp, "NewDtAst", FlagText(s.NewDateAsta));
    write(iniFile, Csv, "CsvDblQuot", FlagText(s.CsvDblQuot));
    write(iniFile, Csv, "CsvSizeFit", FlagText(s.CsvSizeFit));
    write(iniFile, Sav, "TxtDifAlll", FlagText(s.TxtDifAlll));
    write(iniFile, Sav, "TxtDifNomi", FlagText(s.TxtDifNomi));
    write(iniFile, Sav, "TxtDifKeis", FlagText(s.TxtDifKeis));
    write(iniFile, Dsp, "BinJdExt", s.BinJdExt.join(u','));
    write(iniFile, Dsp, "DIFFCUPD", ColorText(s.ColorUpd));
    write(iniFile, Dsp, "DIFFCADD", ColorText(s.ColorAdd));
    write(iniFile, Dsp, "DIFFCDEL", ColorText(s.ColorDel));
    write(iniFile, Dsp, "DIFFCDTM", ColorText(s.ColorDtm));
    write(iniFile, Dsp, "FolderNum", QString::number(s.FolderNum));
    write(iniFile, Dsp, "LineMax", QString::number(s.LineMax));
    write(iniFile, "PROXY", "Server_FTP", s.Server_FTP);
    write(iniFile, "FTP", "FlNmCode0", s.FlNmCode[0]);
    write(iniFile, "FTP", "FlNmCode1", s.FlNmCode[1]);
}

StoredPlacement LoadPlacement(const QString &iniFile)
{
    StoredPlacement placement;
    const QString window = QStringLiteral("Window");
    placement.rect.left = common::LeadingInteger(GetIniValue(window, "Left", "0", iniFile), 0);
    placement.rect.top = common::LeadingInteger(GetIniValue(window, "Top", "0", iniFile), 0);
    placement.rect.width = common::LeadingInteger(GetIniValue(window, "Width", "15360", iniFile), 15360);
    placement.rect.height = common::LeadingInteger(GetIniValue(window, "Height", "11070", iniFile), 11070);
    const int state = common::LeadingInteger(GetIniValue(window, "State", "0", iniFile), 0);
    placement.state = state == 1   ? common::StoredWindowState::Minimized
                      : state == 2 ? common::StoredWindowState::Maximized
                                   : common::StoredWindowState::Normal;
    return placement;
}

void SavePlacement(const QString &iniFile, common::StoredWindowState state, const common::TwipsRect &rect)
{
    const QString window = QStringLiteral("Window");
    switch (state) {
    case common::StoredWindowState::Normal:
        write(iniFile, window, "Left", QString::number(rect.left));
        write(iniFile, window, "Top", QString::number(rect.top));
        write(iniFile, window, "Width", QString::number(rect.width));
        write(iniFile, window, "Height", QString::number(rect.height));
        write(iniFile, window, "State", "0");
        break;
    case common::StoredWindowState::Maximized:
        write(iniFile, window, "State", "2");
        break;
    case common::StoredWindowState::Minimized:
        break;
    }
}

QString ReadExeMutex(const QString &iniFile, const QDateTime &now)
{
    const QString value = GetIniValue("MUTEX", "ExeMutex", now.toString(QStringLiteral("yyyyMMddHHmmss")), iniFile);
    common::WriteIniValue("MUTEX", "ExeMutex", value, iniFile);
    return value;
}

} // namespace foldercompare
