#include "idlebackup/backup_settings.h"

#include "common/settings_values.h"
#include "platform/profile.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>

namespace idlebackup {

namespace {

// A number read as the program reads its numbers: leading numeric value, rounded.
qint32 readNumber(const QString &key, qint32 defaultValue, const QString &iniPath)
{
    return common::LeadingInteger(
        MyGetPrivateProfileString(settingSection(), key, QString::number(defaultValue), iniPath), 0);
}

qint32 readClamped(const QString &key, qint32 defaultValue, qint32 low, qint32 high, const QString &iniPath)
{
    return std::clamp(readNumber(key, defaultValue, iniPath), low, high);
}

qint32 readFlag(const QString &key, const QString &iniPath)
{
    return readNumber(key, 0, iniPath) == 1 ? 1 : 0;
}

// The value of a number box as the locale reads numbers; nullopt when it is not one.
std::optional<double> boxNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QLocale &locale : {QLocale::system(), QLocale::c()}) {
        bool valid = false;
        const double value = locale.toDouble(trimmed, &valid);
        if (valid && std::isfinite(value))
            return value;
    }
    return std::nullopt;
}

struct BoxRule
{
    SettingsBox box;
    double low;
    double high;
    const char16_t *missing;
    const char16_t *outOfRange;
};

std::optional<SettingsProblem> checkBox(const SettingsBoxes &boxes, const BoxRule &rule)
{
    const QString &text = boxes.text(rule.box);
    if (text.isEmpty())
        return SettingsProblem{rule.box, QString::fromUtf16(rule.missing)};
    const std::optional<double> value = boxNumber(text);
    if (!value || *value < rule.low || *value > rule.high)
        return SettingsProblem{rule.box, QString::fromUtf16(rule.outOfRange)};
    return std::nullopt;
}

// A number box's text replaced by its own leading numeric value.
QString ownValueText(const QString &text)
{
    return QString::number(common::LeadingNumber(text), 'g', 15);
}

qint32 roundedBox(const QString &text)
{
    return common::LeadingInteger(text, 0);
}

} // namespace

QString settingSection()
{
    return QStringLiteral("SETTING");
}

QString MyGetPrivateProfileString(const QString &section, const QString &key, const QString &defaultValue,
                                  const QString &file)
{
    return platform::readProfileString(section, key, defaultValue, file);
}

bool MyWritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                                 const QString &file)
{
    return platform::writeProfileString(section, key, value, file);
}

BackupSettings LoadBackupSettings(const QString &iniPath)
{
    BackupSettings settings;
    const QString section = settingSection();
    settings.NoneStr = MyGetPrivateProfileString(section, QStringLiteral("NoneStr"), QStringLiteral("~"), iniPath);
    settings.NoneExt = MyGetPrivateProfileString(section, QStringLiteral("NoneExt"), QStringLiteral("tmp"), iniPath);
    settings.SyncMode = readFlag(QStringLiteral("SyncMode"), iniPath);
    settings.NewOverWr = readFlag(QStringLiteral("NewOverWr"), iniPath);
    settings.BakDel = readFlag(QStringLiteral("BakDel"), iniPath);
    settings.NextStart = readFlag(QStringLiteral("NextStart"), iniPath);
    settings.NextTime = readClamped(QStringLiteral("NextTime"), 60, 0, 9999, iniPath);
    settings.AutoStart = readFlag(QStringLiteral("AutoStart"), iniPath);
    settings.AutoTime = readClamped(QStringLiteral("AutoTime"), 60, 0, 9999, iniPath);
    ReloadPacingSettings(settings, iniPath);
    settings.HiSpeed = readFlag(QStringLiteral("HiSpeed"), iniPath);
    return settings;
}

void ReloadPacingSettings(BackupSettings &settings, const QString &iniPath)
{
    settings.MinIdle = readClamped(QStringLiteral("MinIdle"), 80, 0, 99, iniPath);
    settings.UseCpu = readClamped(QStringLiteral("UseCpu"), 5, 1, 99, iniPath);
}

