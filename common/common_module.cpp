#include "common/common_module.h"

#include "common/saved_error.h"
#include "common/settings_values.h"
#include "platform/profile.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>

namespace common {

bool BatchMode = false;
qint16 BatchKind = 0;
QString BatchOutputPath;
QString BatchCsvSeparator = QStringLiteral(",");
CommandLineOptionSlots CommandLineOptions;
bool BatchFailed = false;

QString GetIniValue(const QString &section, const QString &key, const QString &defaultValue,
                    const QString &iniFile)
{
    return platform::readProfileString(section, key, defaultValue, iniFile);
}

bool WriteIniValue(const QString &section, const QString &key, const QString &value, const QString &iniFile)
{
    return platform::writeProfileString(section, key, value, iniFile);
}

void WriteSetting(const QString &section, const QString &key, const QString &value, const QString &iniFile)
{
    if (!WriteIniValue(section, key, value, iniFile))
        throw Failure(75, QCoreApplication::applicationName(),
                      QStringLiteral("設定ファイルに書き込めません。 ") + iniFile + QStringLiteral(" [") + section
                          + QStringLiteral("] ") + key);
}

bool WriteSettingOrReport(const QString &section, const QString &key, const QString &value, const QString &iniFile,
                          const QString &procedure)
{
    try {
        WriteSetting(section, key, value, iniFile);
        return true;
    } catch (...) {
        SaveErr();
        ReportSavedErr(procedure);
        return false;
    }
}

qint32 ReadIniNumber(const QString &section, const QString &key, qint32 defaultValue, const QString &iniFile)
{
    return LeadingInteger(GetIniValue(section, key, QString::number(defaultValue), iniFile), defaultValue);
}

int ReadIniChoice(const QString &section, const QString &key, int first, int last, int defaultValue,
                  const QString &iniFile)
{
    const std::optional<qint32> value = StrictInteger(GetIniValue(section, key, QString::number(defaultValue), iniFile));
    return value && *value >= first && *value <= last ? *value : defaultValue;
}

bool ReadIniFlag(const QString &section, const QString &key, bool defaultValue, const QString &iniFile)
{
    return ReadFlag(GetIniValue(section, key, FlagText(defaultValue), iniFile));
}

quint32 ReadIniColor(const QString &section, const QString &key, quint32 defaultValue, const QString &iniFile)
{
    return ReadColor(GetIniValue(section, key, ColorText(defaultValue), iniFile), defaultValue);
}

QStringList ReadHistoryItems(const QString &iniFile)
{
    constexpr int HistorySlots = 10;
    QStringList items;
    for (int i = 0; i < HistorySlots; ++i) {
        const QString item = GetIniValue(QStringLiteral("HISTORY"), QStringLiteral("Item%1").arg(i),
                                         QStringLiteral("NONE"), iniFile);
        if (item == u"NONE")
            break;
        items.append(item);
    }
    return items;
}

namespace {

// The button part of a message-box style, without its icon and default-button flags.
constexpr int ButtonStyleMask = 0x0F;

} // namespace

int ShowMsg(const QString &prompt, int buttons, const QString &title, const QString &, int, int batchDefault)
{
    int answer = platform::automaticAnswer(buttons);
    if (batchDefault != 0)
        answer = batchDefault;
    if (BatchMode) {
        // A notice tells what happened; a question the run answers by itself tells nothing.
        if ((buttons & ButtonStyleMask) == platform::MessageStyle::OkOnly)
            platform::writeMessageToStandardError(prompt);
        return answer;
    }
    try {
        return platform::dialogs().messageBox(prompt, buttons, title);
    } catch (...) {
        return answer;
    }
}

std::optional<PasswordSpan> PasswordSpanOf(const QString &address, qsizetype schemeEnd)
{
    const qsizetype hostEnd = address.indexOf(u'/', schemeEnd);
    const qsizetype at = address.lastIndexOf(u'@', hostEnd < 0 ? -1 : hostEnd);
    const qsizetype colon = at < 0 ? -1 : address.indexOf(u':', schemeEnd);
    if (colon >= 0 && colon < at)
        return PasswordSpan{colon, at};
    return std::nullopt;
}

QString PasswordHidden(const QString &path)
{
    QString shown = path;
    const qsizetype schemeEnd = shown.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive)    ? 6
                                : shown.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ? 7
                                                                                                   : -1;
    if (schemeEnd > 0) {
        if (const std::optional<PasswordSpan> span = PasswordSpanOf(shown, schemeEnd))
            shown.replace(span->colon + 1, span->at - span->colon - 1, QStringLiteral("****"));
    }
    return shown;
}

QString PrintablePath(const QString &path)
{
    return platform::escapeControlCharacters(PasswordHidden(path));
}

QString HistoryItemLabel(const QString &item)
{
    QStringList paths = item.split(u'\t');
    for (QString &path : paths)
        path = PasswordHidden(path).replace(u'&', QStringLiteral("&&"));
    return paths.join(u'\t');
}

void ReportSavedErr(const QString &procedure)
{
    if (BatchMode)
        BatchFailed = true;
    ShowMsg(SystemErrorText(procedure), 0, QString());
}

void ShowSavedErr(const QString &procedure)
{
    platform::dialogs().messageBox(SystemErrorText(procedure), platform::MessageStyle::OkOnly, QString());
}

} // namespace common
