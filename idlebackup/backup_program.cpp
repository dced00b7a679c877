#include "idlebackup/backup_program.h"

#include "common/browse_for_folder.h"
#include "common/common_module.h"
#include "common/saved_error.h"
#include "idlebackup/backup_list.h"
#include "idlebackup/copy_rules.h"
#include "platform/byte_text.h"
#include "platform/process_starter.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <sys/stat.h>

namespace idlebackup {

namespace {

constexpr int CpuInterval = 100;
constexpr int CheckInterval = 2000;
constexpr int WaitInterval = 1000;
constexpr int PollInterval = 1000;
constexpr int PassInterval = 1;
constexpr qint32 WriteFailureNumber = 75;

const QString RunCaption = QStringLiteral("実行");
const QString StopCaption = QStringLiteral("停止");

using platform::MessageAnswer::No;
namespace Style = platform::MessageStyle;

} // namespace

QString programCaption()
{
    return QStringLiteral("Pellastra");
}

BackupProgram::BackupProgram(ProgramHost &host, Clock &clock, ProcessorMeter &meter, const QString &iniPath,
                             const QString &comparerPath, QObject *parent)
    : QObject(parent)
    , IniPath(iniPath)
    , ComparerPath(comparerPath)
    , m_host(host)
    , m_clock(clock)
    , m_pacer(clock, meter, m_settings, m_flags, [&host] { host.pumpEvents(); })
    , m_work(BakList, CurrentEntry, m_settings, m_flags, m_pacer, clock, host)
{
    connect(&CpuTimer, &QTimer::timeout, this, &BackupProgram::CpuTimer_Timer);
    connect(&CheckTimer, &QTimer::timeout, this, &BackupProgram::CheckTimer_Timer);
    connect(&WaitTimer, &QTimer::timeout, this, &BackupProgram::WaitTimer_Timer);
    connect(&SyncTimer, &QTimer::timeout, this, &BackupProgram::SyncTimer_Timer);
}

void BackupProgram::Form_Load()
{
    if (m_flags.CloseFlag)
        return;
    try {
        // Files that are not the user's own are named and left alone; the program starts
        // with its defaults.
        for (const QString &refusal : {common::SettingsFileRefusal(IniPath),
                                       common::UnusedFileMessage(QStringLiteral("マウントの記録ファイルを使用しません。"),
                                                                 MountStatePath(IniPath))})
            if (!refusal.isEmpty())
                warn(refusal);
        InitBackupListGrid(BakList);
        LoadBackupList(BakList, IniPath);
        m_history.load(MountStatePath(IniPath));
        m_history.setListedMountPoints(ListedMountPoints(FstabPath));
        m_settings = LoadBackupSettings(IniPath);
        m_host.setSettingsBoxes(BoxesFromSettings(m_settings));
        SyncModeOption_Click(m_settings.SyncMode);
        RunCount = 0;
        CpuTimer.setInterval(CpuInterval);
        CpuTimer.start();
        CheckTimer.setInterval(CheckInterval);
        CheckTimer.start();
        SyncTimer.setInterval(PassInterval);
        SyncTimer.stop();
        WaitSeconds = m_settings.AutoTime;
        WaitStartMs = m_clock.nowMs();
        WaitTimer.setInterval(WaitInterval);
        WaitTimer.start();
        SetRunState(m_settings.AutoStart);
    } catch (...) {
        common::SaveErr();
    }
}

void BackupProgram::Form_Unload()
{
    m_flags.CloseFlag = true;
}

void BackupProgram::SyncModeOption_Click(int Index)
{
    SetBackupListHeaders(BakList);
    m_host.setBackupOnlyChecksEnabled(Index != 1);
}

void BackupProgram::BakList_MouseMove()
{
    BakList.setToolTipText(m_work.failureReasons(BakList.mouseRow()));
}

bool BackupProgram::SetteiErr()
{
    try {
        const std::optional<SettingsProblem> problem = idlebackup::SetteiErr(m_host.settingsBoxes());
        if (!problem)
            return true;
        m_host.focusSettingsBox(problem->box);
        warn(problem->message);
    } catch (...) {
        common::SaveErr();
    }
    return false;
}

void BackupProgram::SetteiSub()
{
    SettingsBoxes boxes = m_host.settingsBoxes();
    m_settings = TakeSettingsFromBoxes(boxes);
    m_host.setSettingsBoxes(boxes);
    if (!SaveBackupSettings(m_settings, IniPath)) {
        common::SaveErr(WriteFailureNumber, QCoreApplication::applicationName(),
                        QStringLiteral("設定ファイルに書き込めません。 ") + IniPath);
        common::ShowSavedErr(QStringLiteral("SetteiSub"));
    }
}

void BackupProgram::btnSettei_Click()
{
    if (!SetteiErr())
        return;
    if (ask(QStringLiteral("設定を保存します。宜しいですか？"), true) == platform::MessageAnswer::Yes)
        SetteiSub();
}

void BackupProgram::btnStart_Click()
{
    if (!m_running) {
        if (!SetteiErr())
            return;
        if (ask(QStringLiteral("設定を保存し処理を実行します。宜しいですか？"), true) == No)
            return;
        SetteiSub();
        RunCount = 0;
        m_flags.RunFlag = 1;
        SetRunState(1);
        return;
    }
    if (ask(QStringLiteral("処理を停止します。宜しいですか？"), true) == No)
        return;
    m_flags.RunFlag = 0;
    SetRunState(0);
    SyncTimer.start();
}

void BackupProgram::SetRunState(int state)
{
    m_running = state == 1;
    m_host.setStartCaption(m_running ? StopCaption : RunCaption);
    const int result = ListCheck();
    int icon;
    if (m_running)
        icon = result < 1 ? IconState::Running : IconState::Ng;
    else
        icon = result > 0 ? IconState::Ng : IconState::Idle;
    m_host.showIcon(icon);
}

int BackupProgram::ListCheck()
{
    int result = 0;
    try {
        result = idlebackup::ListCheck(BakList, m_settings.SyncMode == 1, m_history, MountTable::current());
        if (m_history.takeChanged() && !m_history.save(MountStatePath(IniPath)))
            common::SaveErr(WriteFailureNumber, QCoreApplication::applicationName(),
                            QStringLiteral("ファイルに書き込めません。 ") + MountStatePath(IniPath));
    } catch (...) {
        common::SaveErr();
        return result;
    }
    const int state = IconStateForCheck(result, m_running);
    if (state != TrayIconState) {
        TrayIconState = state;
        m_host.showIcon(state);
    }
    return result;
}

void BackupProgram::CpuTimer_Timer()
{
    CpuTimer.stop();
    if (m_flags.CloseFlag)
        return;
    try {
        if (m_pacer.takeSample())
            m_host.showMeter(m_pacer.meterPercent());
    } catch (...) {
        common::SaveErr();
    }
    if (m_flags.CloseFlag)
        m_host.unloadWindow();
    else
        CpuTimer.start();
}

void BackupProgram::CheckTimer_Timer()
{
    CheckTimer.stop();
    if (m_flags.CloseFlag)
        return;
    try {
        const int result = ListCheck();
        if (result == 0) {
            if (PoppedUp && LastCheckResult != -1)
                m_host.hideWindow();
            PoppedUp = false;
        }
        if ((result > 0 && result > LastCheckResult) || (result == -1 && LastCheckResult != -1)) {
            if (m_host.windowHidden()) {
                m_host.popUpWindow();
                PoppedUp = true;
            }
        }
        LastCheckResult = result;
    } catch (...) {
        common::SaveErr();
    }
    if (m_flags.CloseFlag)
        m_host.unloadWindow();
    else
        CheckTimer.start();
}

void BackupProgram::WaitTimer_Timer()
{
    WaitTimer.stop();
    if (m_flags.CloseFlag)
        return;
    try {
        if (m_running && !SyncTimer.isActive()) {
            const qint64 elapsed = (m_clock.nowMs() - WaitStartMs) / 1000;
            if (elapsed >= WaitSeconds) {
                m_flags.RunFlag = 1;
                SyncTimer.start();
            } else {
                m_work.showMessage(RunCaption + QString::number(WaitSeconds - elapsed) + QStringLiteral("秒前"));
                WaitTimer.start();
            }
            if (m_flags.CloseFlag)
                m_host.unloadWindow();
        } else {
            SyncTimer.start();
        }
    } catch (...) {
        common::SaveErr();
    }
}

void BackupProgram::SyncTimer_Timer()
{
    SyncTimer.stop();
    if (m_flags.CloseFlag)
        return;
    if (m_passActive) {
        // A tick inside the events a pass lets run: the pass in hand goes on, and this
        // one comes back once it is over rather than start a second pass within it.
        SyncTimer.setInterval(PollInterval);
        SyncTimer.start();
        return;
    }
    if (m_flags.RunFlag == 0) {
        m_work.showMessage(QStringLiteral("待機中"));
        SyncTimer.setInterval(PollInterval);
        SyncTimer.start();
        return;
    }
    m_passActive = true;
    try {
        runPass();
    } catch (...) {
        common::SaveErr();
        m_passActive = false;
        return;
    }
    m_passActive = false;
    if (m_flags.CloseFlag) {
        m_host.unloadWindow();
        return;
    }
    if (m_settings.NextStart == 1) {
        WaitSeconds = m_settings.NextTime;
        WaitStartMs = m_clock.nowMs();
        WaitTimer.start();
        return;
    }
    m_flags.RunFlag = 0;
    SetRunState(0);
    SyncTimer.setInterval(PassInterval);
    SyncTimer.start();
}

void BackupProgram::runPass()
{
    m_work.showMessage(QStringLiteral("実行中"));
    ++RunCount;
    if (m_settings.HiSpeed == 1) {
        if (RunCount == 1) {
            m_settings.MinIdle = 0;
            m_settings.UseCpu = 99;
        } else if (RunCount == 2) {
            ReloadPacingSettings(m_settings, IniPath);
        }
    }
    m_pacer.startBusyStretch();
    m_history.setListedMountPoints(ListedMountPoints(FstabPath));
    ListCheck();
    m_pacer.BreakeTime(0);
    const MountTable mounts = MountTable::current();
    const int lastRow = BakList.rows() - 1;
    for (int row = BakList.fixedRows(); row <= lastRow; ++row) {
        CurrentEntry = row - BakList.fixedRows();
        if (BakList.textMatrix(row, BakListColumn::Judgement) == u"OK")
            m_work.BackUpEntry(BakList.textMatrix(row, BakListColumn::Original),
                             BakList.textMatrix(row, BakListColumn::Destination), m_history, mounts);
        m_pacer.BreakeTime(0);
    }
    m_work.flushMessage();
}

void BackupProgram::btnAddFile_Click()
{
    try {
        addEntry(false);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("btnAddFile_Click"));
    }
}

