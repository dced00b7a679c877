#include "common/dialogs/frm_date_chg.h"

#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace common::dialogs {
namespace {

using platform::testing::ScriptedDialogs;

const QDateTime Now(QDate(2024, 3, 5), QTime(14, 7, 33));

class FrmDateChgTest : public ::testing::Test
{
protected:
    static QStringList boxTexts(const Frm_DateChg &dialog)
    {
        QStringList texts;
        for (const QLineEdit *box : dialog.Txt_DateTime)
            texts.append(box->text());
        return texts;
    }
    static void setBoxes(Frm_DateChg &dialog, const QStringList &texts)
    {
        for (int index = 0; index < 6; ++index)
            dialog.Txt_DateTime[index]->setText(texts[index]);
    }
    static void type(QWidget *box, Qt::Key key, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(box, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(box, &release);
    }

    ScriptedDialogs m_dialogs;
    HandBack m_handBack;
};

TEST_F(FrmDateChgTest, OpensOnTheCurrentMinuteWithTheBoxesEnabled)
{
    m_handBack.DateChgDtm = "COPY";
    Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
    EXPECT_EQ(boxTexts(dialog), QStringList({"2024", "03", "05", "14", "07", "00"}));
    EXPECT_EQ(m_handBack.DateChgDtm, "");
    ASSERT_NE(dialog.Chk_Copy, nullptr);
    EXPECT_FALSE(dialog.Chk_Copy->isChecked());
    for (const QLineEdit *box : dialog.Txt_DateTime)
        EXPECT_TRUE(box->isEnabled());
}

TEST_F(FrmDateChgTest, ValidDateIsHandedBack)
{
    Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
    dialog.show();
    setBoxes(dialog, {"2023", "12", "31", "23", "59", "58"});
    dialog.Btn_OK->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(m_handBack.DateChgDtm, "2023/12/31 23:59:58");
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

// Enter in a box presses the default button, the box written as leaving it would.
TEST_F(FrmDateChgTest, EnterInABoxHandsTheDateBack)
{
    for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(enter == Qt::Key_Return ? "Return" : "Enter");
        Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
        dialog.show();
        EXPECT_TRUE(dialog.Btn_OK->isDefault());
        setBoxes(dialog, {"2023", "12", "31", "23", "59", "7"});
        type(dialog.Txt_DateTime[5], enter, "\r", enter == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(m_handBack.DateChgDtm, "2023/12/31 23:59:07");
    }
}

TEST_F(FrmDateChgTest, InvalidDateIsRefusedAndTheDialogStaysOpen)
{
    Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
    dialog.show();
    setBoxes(dialog, {"2024", "02", "30", "10", "00", "00"});
    dialog.Btn_OK->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(m_handBack.DateChgDtm, "");
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].prompt, "日付が誤っています");
    EXPECT_EQ(m_dialogs.shown()[0].style, 0);
    EXPECT_EQ(boxTexts(dialog), QStringList({"2024", "02", "30", "10", "00", "00"}));
}

TEST_F(FrmDateChgTest, CopyTakesTheOtherSidesDatesWhateverTheBoxesHold)
{
    Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
    dialog.show();
    dialog.Chk_Copy->setChecked(true);
    for (const QLineEdit *box : dialog.Txt_DateTime)
        EXPECT_FALSE(box->isEnabled());
    setBoxes(dialog, {"2024", "13", "40", "", "", ""});
    dialog.Btn_OK->click();
    EXPECT_EQ(m_handBack.DateChgDtm, "COPY");
    dialog.Chk_Copy->setChecked(false);
    EXPECT_TRUE(dialog.Txt_DateTime[0]->isEnabled());
}

TEST_F(FrmDateChgTest, BoxesTakeOnlyMainKeyboardDigitsAndEditingKeys)
{
    Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
    dialog.show();
    QLineEdit *month = dialog.Txt_DateTime[1];
    month->clear();
    type(month, Qt::Key_1, "1");
    type(month, Qt::Key_A, "a");
    type(month, Qt::Key_Minus, "-");
    type(month, Qt::Key_2, "2", Qt::KeypadModifier);
    EXPECT_EQ(month->text(), "1");
    type(month, Qt::Key_Backspace, "");
    type(month, Qt::Key_9, "9");
    EXPECT_EQ(month->text(), "9");
    type(month, Qt::Key_Left, "");
    type(month, Qt::Key_0, "0");
    EXPECT_EQ(month->text(), "09");
}

TEST_F(FrmDateChgTest, LeavingABoxWritesItWithLeadingZeros)
{
    Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &dialog);
    dialog.Txt_DateTime[1]->setFocus();
    dialog.Txt_DateTime[1]->setText("7");
    dialog.Txt_DateTime[2]->setFocus();
    EXPECT_EQ(dialog.Txt_DateTime[1]->text(), "07");
    EXPECT_EQ(dialog.Txt_DateTime[2]->selectedText(), "05") << "a box selects its text on focus";
    dialog.Txt_DateTime[2]->clear();
    dialog.Txt_DateTime[0]->setFocus();
    EXPECT_EQ(dialog.Txt_DateTime[2]->text(), "00");
    dialog.Txt_DateTime[0]->setText("24");
    dialog.Btn_OK->setFocus();
    EXPECT_EQ(dialog.Txt_DateTime[0]->text(), "0024");
}

TEST_F(FrmDateChgTest, AClickIntoABoxPlacesTheCursorWithoutSelecting)
{
    Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &dialog);
    dialog.Txt_DateTime[3]->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(dialog.Txt_DateTime[3]->selectedText(), "") << "typed digits must not replace the box's text";
    dialog.Txt_DateTime[4]->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(dialog.Txt_DateTime[4]->selectedText(), dialog.Txt_DateTime[4]->text());
}

TEST_F(FrmDateChgTest, CancelEscapeAndCloseBoxHandBackNothing)
{
    const char *ways[] = {"cancel button", "escape", "close box"};
    for (const char *way : ways) {
        SCOPED_TRACE(way);
        Frm_DateChg dialog(m_handBack, ProgramVariant::Dirgleam, nullptr, Now);
        dialog.show();
        if (std::string(way) == "cancel button") {
            dialog.Btn_Cancel->click();
        } else if (std::string(way) == "escape") {
            type(dialog.Txt_DateTime[3], Qt::Key_Escape, "");
        } else {
            dialog.close();
        }
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(m_handBack.DateChgDtm, "");
    }
}

TEST_F(FrmDateChgTest, ViewerCopyNeverAnswersCopy)
{
    Frm_DateChg dialog(m_handBack, ProgramVariant::Linquell, nullptr, Now);
    EXPECT_EQ(dialog.Chk_Copy, nullptr);
    dialog.show();
    dialog.Btn_OK->click();
    EXPECT_EQ(m_handBack.DateChgDtm, "2024/03/05 14:07:00");
}

} // namespace
} // namespace common::dialogs
