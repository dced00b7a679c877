#include "textcompare/window/linquell_settings.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "common/settings_values.h"

namespace textcompare {

using common::ColorText;
using common::FlagText;
using common::GetIniValue;
using common::ReadIniColor;
using common::ReadIniFlag;

namespace {

const QString Dsp = QStringLiteral("DSP");

constexpr int FactorListLast = 30;

} // namespace

QStringList LinquellSettings::DefaultBinJdExt()
{
    return QStringLiteral("zip,lzh,cab,jar,gz,tar,z,exe,com,pdf,jpg,gif,bmp,png,tif,ico").split(u',');
}

const std::array<EditorPreset, 3> &EditorPresets()
{
    static const std::array<EditorPreset, 3> presets{{
        {QStringLiteral("gedit"), QStringLiteral("+%L% %F%")},
        {QStringLiteral("kate"), QStringLiteral("--line %L% %F%")},
        {QStringLiteral("mousepad"), QStringLiteral("--line %L% %F%")},
    }};
    return presets;
}

QString CommandWord(const QString &program)
{
    if (!program.contains(u' ') && !program.contains(u'"'))
        return program;
    return u'"' + QString(program).replace(QStringLiteral("\""), QStringLiteral("\"\"\"")) + u'"';
}

QString DefaultEditorCommand(const QString &associatedProgram)
{
    const QString program = CommandWord(associatedProgram);
    const QString lower = associatedProgram.toLower();
    for (const EditorPreset &preset : EditorPresets())
        if (lower.endsWith(preset.executable.toLower()))
            return program + u' ' + preset.arguments;
    return program + QStringLiteral(" %F%");
}

LinquellSettings LoadLinquellSettings(const QString &iniFile)
{
    LinquellSettings s;
    auto text = [&](const QString &section, const QString &key, const QString &defaultValue) {
        return GetIniValue(section, key, defaultValue, iniFile);
    };
    s.HanteiLine = common::ReadIniChoice(Dsp, "HanteiLine", 1, FactorListLast, s.HanteiLine, iniFile);
    s.LineMax = common::ReadIniNumber(Dsp, "LineMax", s.LineMax, iniFile);
    s.Nomi = common::ReadIniChoice(Dsp, "Nomi", 0, 1, s.Nomi, iniFile);
    s.NoSpaceCheck = ReadIniFlag(Dsp, "NoSpCheck", s.NoSpaceCheck, iniFile);
    s.NoULChrCheck = ReadIniFlag(Dsp, "NoULCheck", s.NoULChrCheck, iniFile);
    s.DspSpaceChar = ReadIniFlag(Dsp, "DspSpChar", s.DspSpaceChar, iniFile);
    s.DspSpTab = text(Dsp, "DspSpTab", s.DspSpTab);
    s.DspSpHsp = text(Dsp, "DspSpHsp", s.DspSpHsp);
    s.DspSpZsp = text(Dsp, "DspSpZsp", s.DspSpZsp);
    s.XlsFormatCnd = ReadIniFlag("XLS", "XlsFormatCnd", s.XlsFormatCnd, iniFile);
    s.CsvDblQuot = ReadIniFlag("CSV", "CsvDblQuot", s.CsvDblQuot, iniFile);
    s.CsvHtmlUni = ReadIniFlag("CSV", "CsvHtmlUni", s.CsvHtmlUni, iniFile);
    s.BinJdExt = text(Dsp, "BinJdExt", s.BinJdExt.join(u',')).split(u',');
    s.LenOfRow = common::ReadIniNumber(Dsp, "LenOfRow", s.LenOfRow, iniFile);
    s.Colors.DIFFCUPD = ReadIniColor(Dsp, "DIFFCUPD", s.Colors.DIFFCUPD, iniFile);
    s.Colors.DIFFCADD = ReadIniColor(Dsp, "DIFFCADD", s.Colors.DIFFCADD, iniFile);
    s.Colors.DIFFCDEL = ReadIniColor(Dsp, "DIFFCDEL", s.Colors.DIFFCDEL, iniFile);
    s.Colors.DIFFCNO1 = ReadIniColor(Dsp, "DIFFCNO1", s.Colors.DIFFCNO1, iniFile);
    s.Colors.DIFFCNO2 = ReadIniColor(Dsp, "DIFFCNO2", s.Colors.DIFFCNO2, iniFile);
    s.SearchStr = text("ETC", "SearchStr", s.SearchStr);
    s.Editor = text("ETC", "Editor", s.Editor);

    s.MaxLine = QString::number(common::ReadIniNumber("EXCEL", "MaxLine", s.MaxLine.toInt(), iniFile));
    s.SheetNo[0] = QString::number(common::ReadIniNumber("EXCEL", "SheetNo1", s.SheetNo[0].toInt(), iniFile));
    s.SheetNo[1] = QString::number(common::ReadIniNumber("EXCEL", "SheetNo2", s.SheetNo[1].toInt(), iniFile));
    s.Server_HTTP = text("PROXY", "Server_HTTP", s.Server_HTTP);
    s.Server_FTP = text("PROXY", "Server_FTP", s.Server_FTP);
    const qint32 timeOut = common::ReadIniNumber("PROXY", "TimeOut", s.TimeOut, iniFile);
    s.TimeOut = timeOut >= 1 ? timeOut : s.TimeOut;

    s.History = common::ReadHistoryItems(iniFile);
    return s;
}

void SaveLinquellSettings(const QString &iniFile, const LinquellSettings &s)
{
    common::WriteSetting(Dsp, "Nomi", QString::number(s.Nomi), iniFile);
    common::WriteSetting(Dsp, "NoSpCheck", FlagText(s.NoSpaceCheck), iniFile);
    common::WriteSetting(Dsp, "NoULCheck", FlagText(s.NoULChrCheck), iniFile);
    common::WriteSetting(Dsp, "DspSpChar", FlagText(s.DspSpaceChar), iniFile);
    common::WriteSetting(Dsp, "DspSpTab", s.DspSpTab, iniFile);
    common::WriteSetting(Dsp, "DspSpHsp", s.DspSpHsp, iniFile);
    common::WriteSetting(Dsp, "DspSpZsp", s.DspSpZsp, iniFile);
    common::WriteSetting("XLS", "XlsFormatCnd", FlagText(s.XlsFormatCnd), iniFile);
    common::WriteSetting("CSV", "CsvDblQuot", FlagText(s.CsvDblQuot), iniFile);
    common::WriteSetting("CSV", "CsvHtmlUni", FlagText(s.CsvHtmlUni), iniFile);
    common::WriteSetting(Dsp, "BinJdExt", s.BinJdExt.join(u','), iniFile);
    common::WriteSetting(Dsp, "LenOfRow", QString::number(s.LenOfRow), iniFile);
    common::WriteSetting(Dsp, "DIFFCUPD", ColorText(s.Colors.DIFFCUPD), iniFile);
    common::WriteSetting(Dsp, "DIFFCADD", ColorText(s.Colors.DIFFCADD), iniFile);
    common::WriteSetting(Dsp, "DIFFCDEL", ColorText(s.Colors.DIFFCDEL), iniFile);
    common::WriteSetting(Dsp, "DIFFCNO1", ColorText(s.Colors.DIFFCNO1), iniFile);
    common::WriteSetting(Dsp, "DIFFCNO2", ColorText(s.Colors.DIFFCNO2), iniFile);
    common::WriteSetting("ETC", "SearchStr", s.SearchStr, iniFile);
    common::WriteSetting("ETC", "Editor", s.Editor, iniFile);
    common::WriteSetting("EXCEL", "MaxLine", s.MaxLine, iniFile);
    common::WriteSetting("EXCEL", "SheetNo1", s.SheetNo[0], iniFile);
    common::WriteSetting("EXCEL", "SheetNo2", s.SheetNo[1], iniFile);
    common::WriteSetting("PROXY", "Server_HTTP", s.Server_HTTP, iniFile);
    common::WriteSetting("PROXY", "Server_FTP", s.Server_FTP, iniFile);
}

} // namespace textcompare