void BackupProgram::btnAddFolder_Click()
{
    try {
        addEntry(true);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("btnAddFolder_Click"));
    }
}

void BackupProgram::addEntry(bool folder)
{
    const FreeRow free = FindFreeRow(BakList);
    if (free.row < 0) {
        warn(QStringLiteral("バックアップリストが一杯です。これ以上追加出来ません。"));
        return;
    }
    QString original;
    if (folder) {
        original = common::BrowseForFolder(QStringLiteral("オリジナルのフォルダを指定してください"), free.original,
                                           common::BrowseCancel::Empty);
    } else {
        const QList<platform::FileFilter> filters = {{QStringLiteral("全てのﾌｧｲﾙ(*.*)"), {QStringLiteral("*")}}};
        const std::optional<platform::ChosenFile> chosen = platform::dialogs().openFile(
            QStringLiteral("オリジナルのファイルを指定してください"), QString(), filters, 0);
        if (chosen)
            original = chosen->path;
    }
    if (original.isEmpty())
        return;
    const QString destination = common::BrowseForFolder(QStringLiteral("コピー先のフォルダを指定してください"),
                                                        free.destination, common::BrowseCancel::Empty);
    if (destination.isEmpty())
        return;
    if (folder ? FolderEntryOverlaps(original, destination) : FileEntryOverlaps(original, destination)) {
        warn(QStringLiteral("オリジナルとコピー先のフォルダが同じです。"));
        return;
    }
    BakList.setTextMatrix(free.row, BakListColumn::Original, original);
    BakList.setTextMatrix(free.row, BakListColumn::Destination, destination);
    BakList.setTextMatrix(free.row, BakListColumn::Judgement, QStringLiteral("OK"));
    saveListOrRaise();
}

