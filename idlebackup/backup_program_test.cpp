#include "idlebackup/backup_program.h"

#include "idlebackup/backup_list.h"
#include "idlebackup/work_test_fixture.h"
#include "common/saved_error.h"
#include "platform/profile.h"
#include "platform/testing/recording_process_starter.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/write_faults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace idlebackup {
namespace {

using platform::MessageAnswer::No;
using platform::MessageAnswer::Yes;
using platform::testing::ScriptedDialogs;

// The window as the program sees it, kept in plain values.
class FakeWindow final : public ProgramHost
{
public:
    void setMessageText(const QString &text) override { message = text; }
    void pumpEvents() override
    {
        if (onPump)
            onPump();
    }
    void showIcon(int state) override { icon = state; }
    void showMeter(int usePercent) override { meter = usePercent; }
    void setStartCaption(const QString &text) override { caption = text; }
    SettingsBoxes settingsBoxes() const override { return boxes; }
    void setSettingsBoxes(const SettingsBoxes &newBoxes) override { boxes = newBoxes; }
    void focusSettingsBox(SettingsBox box) override { focused = box; }
    void setBackupOnlyChecksEnabled(bool enabled) override { backupChecksEnabled = enabled; }
    bool windowHidden() const override { return hidden; }
    void popUpWindow() override
    {
        hidden = false;
        ++popUps;
    }
    void hideWindow() override { hidden = true; }
    void unloadWindow() override { ++unloads; }

    QString message;
    int icon = 0;
    int meter = -1;
    QString caption;
    SettingsBoxes boxes;
    std::optional<SettingsBox> focused;
    bool backupChecksEnabled = false;
    bool hidden = true;
    int popUps = 0;
    int unloads = 0;
    std::function<void()> onPump;
};

class BackupProgramTest : public ::testing::Test
{
public:
    BackupProgramTest()
        : m_xdg(m_folder.path())
    {
        m_ini = m_folder.filePath("Zelquin.ini");
        m_fstab = m_folder.filePath("fstab");
        m_comparer = m_folder.writeFile("bin/Dirgleam", "");
    }
    void store(const QString &key, const QString &value)
    {
        ASSERT_TRUE(platform::writeProfileString("SETTING", key, value, m_ini));
    }
    BackupProgram &load()
    {
        m_program = std::make_unique<BackupProgram>(m_window, m_clock, m_meter, m_ini, m_comparer);
        m_program->FstabPath = m_fstab;
        m_program->Form_Load();
        return *m_program;
    }
    QString cell(int row, int col) const { return m_program->BakList.textMatrix(row, col); }

    platform::testing::TemporaryFolder m_folder;
    testing::XdgFolders m_xdg;
    QString m_ini;
    QString m_fstab;
    QString m_comparer;
    FakeWindow m_window;
    testing::SteppingClock m_clock;
    testing::FixedMeter m_meter;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<BackupProgram> m_program;
};

TEST_F(BackupProgramTest, StartChecksSavesAndRunsOnePass)
{
    m_folder.writeFile("src/a.txt", "a");
    store("OrgFolder1", m_folder.filePath("src"));
    store("BakFolder1", m_folder.filePath("bak"));
    store("SyncMode", "1");
    BackupProgram &program = load();
    EXPECT_EQ(m_window.caption, "実行");
    EXPECT_FALSE(m_window.backupChecksEnabled);
    EXPECT_EQ(cell(1, BakListColumn::Judgement), "OK");
    EXPECT_EQ(m_window.icon, IconState::Idle);

    m_window.boxes.CpuUseText = "0";
    program.btnStart_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"CPU使用率は1～99で指定してください。"});
    EXPECT_EQ(m_window.focused, SettingsBox::CpuUse);
    EXPECT_FALSE(program.running());

    m_window.boxes.CpuUseText = "99";
    m_window.boxes.CpuIdleText = "0";
    m_window.boxes.SyncModeOption = false;
    m_dialogs.answerNext(Yes);
    program.btnStart_Click();
    EXPECT_TRUE(program.running());
    EXPECT_EQ(m_window.caption, "停止");
    EXPECT_EQ(m_window.icon, IconState::Running);
    EXPECT_EQ(platform::readProfileString("SETTING", "UseCpu", "", m_ini), "99");
    EXPECT_EQ(platform::readProfileString("SETTING", "SyncMode", "", m_ini), "0");

    program.SyncTimer_Timer();
    EXPECT_EQ(platform::testing::TemporaryFolder::readFile(m_folder.filePath("bak/src/a.txt")), "a");
    EXPECT_TRUE(cell(1, BakListColumn::Info).startsWith("COPY_(OK) "));
    EXPECT_FALSE(program.running());
    EXPECT_EQ(m_window.caption, "実行");
    program.SyncTimer_Timer();
    EXPECT_EQ(m_window.message, "待機中");
}

