#include "foldercompare/window/window_test_fixture.h"

#include "common/code_backends.h"
#include "common/dialogs/frm_fl_nm_code.h"
#include "common/dialogs/frm_proxy.h"
#include "common/mod_ftp.h"
#include "platform/testing/ftp_test_server.h"
#include "platform/testing/print_to.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace foldercompare {
namespace {

using platform::MessageAnswer::No;
using platform::testing::FtpTestProxy;
using platform::testing::FtpTestServer;
using platform::testing::TemporaryFolder;

const QString DownloadQuestion = QStringLiteral("指定のFTPフォルダまたはFTPファイルをダウンロードします。　\r\n"
                                                "宜しいですか？ (次回からは差分ダウンロードなので少し速いです)　\r\n\r\n"
                                                "(注意)FTPファイル名の漢字コード指定は宜しいですか？");

// An FTP side "pub" and a local side: a.txt the same, b.txt changed, c.txt only on the
// server, d.txt only on the local side; all dated to the same whole minute, since
// listings show minutes.
class FtpWindowTest : public testing::WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        common::FtpDisconnect();
        m_time = QDateTime::fromSecsSinceEpoch((QDateTime::currentSecsSinceEpoch() - 86400) / 60 * 60);
        serverFile("pub/a.txt", "same");
        serverFile("pub/b.txt", "server text");
        serverFile("pub/c.txt", "c");
        localFile("local/a.txt", "same");
        localFile("local/b.txt", "local");
        localFile("local/d.txt", "d");
        ASSERT_TRUE(m_server.start());
    }
    void TearDown() override
    {
        common::BatchMode = false;
        common::BatchFailed = false;
        platform::testing::removeRawContents(m_root.path());
        WindowTest::TearDown();
    }

    void serverFile(const QByteArray &relative, const QByteArray &content)
    {
        platform::testing::writeRawFile(m_root.path(), relative, content);
        platform::testing::setRawFileTime(m_root.path(), relative, m_time);
    }
    void localFile(const QString &relative, const QByteArray &content)
    {
        file(relative, content);
        platform::testing::setRawFileTime(m_trees.path(), relative.toUtf8(), m_time);
    }

    QDateTime m_time;
    TemporaryFolder m_root;
    FtpTestServer m_server{m_root.path()};
};

TEST_F(FtpWindowTest, BatchComparisonOfAnFtpSideWithALocalSide)
{
    common::BatchMode = true;
    platform::writeProfileString("DSP", "Data", "0", m_ini);
    platform::writeProfileString("DSP", "UpDtNone", "False", m_ini);
    auto window = openWindow();
    window->Txt_FolderPath[0]->setText(m_server.url("/pub"));
    window->Txt_FolderPath[1]->setText(tree("local"));
    window->Form_Activate();
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "変更|b.txt", "削除|c.txt", "追加|d.txt"}));
    EXPECT_EQ(window->Txt_FolderPath[0]->text(), m_server.url("/pub/"));
    EXPECT_EQ(window->GatheredPath[0], m_server.url("/pub/"));
    EXPECT_EQ(window->SideRoot[0], window->FtpCacheFolder[0]);
    EXPECT_EQ(TemporaryFolder::readFile(window->FtpCacheFolder[0] + "/b.txt"), "server text");
    EXPECT_EQ(m_dialogs.shown().size(), 0);
    EXPECT_FALSE(common::BatchFailed);
}

TEST_F(FtpWindowTest, ASideKeepsTheCodeItsServersNamesWereReadIn)
{
    serverFile("pub/日本.txt", "same");
    localFile("local/日本.txt", "same");
    common::BatchMode = true;
    platform::writeProfileString("FTP", "FlNmCode0", "SJIS", m_ini);
    auto window = openWindow();
    window->Txt_FolderPath[0]->setText(m_server.url("/pub"));
    window->Txt_FolderPath[1]->setText(tree("local"));
    window->Form_Activate();
    EXPECT_EQ(window->SideFileNameCode[0], "UTF8") << "names sent to this server later must be UTF-8";
    EXPECT_TRUE(statusRows(*window).contains("|日本.txt")) << statusRows(*window).join(u' ').toStdString();
}

