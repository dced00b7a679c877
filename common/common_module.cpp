#include "common/common_module.h"

#include "common/saved_error.h"
#include "common/settings_values.h"
#include "platform/own_file.h"
#include "platform/profile.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>

#include <algorithm>

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

QString UnusedFileMessage(const QString &lead, const QString &path)
{
    const QString problem = platform::openOwnFile(path).problem;
    if (problem.isEmpty())
        return QString();
    return platform::refusalMessage(lead, path, problem);
}

QString SettingsFileRefusal(const QString &iniFile)
{
    return UnusedFileMessage(QStringLiteral("設定ファイルを使用しません。既定の設定で起動します。"), iniFile);
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

namespace {

// The length of the "scheme://" that `address` starts with ("ftp://", "https://", "file://":
// a letter followed by letters, digits, "+", "-" and "."), -1 when it starts with none.
qsizetype schemeEndOf(const QString &address)
{
    qsizetype index = 0;
    while (index < address.size()) {
        const char16_t c = address[index].unicode();
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && !(index > 0 && other))
            break;
        ++index;
    }
    return index > 0 && QStringView(address).sliced(index).startsWith(u"://") ? index + 3 : -1;
}

} // namespace

std::optional<PasswordSpan> PasswordSpanOf(const QString &address, qsizetype schemeEnd)
{
    const qsizetype hostEnd = address.indexOf(u'/', schemeEnd);
    const qsizetype colon = address.indexOf(u':', schemeEnd);
    const qsizetype at = address.lastIndexOf(u'@', hostEnd < 0 ? -1 : hostEnd);
    if (colon >= 0 && colon < at)
        return PasswordSpan{colon, at};
    if (colon < 0 || hostEnd < 0 || colon > hostEnd)
        return std::nullopt;
    // No "@" before the first "/": a password may hold the "/", unless digits alone stand
    // between the ":" and the "/", a port.
    const QStringView beforeSlash = QStringView(address).sliced(colon + 1, hostEnd - colon - 1);
    if (std::all_of(beforeSlash.cbegin(), beforeSlash.cend(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    const qsizetype firstAt = address.indexOf(u'@', hostEnd);
    if (firstAt < 0)
        return std::nullopt;
    const qsizetype nextSlash = address.indexOf(u'/', firstAt);
    return PasswordSpan{colon, address.lastIndexOf(u'@', nextSlash < 0 ? -1 : nextSlash)};
}

QString PasswordHidden(const QString &path)
{
    QString shown = path;
    const qsizetype schemeEnd = schemeEndOf(shown);
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