void BackupProgram::btnDel_Click()
{
    try {
        const int row = BakList.row();
        if (row < BakList.fixedRows() || BakList.textMatrix(row, BakListColumn::Original).isEmpty())
            return;
        if (ask(QStringLiteral("選択されているバックアップリストを削除します。宜しいですか？"), true) == No)
            return;
        RemoveBackupEntry(BakList, row);
        saveListOrRaise();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("btnDel_Click"));
    }
}

void BackupProgram::btnComp_Click()
{
    try {
        const int row = BakList.row();
        if (row < BakList.fixedRows() || BakList.textMatrix(row, BakListColumn::Original).isEmpty())
            return;
        if (ask(QStringLiteral("選択されているバックアップリストを比較します。宜しいですか？"), false) == No)
            return;
        m_host.pumpEvents();
        const QString original = BakList.textMatrix(row, BakListColumn::Original);
        QString destination = BakList.textMatrix(row, BakListColumn::Destination);
        if (!QFileInfo(ComparerPath).isFile()) {
            platform::dialogs().messageBox(QStringLiteral("フォルダ内のファイル比較ツールが存在しません　\r\n\r\n")
                                               + ComparerPath,
                                           Style::OkOnly, QString());
            return;
        }
        struct stat info;
        const bool present = ::stat(platform::BytesOfText(original).constData(), &info) == 0;
        if (present && S_ISREG(info.st_mode)) {
            destination = FileCopyPath(original, destination);
        } else if (present && S_ISDIR(info.st_mode)) {
            if (FileNameOf(original) != FileNameOf(destination))
                destination = WithoutTrailingSlash(FolderCopyRoot(original, destination));
        } else {
            warn(QStringLiteral("オリジナルのファイルまたはフォルダが存在しません。"));
            return;
        }
        if (const QString refusal = platform::siblingStartRefusal(ComparerPath); !refusal.isEmpty()) {
            platform::dialogs().messageBox(refusal, Style::OkOnly, QString());
            return;
        }
        if (!platform::processStarter().startDetached(ComparerPath, {original, destination, QStringLiteral("-nd")}))
            throw common::Failure(9999, QCoreApplication::applicationName(),
                                  QStringLiteral("起動できません。 ") + ComparerPath);
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("btnComp_Click"));
    }
}

void BackupProgram::saveListOrRaise()
{
    if (!SaveBackupList(BakList, IniPath))
        throw common::Failure(WriteFailureNumber, QCoreApplication::applicationName(),
                              QStringLiteral("設定ファイルに書き込めません。 ") + IniPath);
}

int BackupProgram::ask(const QString &question, bool noByDefault)
{
    return platform::dialogs().messageBox(
        question, Style::YesNo | Style::IconQuestion | (noByDefault ? Style::DefaultButton2 : 0), programCaption());
}

void BackupProgram::warn(const QString &message)
{
    platform::dialogs().messageBox(message, Style::OkOnly | Style::IconExclamation, QString());
}

} // namespace idlebackup