TEST_F(FtpWindowTest, UnattendedRunsAgainstServersThatBehaveAsRealOnes)
{
    // Every file changed at 33 s past a minute; LIST states only the minute, and only the
    // day for old.txt.
    const QDateTime changed = m_time.addSecs(33);
    const QDateTime old = QDateTime(QDate::currentDate().addYears(-1), QTime(10, 20, 33));
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        platform::testing::setRawFileTime(m_root.path(), QByteArray("pub/") + name, changed);
    for (const char *name : {"a.txt", "b.txt", "d.txt"})
        platform::testing::setRawFileTime(m_trees.path(), QByteArray("local/") + name, changed);
    serverFile("pub/old.txt", "old");
    platform::testing::setRawFileTime(m_root.path(), "pub/old.txt", old);
    localFile("local/old.txt", "old");
    platform::testing::setRawFileTime(m_trees.path(), "local/old.txt", old);
    const QStringList compared = {"|a.txt", "変更|b.txt", "削除|c.txt", "追加|d.txt", "|old.txt"};
    const QString missing = QStringLiteral("フォルダまたはファイルが存在しません　\n");

    using Server = platform::testing::FtpTestServer;
    const struct
    {
        const char *name;
        std::function<void(Server &)> behave;
        QStringList rows;
        bool failed;
        QStringList told; // parts of standard error
    } cases[] = {
        {"LIST", [](Server &server) { server.offerNoMlsd(); }, compared, false, {}},
        {"MLSD", [](Server &) {}, compared, false, {}},
        {"passive mode refused", [](Server &server) { server.refuse("EPSV"), server.refuse("PASV"); }, {}, true,
         {missing + "FTP: unknown PASV reply\n550 PASV refused.\n", "フォルダ１（旧）の情報を取得できませんでした。出力ファイルは作成しません。"}},
        {"a file the server refuses to send", [](Server &server) { server.refuseToSend("/pub/b.txt"); },
         compared, true,
         {"サーバーが送らなかったファイルがあります。一覧の日時とサイズで表示します。　\n\nb.txt : 550 Permission denied.\n"}},
    };
    platform::writeProfileString("DSP", "Data", "0", m_ini);
    platform::writeProfileString("DSP", "UpDtNone", "False", m_ini);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Server server(m_root.path());
        c.behave(server);
        ASSERT_TRUE(server.start());
        common::BatchMode = true;
        common::BatchFailed = false;
        auto window = openWindow();
        window->Txt_FolderPath[0]->setText(server.url("/pub"));
        window->Txt_FolderPath[1]->setText(tree("local"));
        ::testing::internal::CaptureStderr();
        window->Form_Activate();
        const QString told = QString::fromLocal8Bit(::testing::internal::GetCapturedStderr());
        EXPECT_EQ(common::BatchFailed, c.failed);
        if (!c.rows.isEmpty()) {
            EXPECT_EQ(statusRows(*window), c.rows);
        } else {
            EXPECT_FALSE(statusRows(*window).join(u' ').contains("a.txt"));
        }
        for (const QString &part : c.told)
            EXPECT_TRUE(told.contains(part)) << told.toStdString();
    }
}

TEST_F(FtpWindowTest, ANewAddressAsksBeforeItsFirstDownloadOnly)
{
    auto window = readyWindow();
    m_dialogs.answerNext(No);
    gather(*window, 0, m_server.url("/pub/"));
    EXPECT_EQ(m_dialogs.prompts(), QStringList{DownloadQuestion});
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), "");
    EXPECT_FALSE(QFileInfo::exists(window->FtpCacheFolder[0] + "/a.txt"));

    m_dialogs.clear();
    gather(*window, 0, m_server.url("/pub/"));
    EXPECT_EQ(m_dialogs.prompts(), QStringList{DownloadQuestion});
    EXPECT_NE(window->Txt_FileInfoDate[0]->text(), "");
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "|b.txt", "|c.txt"}));

    m_dialogs.clear();
    window->Txt_FolderPath[0]->setText(m_server.url("/pub/"));
    window->Btn_GetFileInfo_Click(0);
    EXPECT_EQ(m_dialogs.prompts(), QStringList()) << "the same address mirrors only what changed";
}

// An address given on the command line is gathered as a typed one is: the window's first
// activation asks once, logs in once and gathers once, however often the window is
// activated meanwhile.
TEST_F(FtpWindowTest, AnAddressOnTheCommandLineAsksOnceAndLogsInOnce)
{
    platform::writeProfileString("DSP", "Data", "0", m_ini);
    platform::writeProfileString("DSP", "UpDtNone", "False", m_ini);
    auto window = openWindow();
    window->Txt_FolderPath[0]->setText(tree("local"));
    window->Txt_FolderPath[1]->setText(m_server.url("/pub/"));
    showAtStart(*window);
    EXPECT_EQ(m_dialogs.prompts().count(DownloadQuestion), 1) << m_dialogs.prompts().join(" | ").toStdString();
    EXPECT_EQ(m_server.logins(), QStringList{m_server.user()});
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "変更|b.txt", "追加|c.txt", "削除|d.txt"}));
    EXPECT_FALSE(m_dialogs.prompts().join(u' ').contains("システムエラー"));
}

