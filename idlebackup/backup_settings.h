#pragma once

#include <QString>

#include <optional>

namespace idlebackup {

// The section of the settings file that holds every key of the backup program.
QString settingSection();

// Reads one key of the settings file: the stored value (cut at 1023 characters), the
// default when the file or the key is missing, "" when the key is empty.
QString MyGetPrivateProfileString(const QString &section, const QString &key, const QString &defaultValue,
                                  const QString &file);

// Writes one key of the settings file at once; false when it could not be written (the
// file is then as it was).
bool MyWritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                                 const QString &file);

// The run settings as the window holds them while the program runs. Numbers are whole;
// the flags are 0 or 1.
struct BackupSettings
{
    QString NoneStr = QStringLiteral("~"); // comma list of name beginnings that are not copied
    QString NoneExt = QStringLiteral("tmp"); // comma list of extensions that are not copied
    qint32 SyncMode = 0;   // 0 backup (one way), 1 sync (newest file both ways)
    qint32 NewOverWr = 0;  // 1: overwrite a copy that is newer than its original
    qint32 BakDel = 0;     // 1: delete from the copy what the original no longer has
    qint32 NextStart = 0;  // 1: start the next pass by itself
    qint32 NextTime = 60;  // seconds before each further pass, 0 to 9999
    qint32 AutoStart = 0;  // 1: start running when the program starts
    qint32 AutoTime = 60;  // seconds before the first pass after program start, 0 to 9999
    qint32 MinIdle = 80;   // idle percentage of the processors needed for work, 0 to 99
    qint32 UseCpu = 5;     // processor percentage the run may use, 1 to 99
    qint32 HiSpeed = 0;    // 1: the first pass after a start runs at full speed

    bool operator==(const BackupSettings &) const = default;
};

// Reads the twelve keys with their defaults: a number is the leading numeric value of
// its text (0 for an empty or non-numeric text) rounded half to even, then limited to
// its range; a flag other than 1 is 0.
BackupSettings LoadBackupSettings(const QString &iniPath);

// Reads MinIdle and UseCpu from the file again, limited as at load, into `settings`.
void ReloadPacingSettings(BackupSettings &settings, const QString &iniPath);

// Writes the twelve keys in the order NoneStr, NoneExt, SyncMode, NewOverWr, NextStart,
// NextTime, AutoStart, AutoTime, BakDel, MinIdle, UseCpu, HiSpeed, all in one
// replacement of the file; false, with the file as it was, when it cannot be written.
bool SaveBackupSettings(const BackupSettings &settings, const QString &iniPath);

// The four number boxes of the settings.
enum class SettingsBox { CpuIdle, CpuUse, Next, Auto };

// The settings controls of the window as texts and check marks.
struct SettingsBoxes
{
    QString NoneStrText;
    QString NoneExtText;
    bool SyncModeOption = false; // the sync option is selected
    bool NewOverWrCheck = false;
    bool DeleteCheck = false;
    bool NextCheck = false;
    QString NextText;
    bool AutoCheck = false;
    QString AutoText;
    QString CpuIdleText;
    QString CpuUseText;
    bool HiSpCheck = false;

    // The text of a number box.
    QString &text(SettingsBox box);
    const QString &text(SettingsBox box) const;

    bool operator==(const SettingsBoxes &) const = default;
};

// The controls as the load step fills them from the settings.
SettingsBoxes BoxesFromSettings(const BackupSettings &settings);

// The first box whose text is not valid, with the warning that names it.
struct SettingsProblem
{
    SettingsBox box;
    QString message;
};

// Checks the number boxes in order (idle share, processor share, then the two waits,
// each only while its check box is checked); nullopt when every one is valid. A box is
// valid when it holds a number of the locale in its range (fractions count: "98.5" is
// within 0 to 99).
std::optional<SettingsProblem> SetteiErr(const SettingsBoxes &boxes);

// Takes the settings from the controls: each number box is rewritten with its own
// leading numeric value ("" becomes "0"), and the numbers are rounded half to even.
// Nothing is limited here: out-of-range values are limited when the file is read again.
BackupSettings TakeSettingsFromBoxes(SettingsBoxes &boxes);

} // namespace idlebackup
