#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/instance_slot.h"
#include "platform/flex_grid.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

namespace foldercompare {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

// Runs each window in a program folder of its own, with a name base for the instance
// locks that no other test shares.
class FrmMainTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("DIRGLEAM_SUITE_FOLDER", m_folder.path().toUtf8());
        m_ini = m_folder.filePath(QCoreApplication::applicationName() + ".ini");
        platform::writeProfileString("MUTEX", "ExeMutex", uniqueBase(), m_ini);
        common::CommandLineOptions = {};
    }
    void TearDown() override { qunsetenv("DIRGLEAM_SUITE_FOLDER"); }

    static QString uniqueBase()
    {
        static int counter = 0;
        return QStringLiteral("t%1x%2x%3")
            .arg(QCoreApplication::applicationPid())
            .arg(QDateTime::currentMSecsSinceEpoch())
            .arg(++counter);
    }

    std::unique_ptr<Frm_Main> openWindow() { return std::make_unique<Frm_Main>(); }

    TemporaryFolder m_folder;
    ScriptedDialogs m_dialogs;
    QString m_ini;
};

TEST_F(FrmMainTest, LoadsAsAnIdleNumberedWindow)
{
    auto window = openWindow();
    EXPECT_EQ(window->InstanceNumber, 1);
    EXPECT_EQ(window->windowTitle(), "フォルダ内のファイル比較ツール(1)");
    EXPECT_TRUE(QFileInfo(window->WorkFolder).isDir());
    EXPECT_TRUE(window->WorkFolder.endsWith("001"));
    EXPECT_EQ(window->FileInfoLog[1], window->WorkFolder + "/1.log");
    EXPECT_EQ(window->FtpCacheFolder[0], window->WorkFolder + "/0.ftp");
    EXPECT_TRUE(window->HandOverFolder.endsWith("999"));

    for (Frm_Main::RowCommand *command : window->selectionRowCommands()) {
        EXPECT_FALSE(command->menu->isEnabled()) << command->menu->text().toStdString();
        EXPECT_FALSE(command->popup->isEnabled()) << command->popup->text().toStdString();
    }

    const platform::FlexGrid &grid = *window->Grd_Compare;
    EXPECT_EQ(grid.rows(), 2);
    EXPECT_EQ(grid.cols(), 5);
    EXPECT_EQ(grid.fixedRows(), 1);
    EXPECT_EQ(grid.fixedCols(), 1);
    const QStringList headers{"No.", "状態", "フォルダ１", "フォルダ２", "ファイル/フォルダの相対パス"};
    for (int col = 0; col < 5; ++col) {
        EXPECT_EQ(grid.textMatrix(0, col), headers[col]);
        EXPECT_EQ(grid.textMatrix(1, col), "");
    }
    EXPECT_EQ(grid.colWidth(0), 600);
    EXPECT_GE(grid.colWidth(2), 2000) << "wider where the font needs it";
    EXPECT_EQ(grid.colWidth(3), grid.colWidth(2));
    EXPECT_EQ(grid.row(), 1);
    EXPECT_EQ(grid.col(), 1);
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(FrmMainTest, StartUpRemovesTemporaryFilesThatKilledRunsLeftInItsWorkFolder)
{
    const QString work = m_folder.filePath(platform::executableName() + "001");
    const QStringList stale{work + "/.0.log.~4711-0.tmp", work + "/0.log.tmp4711",
                            work + "/0.ftp/pub/.~ftp4711-2.part", work + "/0.ftp/pub/.page.html.~4711-3.tmp"};
    const QStringList kept{work + "/0.log", work + "/0.ftp/pub/page.html"};
    for (const QString &path : stale + kept)
        m_folder.writeFile(QDir(m_folder.path()).relativeFilePath(path), "x");

    auto window = openWindow();
    ASSERT_EQ(window->WorkFolder, work);
    for (const QString &path : stale)
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    for (const QString &path : kept)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
}

TEST_F(FrmMainTest, SecondWindowTakesTheNextNumber)
{
    auto first = openWindow();
    auto second = openWindow();
    EXPECT_EQ(second->InstanceNumber, 2);
    EXPECT_EQ(second->windowTitle(), "フォルダ内のファイル比較ツール(2)");
    EXPECT_TRUE(second->WorkFolder.endsWith("002"));
    first->Form_Unload();
    first.reset();
    auto third = openWindow();
    EXPECT_EQ(third->InstanceNumber, 1);
}

TEST_F(FrmMainTest, StartupPlacement)
{
    const struct
    {
        const char *name;
        QByteArray window;
        QRect expectedTwips;
        bool maximized;
    } cases[] = {
        {"far off to the left", "Left=-30000\nTop=0\nWidth=15360\nHeight=11070\n", {0, 0, 15360, 11070}, false},
        {"partly off but kept", "Left=-1005\nTop=300\nWidth=9000\nHeight=6000\n", {-1005, 300, 9000, 6000}, false},
        {"below the screen", "Left=0\nTop=90000\nWidth=9000\nHeight=6000\n", {0, 0, 15360, 11070}, false},
        {"maximised", "Left=150\nTop=150\nWidth=9000\nHeight=6000\nState=2\n", {150, 150, 9000, 6000}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_ini);
        m_folder.writeFile(QFileInfo(m_ini).fileName(),
                           "[MUTEX]\nExeMutex=" + uniqueBase().toUtf8() + "\n[Window]\n" + c.window);
        auto window = openWindow();
        const QRect normal = window->isMaximized() ? window->normalGeometry() : window->geometry();
        EXPECT_EQ((window->isMaximized() ? normal.x() : window->x()) * 15, c.expectedTwips.x());
        EXPECT_EQ((window->isMaximized() ? normal.y() : window->y()) * 15, c.expectedTwips.y());
        EXPECT_EQ(normal.width() * 15, c.expectedTwips.width());
        EXPECT_EQ(normal.height() * 15, c.expectedTwips.height());
        EXPECT_EQ(window->isMaximized(), c.maximized);
    }
}

// The placement timer of an unattended run writes nothing, not even over values that do
// not read.
TEST_F(FrmMainTest, AnUnattendedRunWritesNoPlacement)
{
    platform::writeProfileString("Window", "Left", "far", m_ini);
    platform::writeProfileString("Window", "Width", "9000px", m_ini);
    const QByteArray before = TemporaryFolder::readFile(m_ini);
    auto window = openWindow();
    common::BatchMode = true;
    window->Tmr_Resize_Timer();
    common::BatchMode = false;
    EXPECT_EQ(TemporaryFolder::readFile(m_ini), before);
}

TEST_F(FrmMainTest, FirstActivationLoadsSettingsAndCommandLineOptions)
{
    platform::writeProfileString("DSP", "RccBakup", "false", m_ini);
    platform::writeProfileString("DSP", "UpDtNone", "False", m_ini);
    platform::writeProfileString("DSP", "Nomi", "1", m_ini);
    platform::writeProfileString("DSP", "Ext0", "*.txt", m_ini);
    platform::writeProfileString("HISTORY", "Item0", "/a\t/b", m_ini);
    common::CommandLineOptions[3] = false;
    common::CommandLineOptions[6] = QStringLiteral("*.o");

    auto window = openWindow();
    window->Form_Activate();
    EXPECT_TRUE(window->InputEventsOn);
    EXPECT_TRUE(window->RecyclerBackup->isChecked());
    EXPECT_FALSE(window->UpdDateNone->isChecked());
    EXPECT_TRUE(window->Chk_Nomi->isChecked());
    EXPECT_FALSE(window->Chk_Data->isChecked()) << "the command line lies over the stored value";
    EXPECT_TRUE(window->Chk_Folder->isChecked());
    EXPECT_EQ(window->Txt_Ext[0]->text(), "*.txt");
    EXPECT_EQ(window->Txt_Ext[1]->text(), "*.o");
    EXPECT_EQ(window->CompHistory->actions().size(), 1);
    EXPECT_EQ(window->statusText(0), "");

    window->Chk_Nomi->setChecked(false);
    window->Form_Activate();
    EXPECT_FALSE(window->Chk_Nomi->isChecked()) << "a second activation loads nothing again";
}

// A settings file that someone else could have put beside the programs (another user's
// file, a FIFO) is named and left alone: the window opens with the defaults and holds
// nothing up.
TEST_F(FrmMainTest, APlantedSettingsFileIsNamedAndLeftAlone)
{
    using platform::testing::Planted;
    for (const Planted kind : {Planted::Fifo, Planted::OthersFile}) {
        SCOPED_TRACE(int(kind));
        m_dialogs.clear();
        QFile::remove(m_ini);
        if (!platform::testing::plant(kind, m_ini, "[PROXY]\nServer_FTP=attacker:2121\n[DSP]\nNomi=1\n"))
            continue;
        const QByteArray planted = platform::testing::entryState(m_ini);
        {
            platform::testing::FifoWatch watch(m_ini);
            auto window = openWindow();
            window->Form_Activate();
            EXPECT_EQ(window->Server_FTP, "");
            EXPECT_FALSE(window->Chk_Nomi->isChecked());
            window->Form_Unload();
            EXPECT_FALSE(watch.heldUp());
        }
        ASSERT_EQ(m_dialogs.prompts().size(), 1) << m_dialogs.prompts().join("|").toStdString();
        EXPECT_TRUE(m_dialogs.prompts()[0].startsWith("設定ファイルを使用しません。既定の設定で起動します。　\r\n\r\n" + m_ini + "\r\n("))
            << m_dialogs.prompts()[0].toStdString();
        EXPECT_EQ(m_dialogs.shown()[0].style, platform::MessageStyle::OkOnly | platform::MessageStyle::IconExclamation);
        EXPECT_EQ(platform::testing::entryState(m_ini), planted);
    }
    platform::testing::skipWithoutOtherUser();
}

TEST_F(FrmMainTest, InstanceOneRestoresAndSavesTheLastRun)
{
    platform::writeProfileString("DSP", "Path0", "/home/u/old", m_ini);
    platform::writeProfileString("DSP", "Path1", "ftp://u@host/pub/site", m_ini);
    platform::writeProfileString("DSP", "Path1Bak", "ftp://u@host/pub/site", m_ini);
    platform::writeProfileString("DSP", "Status0Txt", "12", m_ini);
    platform::writeProfileString("DSP", "Status2Tip", "0.5秒", m_ini);
    {
        auto window = openWindow();
        auto other = openWindow();
        window->Form_Activate();
        other->Form_Activate();
        EXPECT_EQ(window->Txt_FolderPath[0]->text(), "/home/u/old");
        EXPECT_EQ(window->SideRoot[1], window->FtpCacheFolder[1] + "/site");
        EXPECT_EQ(window->statusText(1), "12");
        EXPECT_EQ(window->statusTip(3), "0.5秒");
        EXPECT_EQ(other->Txt_FolderPath[0]->text(), "") << "only instance 1 restores";

        window->Txt_Ext[1]->setText("build/");
        window->LineMax = 20000;
        other->LineMax = 5;
        other->Form_Unload();
        window->Form_Unload();
    }
    EXPECT_EQ(platform::readProfileString("DSP", "Ext1", "", m_ini), "build/");
    EXPECT_EQ(platform::readProfileString("DSP", "LineMax", "", m_ini), "20000");
    EXPECT_EQ(platform::readProfileString("DSP", "Path0", "", m_ini), "/home/u/old");
    EXPECT_EQ(platform::readProfileString("Window", "State", "", m_ini), "0");
}

TEST_F(FrmMainTest, WindowClosedBeforeActivationKeepsStoredSettings)
{
    platform::writeProfileString("DSP", "LineMax", "777", m_ini);
    platform::writeProfileString("DSP", "Path0", "/keep", m_ini);
    {
        auto window = openWindow();
        window->Form_Unload();
    }
    EXPECT_EQ(platform::readProfileString("DSP", "LineMax", "", m_ini), "777");
    EXPECT_EQ(platform::readProfileString("DSP", "Path0", "", m_ini), "/keep");
}

TEST_F(FrmMainTest, ASettingsWriteCutShortIsReportedAndKeepsTheFile)
{
    for (int i = 0; i < 10; ++i)
        platform::writeProfileString("HISTORY", QStringLiteral("Item%1").arg(i), QStringLiteral("/a/%1\t/b/%1").arg(i),
                                     m_ini);
    const TemporaryFolder trees;
    trees.writeFile("one/a.txt", "a");
    trees.writeFile("two/a.txt", "b");
    auto window = openWindow();
    window->Form_Activate();
    const QByteArray before = TemporaryFolder::readFile(m_ini);
    const QString failure = "設定ファイルに書き込めません。 " + m_ini;
    {
        // Every write that would make the file longer than it is fails part way.
        const platform::testing::FileSizeLimit limit(before.size());
        for (int side = 0; side < 2; ++side) {
            window->Txt_FolderPath[side]->setText(trees.filePath(side == 0 ? "one" : "two"));
            window->Btn_GetFileInfo_Click(side);
        }
        ASSERT_FALSE(m_dialogs.prompts().isEmpty());
        EXPECT_TRUE(m_dialogs.prompts().last().startsWith("システムエラー : CompareFiles\r\n" + failure))
            << m_dialogs.prompts().last().toStdString();
        EXPECT_EQ(window->Grd_Compare->textMatrix(1, 4), "a.txt") << "the history aside, the comparison is done";
        window->Form_Unload();
    }
    EXPECT_TRUE(m_dialogs.prompts().last().startsWith("システムエラー : Form_Unload\r\n" + failure))
        << m_dialogs.prompts().last().toStdString();
    EXPECT_EQ(TemporaryFolder::readFile(m_ini), before);
}

// Waits until a process holds the lock of the work folder `folder`, as /proc/locks lists
// the locks of every process, for at most ten seconds.
bool waitForHeldWorkFolder(const QString &folder)
{
    QElapsedTimer timer;
    timer.start();
    do {
        struct stat info;
        QFile locks("/proc/locks");
        if (::stat(QFile::encodeName(folder + "/.instance.lock").constData(), &info) == 0
            && locks.open(QIODevice::ReadOnly)) {
            const QByteArray inode = ':' + QByteArray::number(quint64(info.st_ino)) + ' ';
            for (const QByteArray &line : locks.readAll().split('\n'))
                if (line.contains("FLOCK") && line.contains(inode))
                    return true;
        }
        QThread::msleep(20);
    } while (timer.elapsed() < 10000);
    return false;
}

TEST(DirgleamProcesses, InstanceNumbersAcrossRealProcesses)
{
    const QString programs = platform::testing::builtProgramsFolder();
    ASSERT_FALSE(programs.isEmpty());
    TemporaryFolder folder;
    // The second window comes from another session (a shell without the desktop's
    // runtime folder, or sudo): a runtime folder of its own.
    TemporaryFolder otherSession;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DIRGLEAM_SUITE_FOLDER", folder.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");

    auto start = [&](QProcess &process) {
        process.setProcessEnvironment(environment);
        process.start(programs + "/Dirgleam", {});
        return process.waitForStarted();
    };
    QProcess first;
    ASSERT_TRUE(start(first));
    ASSERT_TRUE(waitForHeldWorkFolder(folder.filePath("Dirgleam001")));
    EXPECT_EQ(common::TakeInstanceNumber(folder.path(), "Dirgleam").number, 2);

    QProcess second;
    environment.insert("XDG_RUNTIME_DIR", otherSession.path());
    ASSERT_TRUE(start(second));
    EXPECT_TRUE(waitForHeldWorkFolder(folder.filePath("Dirgleam002"))) << "the second window becomes (2)";

    first.kill();
    first.waitForFinished();
    EXPECT_EQ(common::TakeInstanceNumber(folder.path(), "Dirgleam").number, 1) << "the ended window's number is free";
    second.kill();
    second.waitForFinished();
}

} // namespace
} // namespace foldercompare
