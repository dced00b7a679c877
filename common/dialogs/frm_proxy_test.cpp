#include "common/dialogs/frm_proxy.h"

#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace common::dialogs {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

// Gives the program folder, and so "Linquell.ini", a place of its own.
class FrmProxyTest : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("DIRGLEAM_SUITE_FOLDER", m_folder.path().toUtf8()); }
    void TearDown() override { qunsetenv("DIRGLEAM_SUITE_FOLDER"); }

    QString viewerIni() const { return m_folder.filePath("Linquell.ini"); }
    QString storedProxy() const { return platform::readProfileString("PROXY", "Server_FTP", "<none>", viewerIni()); }

    TemporaryFolder m_folder;
    ScriptedDialogs m_dialogs;
};

TEST_F(FrmProxyTest, ShowsTheCurrentProxy)
{
    QString proxy = "proxy.local:8021";
    Frm_Proxy dialog(proxy);
    EXPECT_EQ(dialog.windowTitle(), "プロキシサーバの設定");
    EXPECT_EQ(dialog.Txt_Proxy_FTP->text(), "proxy.local:8021");
    EXPECT_EQ(dialog.Btn_Ok->text(), "設定");
    EXPECT_TRUE(dialog.Label2->text().startsWith("プロキシサーバ FTP"));
}

TEST_F(FrmProxyTest, TheButtonWritesTheViewersSettingsFileAtOnce)
{
    const struct
    {
        const char *name;
        QString typed;
        QString stored;
    } cases[] = {
        {"host and port", "proxy.local:8021", "proxy.local:8021"},
        {"kept as typed, read back trimmed", " proxy.local:8021 ", "proxy.local:8021"},
        {"empty means no proxy", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString proxy = "old:21";
        Frm_Proxy dialog(proxy);
        dialog.show();
        dialog.Txt_Proxy_FTP->setText(c.typed);
        dialog.Btn_Ok->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(proxy, c.typed);
        EXPECT_EQ(storedProxy(), c.stored);
    }
    EXPECT_EQ(ViewerIniPath(), viewerIni());
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(FrmProxyTest, ClosingWithoutTheButtonChangesNothing)
{
    QString proxy = "old:21";
    Frm_Proxy dialog(proxy);
    dialog.show();
    dialog.Txt_Proxy_FTP->setText("new:8021");
    dialog.close();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(proxy, "old:21");
    EXPECT_FALSE(QFile::exists(viewerIni()));
}

TEST_F(FrmProxyTest, AnUnwritableSettingsFileIsReportedAndTheDialogStaysOpen)
{
    ASSERT_TRUE(QDir().mkpath(viewerIni()));
    QString proxy = "old:21";
    Frm_Proxy dialog(proxy);
    dialog.show();
    dialog.Txt_Proxy_FTP->setText("new:8021");
    dialog.Btn_Ok->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(proxy, "old:21");
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].prompt,
              "システムエラー : Btn_Ok_Click\r\n設定ファイルに書き込めません。 " + viewerIni() + " [PROXY] Server_FTP");
    EXPECT_EQ(m_dialogs.shown()[0].style, 0);
    EXPECT_EQ(m_dialogs.shown()[0].title, "");
}

} // namespace
} // namespace common::dialogs