bool SaveBackupSettings(const BackupSettings &settings, const QString &iniPath)
{
    const auto number = [](qint32 value) { return QString::number(value); };
    const QList<std::pair<QString, QString>> values = {
        {QStringLiteral("NoneStr"), settings.NoneStr},
        {QStringLiteral("NoneExt"), settings.NoneExt},
        {QStringLiteral("SyncMode"), number(settings.SyncMode)},
        {QStringLiteral("NewOverWr"), number(settings.NewOverWr)},
        {QStringLiteral("NextStart"), number(settings.NextStart)},
        {QStringLiteral("NextTime"), number(settings.NextTime)},
        {QStringLiteral("AutoStart"), number(settings.AutoStart)},
        {QStringLiteral("AutoTime"), number(settings.AutoTime)},
        {QStringLiteral("BakDel"), number(settings.BakDel)},
        {QStringLiteral("MinIdle"), number(settings.MinIdle)},
        {QStringLiteral("UseCpu"), number(settings.UseCpu)},
        {QStringLiteral("HiSpeed"), number(settings.HiSpeed)},
    };
    return platform::writeProfileStrings(settingSection(), values, iniPath);
}

QString &SettingsBoxes::text(SettingsBox box)
{
    switch (box) {
    case SettingsBox::CpuIdle:
        return CpuIdleText;
    case SettingsBox::CpuUse:
        return CpuUseText;
    case SettingsBox::Next:
        return NextText;
    case SettingsBox::Auto:
        break;
    }
    return AutoText;
}

const QString &SettingsBoxes::text(SettingsBox box) const
{
    return const_cast<SettingsBoxes *>(this)->text(box);
}

SettingsBoxes BoxesFromSettings(const BackupSettings &settings)
{
    SettingsBoxes boxes;
    boxes.NoneStrText = settings.NoneStr;
    boxes.NoneExtText = settings.NoneExt;
    boxes.SyncModeOption = settings.SyncMode == 1;
    boxes.NewOverWrCheck = settings.NewOverWr == 1;
    boxes.DeleteCheck = settings.BakDel == 1;
    boxes.NextCheck = settings.NextStart == 1;
    boxes.NextText = QString::number(settings.NextTime);
    boxes.AutoCheck = settings.AutoStart == 1;
    boxes.AutoText = QString::number(settings.AutoTime);
    boxes.CpuIdleText = QString::number(settings.MinIdle);
    boxes.CpuUseText = QString::number(settings.UseCpu);
    boxes.HiSpCheck = settings.HiSpeed == 1;
    return boxes;
}

std::optional<SettingsProblem> SetteiErr(const SettingsBoxes &boxes)
{
    static const BoxRule idle{SettingsBox::CpuIdle, 0, 99, u"CPUアイドル率が指定されていません。",
                              u"CPUアイドル率は0～99で指定してください。"};
    static const BoxRule use{SettingsBox::CpuUse, 1, 99, u"CPU使用率が指定されていません。",
                             u"CPU使用率は1～99で指定してください。"};
    static const BoxRule next{SettingsBox::Next, 0, 9999, u"連続実行時の実行待ち秒数が指定されていません。",
                              u"連続実行時の実行待ち秒数は0～9999で指定してください。"};
    static const BoxRule automatic{SettingsBox::Auto, 0, 9999, u"起動時直後の実行待ち秒数が指定されていません。",
                                   u"起動時直後の実行待ち秒数は0～9999で指定してください。"};
    if (auto problem = checkBox(boxes, idle))
        return problem;
    if (auto problem = checkBox(boxes, use))
        return problem;
    if (boxes.NextCheck) {
        if (auto problem = checkBox(boxes, next))
            return problem;
    }
    if (boxes.AutoCheck) {
        if (auto problem = checkBox(boxes, automatic))
            return problem;
    }
    return std::nullopt;
}

BackupSettings TakeSettingsFromBoxes(SettingsBoxes &boxes)
{
    for (const SettingsBox box : {SettingsBox::CpuIdle, SettingsBox::CpuUse, SettingsBox::Next, SettingsBox::Auto})
        boxes.text(box) = ownValueText(boxes.text(box));
    BackupSettings settings;
    settings.NoneStr = boxes.NoneStrText;
    settings.NoneExt = boxes.NoneExtText;
    settings.SyncMode = boxes.SyncModeOption ? 1 : 0;
    settings.NewOverWr = boxes.NewOverWrCheck ? 1 : 0;
    settings.BakDel = boxes.DeleteCheck ? 1 : 0;
    settings.NextStart = boxes.NextCheck ? 1 : 0;
    settings.AutoStart = boxes.AutoCheck ? 1 : 0;
    settings.HiSpeed = boxes.HiSpCheck ? 1 : 0;
    settings.NextTime = roundedBox(boxes.NextText);
    settings.AutoTime = roundedBox(boxes.AutoText);
    settings.MinIdle = roundedBox(boxes.CpuIdleText);
    settings.UseCpu = roundedBox(boxes.CpuUseText);
    return settings;
}

} // namespace idlebackup
