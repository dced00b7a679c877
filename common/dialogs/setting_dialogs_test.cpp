#include "common/dialogs/frm_bin_ext.h"
#include "common/dialogs/frm_color.h"
#include "common/dialogs/frm_csv_sepa.h"
#include "common/dialogs/frm_folder_num.h"
#include "common/dialogs/frm_line_max.h"

#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

namespace common::dialogs {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;

const QString Absent = QStringLiteral("(absent)");

class SettingDialogsTest : public ::testing::Test
{
protected:
    QString stored(const QString &key) const { return platform::readProfileString("DSP", key, Absent, m_ini); }

    // A settings-file path that cannot be written: its folder is a file.
    QString unwritableIni() const { return m_folder.writeFile("plain", "") + "/Dirgleam.ini"; }

    TemporaryFolder m_folder;
    ScriptedDialogs m_dialogs;
    QString m_ini = m_folder.filePath("Dirgleam.ini");
};

void pressEscape(QWidget *widget)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

TEST_F(SettingDialogsTest, CsvSeparatorIsHandedBackConfirmedOrNot)
{
    const struct
    {
        const char *name;
        std::optional<QString> typed; // nullopt: closed with the close box
        QString separator;
        bool confirmed;
    } cases[] = {
        {"closed with the close box", std::nullopt, "<SEPA>", false},
        {"confirmed empty", QString(""), "", true},
        {"confirmed semicolon", QString(";"), ";", true},
        {"confirmed with the starting text itself", QString("<SEPA>"), "<SEPA>", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        HandBack handBack;
        handBack.CsvSepaStr = "stale";
        handBack.CsvSepaConfirmed = true;
        Frm_CsvSepa dialog(handBack);
        EXPECT_EQ(dialog.Txt_CsvSepa->text(), "<SEPA>");
        dialog.show();
        if (c.typed) {
            dialog.Txt_CsvSepa->setText(*c.typed);
            dialog.Btn_OK->click();
        } else {
            dialog.close();
        }
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(handBack.CsvSepaStr, c.separator);
        EXPECT_EQ(handBack.CsvSepaConfirmed, c.confirmed);
        EXPECT_EQ(dialog.result(), c.confirmed ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST_F(SettingDialogsTest, CsvSeparatorEscapeCancels)
{
    HandBack handBack;
    Frm_CsvSepa dialog(handBack);
    dialog.show();
    dialog.Txt_CsvSepa->setText(";");
    pressEscape(dialog.Txt_CsvSepa);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(handBack.CsvSepaConfirmed);
    EXPECT_EQ(handBack.CsvSepaStr, "<SEPA>");
}

TEST_F(SettingDialogsTest, FolderDepthRoundsFirstAndRefusesBelowOne)
{
    const struct
    {
        QString typed;
        bool closes;
        qint32 value;
        QString boxAfter;
    } cases[] = {
        {"1", true, 1, "1"},
        {"2.5", true, 2, "2.5"},
        {"3.5", true, 4, "3.5"},
        {"12ab", true, 12, "12ab"},
        {"0", false, 7, "999"},
        {"", false, 7, "999"},
        {"0.4", false, 7, "999"},
        {"-3", false, 7, "999"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QFile::remove(m_ini);
        qint32 FolderNum = 7;
        Frm_FolderNum dialog(FolderNum, m_ini);
        EXPECT_EQ(dialog.Txt_FolderNum->text(), "7");
        dialog.show();
        dialog.Txt_FolderNum->setText(c.typed);
        dialog.Btn_OK->click();
        EXPECT_EQ(dialog.isVisible(), !c.closes);
        EXPECT_EQ(FolderNum, c.value);
        EXPECT_EQ(dialog.Txt_FolderNum->text(), c.boxAfter);
        EXPECT_EQ(stored("FolderNum"), c.closes ? QString::number(c.value) : Absent);
    }
}

TEST_F(SettingDialogsTest, RowLimitRefusesZeroNegativeAndTooLarge)
{
    const struct
    {
        QString typed;
        bool closes;
        qint32 value;
    } cases[] = {
        {"30000", true, 30000},
        {"2147483647", true, 2147483647},
        {"-5", false, 10000},
        {"0", false, 10000},
        {"0.2", false, 10000},
        {"2147483648", false, 10000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QFile::remove(m_ini);
        qint32 LineMax = 10000;
        Frm_LineMax dialog(LineMax, m_ini, ProgramVariant::Dirgleam);
        dialog.show();
        dialog.Txt_LineMax->setText(c.typed);
        dialog.Btn_OK->click();
        EXPECT_EQ(dialog.isVisible(), !c.closes);
        EXPECT_EQ(LineMax, c.value);
        EXPECT_EQ(dialog.Txt_LineMax->text(), c.closes ? c.typed : "0");
        EXPECT_EQ(stored("LineMax"), c.closes ? c.typed : Absent);
    }
}

TEST_F(SettingDialogsTest, NumberDialogClosedWithoutTheButtonStoresNothing)
{
    qint32 LineMax = 10000;
    Frm_LineMax dialog(LineMax, m_ini, ProgramVariant::Linquell);
    dialog.show();
    dialog.Txt_LineMax->setText("500");
    dialog.close();
    EXPECT_EQ(LineMax, 10000);
    EXPECT_EQ(stored("LineMax"), Absent);
}

TEST_F(SettingDialogsTest, NumberDialogReportsAnUnwritableSettingsFile)
{
    qint32 FolderNum = 999;
    Frm_FolderNum dialog(FolderNum, unwritableIni());
    dialog.show();
    dialog.Txt_FolderNum->setText("3");
    dialog.Btn_OK->click();
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : Btn_OK_Click\r\n"));
    EXPECT_EQ(m_dialogs.shown()[0].style, 0);
    EXPECT_TRUE(dialog.isVisible()) << "the dialog stays open";
}

TEST_F(SettingDialogsTest, BinaryExtensionsAreCleanedSplitAndWritten)
{
    const struct
    {
        QString typed;
        QStringList list;
        QString written;
    } cases[] = {
        {" .zip , LZH", {"zip", "LZH"}, "zip,LZH"},
        {"zip,,exe", {"zip", "", "exe"}, "zip,,exe"},
        {"", {}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QStringList BinJdExt{"exe", "com"};
        Frm_BinExt dialog(BinJdExt, m_ini);
        EXPECT_EQ(dialog.Txt_BinExt->text(), "exe,com");
        dialog.show();
        dialog.Txt_BinExt->setText(c.typed);
        dialog.Btn_OK->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(BinJdExt, c.list);
        EXPECT_EQ(dialog.Txt_BinExt->text(), c.written);
        EXPECT_EQ(stored("BinJdExt"), c.written);
    }
}

TEST_F(SettingDialogsTest, BinaryExtensionsWriteFailureKeepsTheNewListAndTheDialog)
{
    QStringList BinJdExt{"exe"};
    Frm_BinExt dialog(BinJdExt, unwritableIni());
    dialog.show();
    dialog.Txt_BinExt->setText("zip");
    dialog.Btn_OK->click();
    EXPECT_EQ(BinJdExt, QStringList{"zip"});
    ASSERT_EQ(m_dialogs.prompts().size(), 1);
    EXPECT_TRUE(m_dialogs.prompts()[0].startsWith("システムエラー : Btn_OK_Click\r\n"));
    EXPECT_TRUE(dialog.isVisible());
}

class ColorDialogTest : public SettingDialogsTest
{
protected:
    static QColor boxColor(const QLineEdit *box) { return box->palette().color(QPalette::Base); }

    static void doubleClick(QWidget *box)
    {
        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &click);
    }

    std::array<quint32, 4> m_colors{0xFFFFBB, 0xBBBBFF, 0xFF, 0x88FFFF};
};

TEST_F(ColorDialogTest, BoxesShowSixDigitsAndTheirColour)
{
    Frm_Color dialog(m_colors, m_ini);
    EXPECT_EQ(dialog.Txt_Color[2]->text(), "0000FF");
    EXPECT_EQ(dialog.Txt_Color[3]->text(), "88FFFF");
    EXPECT_EQ(boxColor(dialog.Txt_Color[2]), QColor(255, 0, 0)) << "blue-green-red FF is pure red";
    EXPECT_EQ(boxColor(dialog.Txt_Color[0]), QColor(0xBB, 0xFF, 0xFF));
}

TEST_F(ColorDialogTest, ButtonStoresTheBackgroundColoursInOrder)
{
    Frm_Color dialog(m_colors, m_ini);
    dialog.show();
    dialog.Txt_Color[0]->setText("FF");
    dialog.Txt_Color[1]->setText("XYZ");
    EXPECT_EQ(boxColor(dialog.Txt_Color[0]), QColor(255, 0, 0));
    EXPECT_EQ(boxColor(dialog.Txt_Color[1]), QColor(0, 0, 0));
    dialog.Btn_Ok->click();
    EXPECT_FALSE(dialog.isVisible());
    const std::array<quint32, 4> expected{0xFF, 0, 0xFF, 0x88FFFF};
    EXPECT_EQ(m_colors, expected);
    EXPECT_EQ(stored("DIFFCUPD"), "FF");
    EXPECT_EQ(stored("DIFFCADD"), "0");
    EXPECT_EQ(stored("DIFFCDEL"), "FF");
    EXPECT_EQ(stored("DIFFCDTM"), "88FFFF");
    EXPECT_EQ(TemporaryFolder::readFile(m_ini), "[DSP]\nDIFFCUPD=FF\nDIFFCADD=0\nDIFFCDEL=FF\nDIFFCDTM=88FFFF\n");
}

TEST_F(ColorDialogTest, DoubleClickTakesTheChosenColour)
{
    Frm_Color dialog(m_colors, m_ini);
    dialog.show();
    m_dialogs.chooseNextColor(0x123456);
    doubleClick(dialog.Txt_Color[1]);
    EXPECT_EQ(dialog.Txt_Color[1]->text(), "123456");
    EXPECT_EQ(boxColor(dialog.Txt_Color[1]), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(dialog.Txt_Color[1]->cursorPosition(), 0);
    EXPECT_FALSE(dialog.Txt_Color[1]->hasSelectedText());

    doubleClick(dialog.Txt_Color[1]); // cancelled: nothing queued
    EXPECT_EQ(dialog.Txt_Color[1]->text(), "123456");
}

TEST_F(ColorDialogTest, ClosingWithoutTheButtonChangesNothing)
{
    const std::array<quint32, 4> before = m_colors;
    Frm_Color dialog(m_colors, m_ini);
    dialog.show();
    dialog.Txt_Color[0]->setText("00FF00");
    dialog.close();
    EXPECT_EQ(m_colors, before);
    EXPECT_FALSE(QFile::exists(m_ini));
}

} // namespace
} // namespace common::dialogs