// The pointer over an entry of the list shows why its failure items failed.
TEST_F(BackupProgramTest, TheListTellsWhyACopyFailedOverItsRow)
{
    BackupProgram &program = load();
    program.flags().RunFlag = 1;
    m_folder.makeFolder("bak");
    const QString missing = m_folder.filePath("missing.txt");
    program.work().CopyFile(missing, m_folder.filePath("bak/missing.txt"));
    const QString item = cell(1, BakListColumn::Errors);
    ASSERT_EQ(item, missing + "->" + m_folder.filePath("bak/missing.txt") + "(COPY)");
    program.BakList.setMousePosition(1, BakListColumn::Errors);
    program.BakList_MouseMove();
    EXPECT_EQ(program.BakList.toolTipText(), item + "\n　" + common::SavedErr().Description);
    EXPECT_TRUE(common::SavedErr().Description.contains(missing)) << common::SavedErr().Description.toStdString();
    program.BakList.setMousePosition(2, BakListColumn::Errors);
    program.BakList_MouseMove();
    EXPECT_EQ(program.BakList.toolTipText(), "");
}

TEST_F(BackupProgramTest, CountdownHiSpeedAndNextPass)
{
    store("AutoStart", "1");
    store("AutoTime", "3");
    store("HiSpeed", "1");
    store("NextStart", "1");
    store("NextTime", "0");
    store("MinIdle", "50");
    store("UseCpu", "20");
    BackupProgram &program = load();
    EXPECT_TRUE(program.running());
    m_clock.advance(1000);
    program.WaitTimer_Timer();
    EXPECT_EQ(m_window.message, "実行2秒前");
    EXPECT_EQ(program.flags().RunFlag, 0);
    m_clock.advance(2000);
    program.WaitTimer_Timer();
    EXPECT_EQ(program.flags().RunFlag, 1);
    EXPECT_TRUE(program.SyncTimer.isActive());

    program.SyncTimer_Timer();
    EXPECT_EQ((std::pair{program.settings().MinIdle, program.settings().UseCpu}), (std::pair{0, 99}));
    EXPECT_TRUE(program.WaitTimer.isActive());
    program.WaitTimer_Timer();
    program.SyncTimer_Timer();
    EXPECT_EQ(program.RunCount, 2);
    EXPECT_EQ((std::pair{program.settings().MinIdle, program.settings().UseCpu}), (std::pair{50, 20}));

    // Stop during the countdown: the next ticks return to polling.
    m_dialogs.answerNext(Yes);
    program.btnStart_Click();
    EXPECT_FALSE(program.running());
    program.WaitTimer_Timer();
    program.SyncTimer_Timer();
    EXPECT_EQ(m_window.message, "待機中");
}

TEST_F(BackupProgramTest, ATimerTickWithinAPassStartsNoSecondPass)
{
    m_folder.writeFile("src/a.txt", "a");
    store("OrgFolder1", m_folder.filePath("src"));
    store("BakFolder1", m_folder.filePath("bak"));
    BackupProgram &program = load();
    program.flags().RunFlag = 1;
    int nested = 0;
    m_window.onPump = [&] {
        if (nested++ > 0)
            return;
        // Stop and start again while the pass is under way; the timer ticks.
        program.flags().RunFlag = 0;
        program.flags().RunFlag = 1;
        program.SyncTimer_Timer();
    };
    m_clock.m_step = 20;
    program.SyncTimer_Timer();
    EXPECT_GT(nested, 0);
    EXPECT_EQ(program.RunCount, 1);
    EXPECT_FALSE(program.passActive());
}

TEST_F(BackupProgramTest, ListCheckPopsTheWindowUpAndHidesItAgain)
{
    store("OrgFolder1", m_folder.filePath("missing"));
    store("BakFolder1", m_folder.filePath("bak"));
    BackupProgram &program = load();
    program.CheckTimer_Timer();
    EXPECT_EQ(m_window.popUps, 1);
    EXPECT_EQ(m_window.icon, IconState::Ng);
    m_folder.makeFolder("missing");
    program.CheckTimer_Timer();
    EXPECT_TRUE(m_window.hidden);
    EXPECT_EQ(m_window.icon, IconState::Idle);

    // An uncheckable list pops the window up once.
    program.BakList.setTextMatrix(1, BakListColumn::Original, "");
    program.CheckTimer_Timer();
    program.CheckTimer_Timer();
    EXPECT_EQ(m_window.popUps, 2);
}

