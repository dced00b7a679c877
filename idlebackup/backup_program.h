#pragma once

#include "idlebackup/backup_settings.h"
#include "idlebackup/backup_work.h"
#include "idlebackup/mount_table.h"
#include "idlebackup/pacing.h"
#include "platform/flex_grid.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace idlebackup {

// Icons of the window and the notification area.
namespace IconState {
inline constexpr int None = 0;
inline constexpr int Idle = 1;
inline constexpr int Running = 2;
inline constexpr int Ng = 3;
} // namespace IconState

// What the program needs from its window beyond the status line.
class ProgramHost : public WorkHost
{
public:
    // Shows the icon (IconState) on the window and in the notification area.
    virtual void showIcon(int iconState) = 0;
    // Shows the machine's processor use, in percent, on the meter.
    virtual void showMeter(int usePercent) = 0;
    // The caption of the start/stop button.
    virtual void setStartCaption(const QString &caption) = 0;
    // The settings controls.
    virtual SettingsBoxes settingsBoxes() const = 0;
    virtual void setSettingsBoxes(const SettingsBoxes &boxes) = 0;
    virtual void focusSettingsBox(SettingsBox box) = 0;
    // Enables the two check boxes that only backup mode uses.
    virtual void setBackupOnlyChecksEnabled(bool enabled) = 0;
    // Whether the window is out of sight (hidden, or minimised where it cannot hide).
    virtual bool windowHidden() const = 0;
    // Shows the window normal-sized in front of the others.
    virtual void popUpWindow() = 0;
    virtual void hideWindow() = 0;
    // Ends the program: the window unloads (again, when it has begun to).
    virtual void unloadWindow() = 0;
};

// The caption of the main window, and the title of its questions.
QString programCaption();

// The backup program without its widgets: the backup list, the settings, the list check
// with the drives that it remembers across runs (MountStatePath) and those of the
// file-system table, the processor sampling, and the run driver with its four timers (CpuTimer 100 ms,
// CheckTimer 2 s, WaitTimer 1 s, SyncTimer). Boxes go through platform::dialogs(),
// programs are started through platform::processStarter(). Everything runs on one
// thread; a pass runs inside one SyncTimer tick and lets events run through the host.
class BackupProgram : public QObject
{
    Q_OBJECT

public:
    BackupProgram(ProgramHost &host, Clock &clock, ProcessorMeter &meter, const QString &iniPath,
                  const QString &comparerPath, QObject *parent = nullptr);

    // Lays out and reads the backup list, reads the settings into the controls, starts
    // the timers and sets the running state (AutoStart). A failure ends the load quietly.
    void Form_Load();
    // The window begins to unload: every timer, wait and walk stops at CloseFlag.
    void Form_Unload();

    // The buttons.
    void btnStart_Click();
    void btnSettei_Click();
    void btnAddFile_Click();
    void btnAddFolder_Click();
    void btnDel_Click();
    void btnComp_Click();
    // A mode option was chosen (0 backup, 1 sync): the list's headers and the backup-only
    // check boxes follow; nothing is saved.
    void SyncModeOption_Click(int Index);
    // The pointer moved over the backup list: the row under it tells, as its tooltip,
    // why its failure items failed (BackupWork::failureReasons).
    void BakList_MouseMove();

    // The timers' ticks.
    void CpuTimer_Timer();
    void CheckTimer_Timer();
    void WaitTimer_Timer();
    void SyncTimer_Timer();

    // Checks every entry, sets the icon when its state changed, and returns the NG count
    // (-1 when no entry could be checked).
    int ListCheck();
    // 1 = running ("停止" on the button), anything else = stopped ("実行").
    void SetRunState(int state);
    // Checks the settings boxes; shows the first problem and gives its box the focus.
    bool SetteiErr();
    // Takes the settings from the boxes and writes them; a failed write is reported.
    void SetteiSub();

    bool running() const { return m_running; }
    bool passActive() const { return m_passActive; }
    // The run settings in effect (HiSpeed and sync mode change them for a pass).
    BackupSettings &settings() { return m_settings; }
    RunFlags &flags() { return m_flags; }
    Pacer &pacer() { return m_pacer; }
    BackupWork &work() { return m_work; }

    platform::FlexGrid BakList;
    qint32 RunCount = 0;
    qint32 CurrentEntry = 0;
    qint64 WaitSeconds = 0;
    qint64 WaitStartMs = 0;
    bool PoppedUp = false;
    int LastCheckResult = 0;
    int TrayIconState = IconState::None;
    QString IniPath;
    QString ComparerPath;
    // The file-system table whose mount points count as drives (see MountHistory).
    QString FstabPath = QStringLiteral("/etc/fstab");

    QTimer CpuTimer;
    QTimer CheckTimer;
    QTimer WaitTimer;
    QTimer SyncTimer;

private:
    void runPass();
    int ask(const QString &question, bool noByDefault);
    void warn(const QString &message);
    void addEntry(bool folder);
    void saveListOrRaise();

    ProgramHost &m_host;
    Clock &m_clock;
    BackupSettings m_settings;
    RunFlags m_flags;
    Pacer m_pacer;
    BackupWork m_work;
    MountHistory m_history;
    bool m_running = false;
    bool m_passActive = false;
};

} // namespace idlebackup
