#include "common/dialogs/frm_fl_nm_code.h"

#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace common::dialogs {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

using Codes = std::array<QString, 2>;

// The index of the one checked option.
int checkedIndex(const std::array<QRadioButton *, 4> &options)
{
    int checked = -1;
    for (int index = 0; index < 4; ++index) {
        if (options[index]->isChecked()) {
            EXPECT_EQ(checked, -1) << "two options checked";
            checked = index;
        }
    }
    return checked;
}

class FrmFlNmCodeTest : public ::testing::Test
{
protected:
    QString stored(const char *key) const { return platform::readProfileString("FTP", key, "<none>", m_ini); }

    TemporaryFolder m_folder;
    QString m_ini = m_folder.filePath("Dirgleam.ini");
    ScriptedDialogs m_dialogs;
};

TEST_F(FrmFlNmCodeTest, SelectsTheOptionOfEachSidesCode)
{
    const struct
    {
        QString code;
        int index;
    } cases[] = {{"SJIS", 0}, {"EUC", 1}, {"JIS", 2}, {"UTF8", 3}, {"", 0}, {"utf8", 0}, {"EUC-JP", 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code.toStdString());
        Codes codes = {c.code, "JIS"};
        Frm_FlNmCode dialog(codes, m_ini);
        EXPECT_EQ(checkedIndex(dialog.Opt_Code0), c.index);
        EXPECT_EQ(checkedIndex(dialog.Opt_Code1), 2);
    }
}

TEST_F(FrmFlNmCodeTest, ShowsItsCaptions)
{
    Codes codes = {"SJIS", "SJIS"};
    Frm_FlNmCode dialog(codes, m_ini);
    EXPECT_EQ(dialog.windowTitle(), "FTPファイル名の漢字コードの設定");
    EXPECT_EQ(dialog.Frame1->title(), "フォルダ1がFTPの時の文字コード");
    EXPECT_EQ(dialog.Frame2->title(), "フォルダ2がFTPの時の文字コード");
    const QStringList captions = {"SJIS", "EUC", "JIS", "UTF8"};
    for (int index = 0; index < 4; ++index) {
        EXPECT_EQ(dialog.Opt_Code0[index]->text(), captions[index]);
        EXPECT_EQ(dialog.Opt_Code1[index]->text(), captions[index]);
    }
    EXPECT_EQ(dialog.Btn_Ok->text(), "設定");
}

TEST_F(FrmFlNmCodeTest, TheButtonStoresBothSidesAtOnce)
{
    const struct
    {
        const char *name;
        Codes opened;
        int side1Click; // -1: left as shown
        int side2Click;
        Codes stored;
    } cases[] = {
        {"an unknown code is stored as SJIS", {"", "SJIS"}, -1, 3, {"SJIS", "UTF8"}},
        {"both changed", {"SJIS", "SJIS"}, 1, 2, {"EUC", "JIS"}},
        {"unchanged", {"UTF8", "EUC"}, -1, -1, {"UTF8", "EUC"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Codes codes = c.opened;
        Frm_FlNmCode dialog(codes, m_ini);
        dialog.show();
        if (c.side1Click >= 0)
            dialog.Opt_Code0[c.side1Click]->click();
        if (c.side2Click >= 0)
            dialog.Opt_Code1[c.side2Click]->click();
        dialog.Btn_Ok->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(codes, c.stored);
        EXPECT_EQ(stored("FlNmCode0"), c.stored[0]);
        EXPECT_EQ(stored("FlNmCode1"), c.stored[1]);
    }
}

TEST_F(FrmFlNmCodeTest, ClosingWithoutTheButtonChangesNothing)
{
    Codes codes = {"EUC", "UTF8"};
    Frm_FlNmCode dialog(codes, m_ini);
    dialog.show();
    dialog.Opt_Code0[0]->click();
    dialog.close();
    EXPECT_EQ(codes, (Codes{"EUC", "UTF8"}));
    EXPECT_FALSE(QFile::exists(m_ini));
}

TEST_F(FrmFlNmCodeTest, AnUnwritableSettingsFileIsReportedAndTheDialogStaysOpen)
{
    ASSERT_TRUE(QDir().mkpath(m_ini));
    Codes codes = {"SJIS", "SJIS"};
    Frm_FlNmCode dialog(codes, m_ini);
    dialog.show();
    dialog.Opt_Code0[1]->click();
    dialog.Btn_Ok->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(codes, (Codes{"SJIS", "SJIS"}));
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"システムエラー : Btn_Ok_Click\r\n設定ファイルに書き込めません。 " + m_ini
                                               + " [FTP] FlNmCode0"});
}

} // namespace
} // namespace common::dialogs