TEST_F(BackupProgramTest, ListButtons)
{
    const QString data = m_folder.makeFolder("data");
    const QString backup = m_folder.makeFolder("bak");
    BackupProgram &program = load();

    m_dialogs.chooseNextFolder(data);
    m_dialogs.chooseNextFolder(data + "/inner");
    program.btnAddFolder_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"オリジナルとコピー先のフォルダが同じです。"});
    m_dialogs.chooseNextFolder(data);
    m_dialogs.chooseNextFolder(backup);
    program.btnAddFolder_Click();
    EXPECT_EQ((QStringList{cell(1, 1), cell(1, 2), cell(1, 3)}), (QStringList{data, backup, "OK"}));
    EXPECT_EQ(platform::readProfileString("SETTING", "BakFolder1", "", m_ini), backup);

    platform::testing::RecordingProcessStarter starter;
    program.BakList.setCurrentCell(1, 1);
    m_dialogs.answerNext(Yes);
    program.btnComp_Click();
    ASSERT_EQ(starter.starts().size(), 1);
    EXPECT_EQ(starter.starts()[0].program, m_comparer);
    EXPECT_EQ(starter.starts()[0].arguments, (QStringList{data, backup + "/data", "-nd"}));

    // A comparer that others may change is not started.
    m_dialogs.clear();
    QFile::setPermissions(m_comparer, QFile::permissions(m_comparer) | QFile::WriteOther);
    m_dialogs.answerNext(Yes);
    program.btnComp_Click();
    EXPECT_EQ(starter.starts().size(), 1);
    EXPECT_EQ(m_dialogs.prompts().last(), "プログラムを起動しません。　\r\n\r\n" + m_comparer + "\r\n(他のユーザーも書き込めます)");

    m_dialogs.clear();
    QFile::remove(m_comparer);
    m_dialogs.answerNext(Yes);
    program.btnComp_Click();
    EXPECT_EQ(m_dialogs.prompts().last(), "フォルダ内のファイル比較ツールが存在しません　\r\n\r\n" + m_comparer);

    m_dialogs.answerNext(No);
    program.btnDel_Click();
    EXPECT_EQ(cell(1, 1), data);
    m_dialogs.answerNext(Yes);
    program.btnDel_Click();
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_EQ(platform::readProfileString("SETTING", "OrgFolder1", "<missing>", m_ini), "");

    for (int row = 1; row <= BackupListEntries; ++row)
        program.BakList.setTextMatrix(row, BakListColumn::Original, "/x");
    m_dialogs.clear();
    program.btnAddFile_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"バックアップリストが一杯です。これ以上追加出来ません。"});
}

// An entry's path that the settings file holds in bytes that are not UTF-8 is backed up
// under those bytes, and the list is saved with them.
TEST_F(BackupProgramTest, AnEntryPathKeepsItsBytes)
{
    const QByteArray original = QFile::encodeName(m_folder.path()) + "/caf\xe9root";
    const QByteArray backup = QFile::encodeName(m_folder.makeFolder("bak"));
    ASSERT_EQ(::mkdir(original.constData(), 0755), 0);
    const int file = ::open((original + "/a.txt").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::write(file, "a", 1), 1);
    ::close(file);
    m_folder.writeFile("Zelquin.ini", "[SETTING]\nOrgFolder1=" + original + "\nBakFolder1=" + backup + "\n");
    BackupProgram &program = load();
    EXPECT_EQ(cell(1, BakListColumn::Judgement), "OK");
    program.flags().RunFlag = 1;
    program.SyncTimer_Timer();
    struct stat copied;
    EXPECT_EQ(::stat((backup + "/caf\xe9root/a.txt").constData(), &copied), 0);

    m_dialogs.chooseNextFolder(m_folder.makeFolder("second"));
    m_dialogs.chooseNextFolder(QFile::decodeName(backup));
    program.btnAddFolder_Click();
    EXPECT_TRUE(platform::testing::TemporaryFolder::readFile(m_ini).contains("OrgFolder1=" + original + "\n"));
}

