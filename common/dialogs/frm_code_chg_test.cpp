#include "common/dialogs/frm_code_chg.h"

#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include <gtest/gtest.h>

namespace common::dialogs {
namespace {

using platform::testing::ScriptedDialogs;

class FrmCodeChgTest : public ::testing::Test
{
protected:
    static QStringList shownEntries(const Frm_CodeChg &dialog)
    {
        return {dialog.Cmb_Code[0]->currentText(), dialog.Cmb_Code[1]->currentText(), dialog.Cmb_Code[2]->currentText()};
    }
    void expectAllEmpty() const
    {
        EXPECT_EQ(m_handBack.CodeChgCd1, "");
        EXPECT_EQ(m_handBack.CodeChgCd2, "");
        EXPECT_EQ(m_handBack.CodeChgCd3, "");
    }

    ScriptedDialogs m_dialogs;
    HandBack m_handBack;
};

TEST_F(FrmCodeChgTest, PresetsSelectTheStartingEntries)
{
    const struct
    {
        const char *name;
        QString cd1, cd2, cd3;
        QStringList shown;
    } cases[] = {
        {"no presets", "", "", "", {"自動判定", "SJIS", "CRLF"}},
        {"binary presets", "BIN", "BIN", "x", {"自動判定", "SJIS", "CRLF"}},
        {"named codes", "EUC", "UTF8", "\n", {"EUC", "UTF8", "LF"}},
        {"lower case is no name", "euc", "UNICODE", "\r", {"自動判定", "UNICODE", "CR"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_handBack.CodeChgCd1 = c.cd1;
        m_handBack.CodeChgCd2 = c.cd2;
        m_handBack.CodeChgCd3 = c.cd3;
        Frm_CodeChg dialog(m_handBack, ProgramVariant::Dirgleam);
        EXPECT_EQ(shownEntries(dialog), c.shown);
        expectAllEmpty();
    }
}

TEST_F(FrmCodeChgTest, ConfirmedStartHandsBackTheChoice)
{
    m_handBack.CodeChgCd2 = "JIS";
    m_handBack.CodeChgCd3 = "\n";
    Frm_CodeChg dialog(m_handBack, ProgramVariant::Dirgleam);
    dialog.show();
    dialog.Btn_OK->click();
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].prompt, "文字コード変換を実行します。宜しいですか？　");
    EXPECT_EQ(m_dialogs.shown()[0].style, 4);
    EXPECT_EQ(m_dialogs.shown()[0].title, "");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(m_handBack.CodeChgCd1, "") << "自動判定 hands back an empty source";
    EXPECT_EQ(m_handBack.CodeChgCd2, "JIS");
    EXPECT_EQ(m_handBack.CodeChgCd3, "\n");
}

TEST_F(FrmCodeChgTest, EachLineEndEntryHandsBackItsCharacters)
{
    const std::pair<int, QString> cases[] = {{0, "\r\n"}, {1, "\r"}, {2, "\n"}};
    for (const auto &[entry, characters] : cases) {
        SCOPED_TRACE(entry);
        Frm_CodeChg dialog(m_handBack, ProgramVariant::Dirgleam);
        dialog.show();
        dialog.Cmb_Code[0]->setCurrentIndex(3);
        dialog.Cmb_Code[1]->setCurrentIndex(5);
        dialog.Cmb_Code[2]->setCurrentIndex(entry);
        dialog.Btn_OK->click();
        EXPECT_EQ(m_handBack.CodeChgCd1, "UNICODE");
        EXPECT_EQ(m_handBack.CodeChgCd2, "UTF8");
        EXPECT_EQ(m_handBack.CodeChgCd3, characters);
    }
}

TEST_F(FrmCodeChgTest, NoToTheQuestionKeepsTheDialogOpen)
{
    m_handBack.CodeChgCd2 = "EUC";
    Frm_CodeChg dialog(m_handBack, ProgramVariant::Dirgleam);
    dialog.show();
    m_dialogs.answerNext(platform::MessageAnswer::No);
    dialog.Btn_OK->click();
    EXPECT_TRUE(dialog.isVisible());
    expectAllEmpty();
}

TEST_F(FrmCodeChgTest, EveryOtherWayOfClosingLeavesTheMembersEmpty)
{
    const char *ways[] = {"cancel button", "escape", "close box"};
    for (const char *way : ways) {
        SCOPED_TRACE(way);
        m_handBack.CodeChgCd1 = "SJIS";
        m_handBack.CodeChgCd2 = "UTF8";
        m_handBack.CodeChgCd3 = "\r\n";
        Frm_CodeChg dialog(m_handBack, ProgramVariant::Dirgleam);
        dialog.show();
        if (std::string(way) == "cancel button") {
            dialog.Btn_Cancel->click();
        } else if (std::string(way) == "escape") {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dialog.Cmb_Code[1], &escape);
        } else {
            dialog.close();
        }
        EXPECT_FALSE(dialog.isVisible());
        expectAllEmpty();
        EXPECT_TRUE(m_dialogs.shown().isEmpty());
    }
}

TEST_F(FrmCodeChgTest, ViewerCopyHasNoAutomaticEntry)
{
    m_handBack.CodeChgCd1 = "BIN";
    Frm_CodeChg dialog(m_handBack, ProgramVariant::Linquell);
    EXPECT_EQ(dialog.Cmb_Code[0]->count(), 6);
    EXPECT_EQ(dialog.Cmb_Code[0]->currentText(), "SJIS");
    dialog.show();
    dialog.Btn_OK->click();
    EXPECT_EQ(m_handBack.CodeChgCd1, "SJIS");
    EXPECT_EQ(m_handBack.CodeChgCd2, "SJIS");
    EXPECT_EQ(m_handBack.CodeChgCd3, "\r\n");
}

} // namespace
} // namespace common::dialogs