TEST_F(FtpWindowTest, ASingleFileSideHasTheCachedFileAsItsRoot)
{
    auto window = readyWindow();
    gather(*window, 1, m_server.url("/pub/b.txt"));
    EXPECT_EQ(window->SideRoot[1], window->FtpCacheFolder[1] + "/b.txt");
    EXPECT_EQ(TemporaryFolder::readFile(window->FileInfoLog[1]),
              "b.txt\t" + m_time.toString("yyyy/MM/dd HH:mm:ss").toUtf8() + "\r\n");
}

TEST_F(FtpWindowTest, GathersThroughTheProxy)
{
    FtpTestProxy proxy;
    ASSERT_TRUE(proxy.start());
    auto window = readyWindow();
    window->Server_FTP = proxy.hostAndPort();
    gather(*window, 0, m_server.url("/pub/"));
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "|b.txt", "|c.txt"}));
    EXPECT_EQ(proxy.logins(), QStringList{"alice@" + m_server.hostAndPort()});
}

TEST_F(FtpWindowTest, AServerThatRefusesTheLoginIsAMissingFolder)
{
    auto window = readyWindow();
    gather(*window, 0, "ftp://alice:guess@" + m_server.hostAndPort() + "/pub/");
    EXPECT_EQ(m_dialogs.prompts(), (QStringList{DownloadQuestion, "フォルダまたはファイルが存在しません　\r\n"
                                                                  "Login denied\r\n530 Authentication failed."}));
    EXPECT_EQ(window->Txt_FileInfoDate[0]->text(), "");
    EXPECT_FALSE(QFileInfo::exists(window->FileInfoLog[0]));
    EXPECT_EQ(window->windowTitle(), window->BaseCaption);
}

TEST_F(FtpWindowTest, ANameNoCodeDecodesIsLeftOutAndNamed)
{
    serverFile("pub/\x80\xa0.txt", "unreachable");
    auto window = readyWindow();
    gather(*window, 0, m_server.url("/pub/"));
    EXPECT_EQ(m_dialogs.prompts(),
              (QStringList{DownloadQuestion, "未対応のファイル名(UNICODE？)を一覧から除外します。ごめんなさい。　　\r\n\r\n"
                                             "\\x80\\xA0.txt\r\n"}));
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "|b.txt", "|c.txt"}));
}

// Runs `act` on the modal dialog of type Dialog as soon as it shows.
template<typename Dialog>
void whenShown(std::function<void(Dialog *)> act, int triesLeft = 200)
{
    QTimer::singleShot(10, [act, triesLeft] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget()))
            act(dialog);
        else if (triesLeft > 0)
            whenShown<Dialog>(act, triesLeft - 1);
        else
            ADD_FAILURE() << "no dialog was shown";
    });
}

TEST_F(FtpWindowTest, TheSettingsMenuOpensTheFtpDialogsOverTheWindowsValues)
{
    auto window = readyWindow();
    const QList<QAction *> items = window->MenuS->actions();
    const qsizetype code = items.indexOf(window->SetFlNmCode);
    ASSERT_GE(code, 1);
    ASSERT_LT(code + 2, items.size());
    EXPECT_TRUE(items[code - 1]->isSeparator());
    EXPECT_EQ(items[code + 1], window->SetProxy);
    EXPECT_TRUE(items[code + 2]->isSeparator()) << "the FTP pair stands between separators";

    whenShown<common::dialogs::Frm_FlNmCode>([](common::dialogs::Frm_FlNmCode *dialog) {
        dialog->Opt_Code1[3]->click();
        dialog->Btn_Ok->click();
    });
    window->SetFlNmCode->trigger();
    EXPECT_EQ(window->SideFileNameCode, (std::array<QString, 2>{"SJIS", "UTF8"}));
    EXPECT_EQ(platform::readProfileString("FTP", "FlNmCode1", "", m_ini), "UTF8");

    whenShown<common::dialogs::Frm_Proxy>([this](common::dialogs::Frm_Proxy *dialog) {
        dialog->Txt_Proxy_FTP->setText(m_server.hostAndPort());
        dialog->Btn_Ok->click();
    });
    window->SetProxy->trigger();
    EXPECT_EQ(window->Server_FTP, m_server.hostAndPort());
    EXPECT_EQ(platform::readProfileString("PROXY", "Server_FTP", "", m_programs.filePath("Linquell.ini")),
              m_server.hostAndPort());
}

} // namespace
} // namespace foldercompare
