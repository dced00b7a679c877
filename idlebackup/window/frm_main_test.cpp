#include "idlebackup/window/frm_main.h"

#include "idlebackup/backup_list.h"
#include "platform/flex_grid.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QSystemTrayIcon>
#include <QTimer>

#include <gtest/gtest.h>

namespace idlebackup {
namespace {

using platform::MessageAnswer::No;
using platform::MessageAnswer::Yes;
using platform::testing::TemporaryFolder;

// Runs each window in a program folder of its own, with its trash in the test's folder.
class FrmMainTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        setEnvironment("DIRGLEAM_SUITE_FOLDER", m_folder.path());
        setEnvironment("XDG_DATA_HOME", m_folder.makeFolder("xdg/data"));
        m_ini = m_folder.filePath(platform::executableName() + ".ini");
    }
    void TearDown() override
    {
        for (const auto &[name, value] : m_savedEnvironment) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    void setEnvironment(const char *name, const QString &value)
    {
        m_savedEnvironment.append({name, qgetenv(name)});
        qputenv(name, value.toUtf8());
    }
    void store(const char *key, const QString &value)
    {
        ASSERT_TRUE(platform::writeProfileString("SETTING", key, value, m_ini));
    }
    // Lets events run until `done` holds or 30 seconds have passed.
    static bool waitFor(const std::function<bool()> &done)
    {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 30000) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        return done();
    }

    TemporaryFolder m_folder;
    QString m_ini;
    QList<std::pair<const char *, QByteArray>> m_savedEnvironment;
    platform::testing::ScriptedDialogs m_dialogs;
};

// A settings file and a mount record that someone else could have put beside the
// programs (a FIFO, another user's file with a sync entry that would start at once) are
// named and left alone: the window shows with the defaults and runs nothing.
TEST_F(FrmMainTest, PlantedFilesAreNamedAndLeftAlone)
{
    using platform::testing::Planted;
    const QString secret = m_folder.writeFile("secret/keys.txt", "mine");
    const QString mounts = m_folder.filePath(platform::executableName() + ".mounts");
    const QByteArray planted = "[SETTING]\nOrgFolder1=" + QFile::encodeName(m_folder.filePath("secret"))
                               + "\nBakFolder1=" + QFile::encodeName(m_folder.filePath("attacker"))
                               + "\nSyncMode=1\nAutoStart=1\nAutoTime=0\nMinIdle=0\nUseCpu=99\n";
    m_folder.writeFile("attacker/secret/keys.txt", "planted");
    for (const Planted kind : {Planted::Fifo, Planted::OthersFile}) {
        SCOPED_TRACE(int(kind));
        m_dialogs.clear();
        QFile::remove(m_ini);
        QFile::remove(mounts);
        if (!platform::testing::plant(kind, m_ini, planted) || !platform::testing::plant(kind, mounts, "/mnt\n"))
            continue;
        const QByteArray before = platform::testing::entryState(m_ini);
        platform::testing::FifoWatch watchSettings(m_ini);
        platform::testing::FifoWatch watchMounts(mounts);
        frmMain window;
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.program().BakList.textMatrix(1, BakListColumn::Original), "");
        EXPECT_EQ(window.program().settings().AutoStart, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(window.btnStart->text(), "実行") << "no run";
        window.mnuEnd_Click();
        EXPECT_FALSE(watchSettings.heldUp());
        EXPECT_FALSE(watchMounts.heldUp());
        const QStringList prompts = m_dialogs.prompts();
        ASSERT_GE(prompts.size(), 2);
        EXPECT_TRUE(prompts[0].startsWith("設定ファイルを使用しません。既定の設定で起動します。　\r\n\r\n" + m_ini + "\r\n("))
            << prompts[0].toStdString();
        EXPECT_TRUE(prompts[1].startsWith("マウントの記録ファイルを使用しません。　\r\n\r\n" + mounts + "\r\n("))
            << prompts[1].toStdString();
        EXPECT_EQ(platform::testing::entryState(m_ini), before);
    }
    EXPECT_EQ(TemporaryFolder::readFile(secret), "mine");
    platform::testing::skipWithoutOtherUser();
}

TEST_F(FrmMainTest, LoadsChecksTheListAndRunsOnePass)
{
    m_folder.writeFile("src/a.txt", "a");
    store("OrgFolder1", m_folder.filePath("src"));
    store("BakFolder1", m_folder.filePath("bak"));
    store("OrgFolder2", m_folder.filePath("missing"));
    store("BakFolder2", m_folder.filePath("bak"));
    store("MinIdle", "0");
    store("UseCpu", "99");
    store("BakDel", "1");
    frmMain window;
    const platform::FlexGrid &list = window.program().BakList;
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Pellastra");
    EXPECT_EQ(list.rows(), 100);
    EXPECT_EQ(list.textMatrix(0, BakListColumn::Original), "オリジナル");
    EXPECT_EQ(list.textMatrix(99, BakListColumn::No), "99");
    EXPECT_EQ(window.CpuUseText->text(), "99");
    EXPECT_TRUE(window.DeleteCheck->isChecked());
    EXPECT_EQ(window.btnStart->text(), "実行");
    EXPECT_EQ((QStringList{list.textMatrix(1, BakListColumn::Judgement), list.textMatrix(2, BakListColumn::Judgement),
                           list.textMatrix(2, BakListColumn::Info)}),
              (QStringList{"OK", "NG", "オリジナル無し"}));

    // Once the program polls, start a run; its pass begins at the next poll.
    ASSERT_TRUE(waitFor([&] { return window.MsgText->text() == "待機中"; }));
    m_dialogs.answerNext(Yes);
    window.btnStart->click();
    EXPECT_EQ(window.btnStart->text(), "停止");
    ASSERT_TRUE(waitFor([&] { return window.btnStart->text() == "実行"; }));
    EXPECT_EQ(TemporaryFolder::readFile(m_folder.filePath("bak/src/a.txt")), "a");
    EXPECT_TRUE(list.textMatrix(1, BakListColumn::Info).startsWith("COPY_(OK) "));
    EXPECT_TRUE(waitFor([&] { return window.MsgText->text() == "待機中"; }));

    int unloaded = 0;
    QObject::connect(&window, &frmMain::unloaded, [&unloaded] { ++unloaded; });
    m_dialogs.answerNext(No);
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(unloaded, 0);
    window.mnuEnd_Click();
    EXPECT_EQ(unloaded, 1);
    EXPECT_TRUE(window.program().flags().CloseFlag);
    EXPECT_EQ(m_dialogs.prompts().last(), "終了しますか？");
}

TEST_F(FrmMainTest, TheEndOfTheDesktopSessionAsksNothing)
{
    frmMain window;
    window.show();
    int unloaded = 0;
    QObject::connect(&window, &frmMain::unloaded, [&unloaded] { ++unloaded; });
    // At logout the session manager has the application quit, which ends its event loop.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_EQ(unloaded, 1);
    EXPECT_TRUE(window.program().flags().CloseFlag);
    EXPECT_EQ(m_dialogs.prompts(), QStringList{});
}

TEST_F(FrmMainTest, AutomaticStartStaysReachableWithoutANotificationArea)
{
    store("AutoStart", "1");
    store("AutoTime", "9999");
    frmMain window;
    EXPECT_EQ(window.btnStart->text(), "停止");
    if (QSystemTrayIcon::isSystemTrayAvailable())
        EXPECT_FALSE(window.isVisible());
    else
        EXPECT_TRUE(window.isVisible() && window.isMinimized());
}

} // namespace
} // namespace idlebackup