// Two entries whose copies go into one folder would trash each other's backups with 削除:
// the second is NG, naming the first, and the pass leaves the first one's backup alone.
// An entry that copies the same files again (the same pair) is no danger.
TEST_F(BackupProgramTest, EntriesWithOneCopyRootAreRefused)
{
    m_folder.writeFile("a/docs/a.txt", "a");
    m_folder.writeFile("b/docs/b.txt", "b");
    const QString backup = m_folder.filePath("bak");
    for (const auto &[entry, original] : {std::pair{1, "a/docs"}, {2, "b/docs"}, {3, "a/docs"}}) {
        store(QString("OrgFolder%1").arg(entry), m_folder.filePath(original));
        store(QString("BakFolder%1").arg(entry), backup);
    }
    store("BakDel", "1");
    BackupProgram &program = load();
    EXPECT_EQ((QStringList{cell(2, BakListColumn::Judgement), cell(2, BakListColumn::Info)}),
              (QStringList{"NG", "コピー先がNo.1と重複"}));
    EXPECT_EQ(cell(1, BakListColumn::Judgement), "OK");
    EXPECT_EQ(cell(3, BakListColumn::Judgement), "OK");
    program.flags().RunFlag = 1;
    program.SyncTimer_Timer();
    EXPECT_EQ(QDir(backup + "/docs").entryList(QDir::Files), QStringList{"a.txt"});
    EXPECT_FALSE(QFileInfo::exists(m_xdg.trashFiles(m_folder.path())));
}

TEST_F(BackupProgramTest, AFailedSettingsWriteIsReported)
{
    BackupProgram &program = load();
    m_window.boxes.NoneStrText = QString(5000, u'x');
    m_dialogs.answerNext(Yes);
    {
        platform::testing::FileSizeLimit limit(1000);
        program.btnSettei_Click();
    }
    ASSERT_EQ(m_dialogs.prompts().size(), 2);
    EXPECT_TRUE(m_dialogs.prompts()[1].startsWith("システムエラー : SetteiSub\r\n設定ファイルに書き込めません。"))
        << m_dialogs.prompts()[1].toStdString();
    EXPECT_EQ(program.settings().NoneStr.size(), 5000);
}

// After a restart, a disk that was mounted at an earlier run, or that the file-system
// table lists, and is not mounted now has no drive, for the original as for the
// destination, also once its entry was removed and added again: the pass neither empties
// the backup for a stray file in the bare mount point nor writes the backup into it.
TEST_F(BackupProgramTest, DisksNotMountedAtStartAreNoDrive)
{
    struct Case
    {
        const char *name;
        bool originalOnDisk;
        bool listed; // in the file-system table, else mounted at the first run
        bool removedAndAdded = false;
    };
    const Case cases[] = {
        {"destination listed", false, true},
        {"original remembered", true, false},
        {"destination remembered", false, false},
        {"original remembered, entry removed and added", true, false, true},
    };
    store("BakDel", "1");
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        for (const char *folder : {"disk", "src", "bak"})
            QDir(m_folder.filePath(folder)).removeRecursively();
        QFile::remove(MountStatePath(m_ini));
        const QString disk = m_folder.makeFolder("disk");
        m_folder.writeFile("fstab", test.listed ? "/dev/sdb1 " + QFile::encodeName(disk) + " vfat noauto 0 0\n" : "");
        const QString original = test.originalOnDisk ? disk + "/data" : m_folder.filePath("src");
        const QString destination = test.originalOnDisk ? m_folder.filePath("bak") : disk + "/bak";
        store("OrgFolder1", original);
        store("BakFolder1", destination);
        const QString copied = test.originalOnDisk ? destination + "/data/a.txt" : destination + "/src/a.txt";
        if (!test.listed) {
            platform::testing::SmallFileSystem mounted(disk);
            if (!mounted.isMounted())
                GTEST_SKIP() << "mounting a file system needs the superuser";
            m_folder.writeFile(original.mid(m_folder.path().size() + 1) + "/a.txt", "a");
            load().flags().RunFlag = 1;
            m_program->SyncTimer_Timer();
            ASSERT_TRUE(QFileInfo::exists(copied));
            m_program->Form_Unload();
            m_program.reset();
        } else {
            m_folder.writeFile("src/a.txt", "a");
        }
        m_folder.writeFile(original.mid(m_folder.path().size() + 1) + "/stray.txt", "s");

        BackupProgram &program = load();
        if (test.removedAndAdded) {
            program.BakList.setCurrentCell(1, 1);
            m_dialogs.answerNext(Yes);
            program.btnDel_Click();
            program.CheckTimer_Timer();
            m_dialogs.chooseNextFolder(original);
            m_dialogs.chooseNextFolder(destination);
            program.btnAddFolder_Click();
            program.CheckTimer_Timer();
        }
        EXPECT_EQ((QStringList{cell(1, BakListColumn::Judgement), cell(1, BakListColumn::Info)}),
                  (QStringList{"NG", "ドライブ無"}));
        program.flags().RunFlag = 1;
        program.SyncTimer_Timer();
        EXPECT_EQ(QFileInfo::exists(copied), test.originalOnDisk);
        EXPECT_FALSE(QFileInfo::exists(m_xdg.trashFiles(m_folder.path())));
        m_program.reset();
    }
}

} // namespace
} // namespace idlebackup
