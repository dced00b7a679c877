#include "textcompare/window/linquell_settings.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "common/settings_values.h"

namespace textcompare {

using common::ColorText;
using common::FlagText;
using common::GetIniValue;
using common::ReadColor;
using common::ReadFlag;

namespace {

const QString Dsp = QStringLiteral("DSP");
const QString Window = QStringLiteral("Window");

constexpr int HistorySlots = 10;
constexpr int FactorListLast = 30;

// A whole number read by its leading digits, `defaultValue` when the text has none.
qint32 readNumber(const QString &section, const QString &key, qint32 defaultValue, const QString &iniFile)
{
    return common::LeadingInteger(GetIniValue(section, key, QString::number(defaultValue), iniFile), defaultValue);
}

// A value that must be one of first..last as the text stands; `defaultValue` otherwise.
int readChoice(const QString &section, const QString &key, int first, int last, int defaultValue,
               const QString &iniFile)
{
    const std::optional<qint32> value
        = common::StrictInteger(GetIniValue(section, key, QString::number(defaultValue), iniFile));
    return value && *value >= first && *value <= last ? *value : defaultValue;
}

quint32 readColor(const QString &key, quint32 defaultValue, const QString &iniFile)
{
    return ReadColor(GetIniValue(Dsp, key, ColorText(defaultValue), iniFile), defaultValue);
}

// Writes one key or stops the save with a failure naming the file and the key.
void write(const QString &iniFile, const QString &section, const QString &key, const QString &value)
{
    if (!common::WriteIniValue(section, key, value, iniFile))
        throw common::Failure(75, QStringLiteral("Linquell"),
                              QStringLiteral("設定ファイルに書き込めません。 ") + iniFile + QStringLiteral(" [")
                                  + section + QStringLiteral("] ") + key);
}

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

QString DefaultEditorCommand(const QString &associatedProgram)
{
    const QString lower = associatedProgram.toLower();
    for (const EditorPreset &preset : EditorPresets())
        if (lower.endsWith(preset.executable.toLower()))
            return associatedProgram + u' ' + preset.arguments;
    return associatedProgram + QStringLiteral(" %F%");
}

LinquellSettings LoadLinquellSettings(const QString &iniFile)
{
    LinquellSettings s;
    auto flag = [&](const QString &section, const QString &key, bool defaultValue) {
        return ReadFlag(GetIniValue(section, key, FlagText(defaultValue), iniFile));
    };
    auto text = [&](const QString &section, const QString &key, const QString &defaultValue) {
        return GetIniValue(section, key, defaultValue, iniFile);
    };
    s.HanteiLine = readChoice(Dsp, "HanteiLine", 1, FactorListLast, s.HanteiLine, iniFile);
    s.LineMax = readNumber(Dsp, "LineMax", s.LineMax, iniFile);
    s.Nomi = readChoice(Dsp, "Nomi", 0, 1, s.Nomi, iniFile);
    s.NoSpaceCheck = flag(Dsp, "NoSpCheck", s.NoSpaceCheck);
    s.NoULChrCheck = flag(Dsp, "NoULCheck", s.NoULChrCheck);
    s.DspSpaceChar = flag(Dsp, "DspSpChar", s.DspSpaceChar);
    s.DspSpTab = text(Dsp, "DspSpTab", s.DspSpTab);
    s.DspSpHsp = text(Dsp, "DspSpHsp", s.DspSpHsp);
    s.DspSpZsp = text(Dsp, "DspSpZsp", s.DspSpZsp);
    s.XlsFormatCnd = flag("XLS", "XlsFormatCnd", s.XlsFormatCnd);
    s.CsvDblQuot = flag("CSV", "CsvDblQuot", s.CsvDblQuot);
    s.CsvHtmlUni = flag("CSV", "CsvHtmlUni", s.CsvHtmlUni);
    s.BinJdExt = text(Dsp, "BinJdExt", s.BinJdExt.join(u',')).split(u',');
    s.LenOfRow = readNumber(Dsp, "LenOfRow", s.LenOfRow, iniFile);
    s.Colors.DIFFCUPD = readColor("DIFFCUPD", s.Colors.DIFFCUPD, iniFile);
    s.Colors.DIFFCADD = readColor("DIFFCADD", s.Colors.DIFFCADD, iniFile);
    s.Colors.DIFFCDEL = readColor("DIFFCDEL", s.Colors.DIFFCDEL, iniFile);
    s.Colors.DIFFCNO1 = readColor("DIFFCNO1", s.Colors.DIFFCNO1, iniFile);
    s.Colors.DIFFCNO2 = readColor("DIFFCNO2", s.Colors.DIFFCNO2, iniFile);
    s.SearchStr = text("ETC", "SearchStr", s.SearchStr);
    s.Editor = text("ETC", "Editor", s.Editor);

    s.MaxLine = QString::number(readNumber("EXCEL", "MaxLine", s.MaxLine.toInt(), iniFile));
    s.SheetNo[0] = QString::number(readNumber("EXCEL", "SheetNo1", s.SheetNo[0].toInt(), iniFile));
    s.SheetNo[1] = QString::number(readNumber("EXCEL", "SheetNo2", s.SheetNo[1].toInt(), iniFile));
    s.Server_HTTP = text("PROXY", "Server_HTTP", s.Server_HTTP);
    s.Server_FTP = text("PROXY", "Server_FTP", s.Server_FTP);

    for (int i = 0; i < HistorySlots; ++i) {
        const QString item = text("HISTORY", QStringLiteral("Item%1").arg(i), QStringLiteral("NONE"));
        if (item == u"NONE")
            break;
        s.History.append(item);
    }
    return s;
}

void SaveLinquellSettings(const QString &iniFile, const LinquellSettings &s)
{
    write(iniFile, Dsp, "Nomi", QString::number(s.Nomi));
    write(iniFile, Dsp, "NoSpCheck", FlagText(s.NoSpaceCheck));
    write(iniFile, Dsp, "NoULCheck", FlagText(s.NoULChrCheck));
    write(iniFile, Dsp, "DspSpChar", FlagText(s.DspSpaceChar));
    write(iniFile, Dsp, "DspSpTab", s.DspSpTab);
    write(iniFile, Dsp, "DspSpHsp", s.DspSpHsp);
    write(iniFile, Dsp, "DspSpZsp", s.DspSpZsp);
    write(iniFile, "XLS", "XlsFormatCnd", FlagText(s.XlsFormatCnd));
    write(iniFile, "CSV", "CsvDblQuot", FlagText(s.CsvDblQuot));
    write(iniFile, "CSV", "CsvHtmlUni", FlagText(s.CsvHtmlUni));
    write(iniFile, Dsp, "BinJdExt", s.BinJdExt.join(u','));
    write(iniFile, Dsp, "LenOfRow", QString::number(s.LenOfRow));
    write(iniFile, Dsp, "DIFFCUPD", ColorText(s.Colors.DIFFCUPD));
    write(iniFile, Dsp, "DIFFCADD", ColorText(s.Colors.DIFFCADD));
    write(iniFile, Dsp, "DIFFCDEL", ColorText(s.Colors.DIFFCDEL));
    write(iniFile, Dsp, "DIFFCNO1", ColorText(s.Colors.DIFFCNO1));
    write(iniFile, Dsp, "DIFFCNO2", ColorText(s.Colors.DIFFCNO2));
    write(iniFile, "ETC", "SearchStr", s.SearchStr);
    write(iniFile, "ETC", "Editor", s.Editor);
    write(iniFile, "EXCEL", "MaxLine", s.MaxLine);
    write(iniFile, "EXCEL", "SheetNo1", s.SheetNo[0]);
    write(iniFile, "EXCEL", "SheetNo2", s.SheetNo[1]);
    write(iniFile, "PROXY", "Server_HTTP", s.Server_HTTP);
    write(iniFile, "PROXY", "Server_FTP", s.Server_FTP);
}

StoredPlacement LoadPlacement(const QString &iniFile)
{
    StoredPlacement placement;
    common::TwipsRect &rect = placement.rect;
    rect.left = readNumber(Window, "Left", rect.left, iniFile);
    rect.top = readNumber(Window, "Top", rect.top, iniFile);
    rect.width = readNumber(Window, "Width", rect.width, iniFile);
    rect.height = readNumber(Window, "Height", rect.height, iniFile);
    placement.state = common::StoredWindowState(readChoice(Window, "State", 0, 2, 0, iniFile));
    return placement;
}

void SavePlacement(const QString &iniFile, common::StoredWindowState state, const common::TwipsRect &rect)
{
    switch (state) {
    case common::StoredWindowState::Normal:
        write(iniFile, Window, "Left", QString::number(rect.left));
        write(iniFile, Window, "Top", QString::number(rect.top));
        write(iniFile, Window, "Width", QString::number(rect.width));
        write(iniFile, Window, "Height", QString::number(rect.height));
        break;
    case common::StoredWindowState::Maximized:
        write(iniFile, Window, "State", "2");
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

} // namespace textcompare
