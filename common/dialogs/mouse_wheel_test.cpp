#include "common/dialogs/mouse_wheel.h"
#include "common/dialogs/mouse_wheel_d.h"

#include "platform/flex_grid.h"
#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"
#include "platform/widgets/flex_grid_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace common::dialogs {
namespace {

using platform::testing::ScriptedDialogs;
using platform::testing::TemporaryFolder;
using platform::widgets::FlexGridView;

// A grid of 200 rows under one header row, shown small enough to scroll.
class MouseWheelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_grid = m_view.grid();
        m_grid->setCols(3);
        m_grid->setRows(201);
        m_grid->setFixedRows(1);
        m_view.resize(300, 200);
        m_view.show();
        QApplication::processEvents();
        ASSERT_GT(m_view.verticalScrollBar()->maximum(), 0);
        m_grid->setTopRow(50);
    }
    void TearDown() override { MouseWheel::instance().Destroy(); }

    void writeWheel(const QString &enable, const QString &line)
    {
        platform::writeProfileString("MouseWheel", "Enable", enable, m_ini);
        platform::writeProfileString("MouseWheel", "Line", line, m_ini);
    }
    // One wheel event on `target` (the cells area by default); 120 is one notch away from
    // the user.
    void turn(int angleDelta, QWidget *target = nullptr)
    {
        QWidget *receiver = target ? target : m_view.viewport();
        QWheelEvent wheel(QPointF(20, 20), receiver->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, angleDelta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(receiver, &wheel);
    }
    // Rows moved by one notch towards the user, starting from row 50 (shown by the view).
    int rowsPerNotchDown()
    {
        m_grid->setTopRow(50);
        QApplication::processEvents();
        turn(-120);
        return m_grid->topRow() - 50;
    }

    TemporaryFolder m_folder;
    QString m_ini = m_folder.filePath("Dirgleam.ini");
    FlexGridView m_view;
    platform::FlexGrid *m_grid = nullptr;
};

TEST_F(MouseWheelTest, EachNotchMovesTheTopRowByTheLineCount)
{
    writeWheel("1", "3");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    EXPECT_EQ(MouseWheel::instance().hookedGrid(), &m_view);
    turn(120);
    EXPECT_EQ(m_grid->topRow(), 47);
    turn(-120);
    turn(-120);
    EXPECT_EQ(m_grid->topRow(), 53);
    turn(-360);
    EXPECT_EQ(m_grid->topRow(), 62) << "an event of three notches moves three times";
}

TEST_F(MouseWheelTest, DefaultsScrollTwoRows)
{
    MouseWheel::instance().Initialize(&m_view, m_ini);
    EXPECT_EQ(rowsPerNotchDown(), 2);
}

TEST_F(MouseWheelTest, ScrollingStopsAtTheFirstRow)
{
    writeWheel("1", "10");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    m_grid->setTopRow(4);
    turn(120);
    EXPECT_EQ(m_grid->topRow(), 1);
}

TEST_F(MouseWheelTest, WheelOverTheScrollBarOrHeadersScrollsTheSame)
{
    writeWheel("1", "4");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    turn(-120, m_view.verticalScrollBar());
    EXPECT_EQ(m_grid->topRow(), 54);
    turn(-120, &m_view);
    EXPECT_EQ(m_grid->topRow(), 58);
}

TEST_F(MouseWheelTest, PartsOfANotchAddUp)
{
    writeWheel("1", "3");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    turn(-60);
    EXPECT_EQ(m_grid->topRow(), 50);
    turn(-60);
    EXPECT_EQ(m_grid->topRow(), 53);
}

TEST_F(MouseWheelTest, ZeroOrNegativeLineCountsNeverScroll)
{
    for (const char *line : {"0", "-2"}) {
        SCOPED_TRACE(line);
        writeWheel("1", line);
        MouseWheel::instance().Initialize(&m_view, m_ini);
        EXPECT_EQ(rowsPerNotchDown(), 0);
    }
}

TEST_F(MouseWheelTest, DisabledHooksNothing)
{
    writeWheel("0", "5");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    EXPECT_EQ(MouseWheel::instance().hookedGrid(), nullptr);
    EXPECT_NE(rowsPerNotchDown(), 5) << "the grid scrolls by the desktop's own setting";
}

TEST_F(MouseWheelTest, HookingTwiceHooksOnceWithTheNewCount)
{
    writeWheel("1", "2");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    writeWheel("1", "6");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    EXPECT_EQ(rowsPerNotchDown(), 6);
    MouseWheel::instance().Destroy();
    EXPECT_EQ(MouseWheel::instance().hookedGrid(), nullptr);
    EXPECT_NE(rowsPerNotchDown(), 6);
}

TEST_F(MouseWheelTest, LineThatIsNoNumberKeepsThePreviousCount)
{
    writeWheel("1", "4");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    writeWheel("1", "many");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    EXPECT_EQ(rowsPerNotchDown(), 4);
}

TEST_F(MouseWheelTest, SwitchingOffNeedsDestroy)
{
    writeWheel("1", "4");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    writeWheel("0", "4");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    EXPECT_EQ(MouseWheel::instance().hookedGrid(), &m_view);
    EXPECT_EQ(rowsPerNotchDown(), 4);
}

TEST_F(MouseWheelTest, DialogShowsTheStoredSettings)
{
    writeWheel("0", "7");
    MouseWheelD dialog(&m_view, m_ini);
    EXPECT_FALSE(dialog.Chk_MouseWheel->isChecked());
    EXPECT_EQ(dialog.Cmb_WheelLine->currentText(), "7");
    EXPECT_EQ(dialog.Cmb_WheelLine->count(), 10);
}

TEST_F(MouseWheelTest, DialogAppliesTheSettingsAtOnce)
{
    MouseWheel::instance().Initialize(&m_view, m_ini);
    {
        MouseWheelD dialog(&m_view, m_ini);
        EXPECT_TRUE(dialog.Chk_MouseWheel->isChecked());
        EXPECT_EQ(dialog.Cmb_WheelLine->currentText(), "2");
        dialog.show();
        dialog.Chk_MouseWheel->setChecked(false);
        dialog.Btn_Ok->click();
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(platform::readProfileString("MouseWheel", "Enable", "", m_ini), "0");
    EXPECT_EQ(MouseWheel::instance().hookedGrid(), nullptr);
    {
        MouseWheelD dialog(&m_view, m_ini);
        dialog.show();
        dialog.Chk_MouseWheel->setChecked(true);
        dialog.Cmb_WheelLine->setEditText("7");
        dialog.Btn_Ok->click();
    }
    EXPECT_EQ(platform::readProfileString("MouseWheel", "Enable", "", m_ini), "1");
    EXPECT_EQ(platform::readProfileString("MouseWheel", "Line", "", m_ini), "7");
    EXPECT_EQ(MouseWheel::instance().hookedGrid(), &m_view);
    EXPECT_EQ(rowsPerNotchDown(), 7);
}

TEST_F(MouseWheelTest, DialogClosedWithoutTheButtonChangesNothing)
{
    writeWheel("1", "3");
    MouseWheel::instance().Initialize(&m_view, m_ini);
    const QByteArray before = TemporaryFolder::readFile(m_ini);
    MouseWheelD dialog(&m_view, m_ini);
    dialog.show();
    dialog.Chk_MouseWheel->setChecked(false);
    dialog.Cmb_WheelLine->setEditText("9");
    dialog.close();
    EXPECT_EQ(TemporaryFolder::readFile(m_ini), before);
    EXPECT_EQ(rowsPerNotchDown(), 3);
}

TEST_F(MouseWheelTest, DialogReportsAnUnwritableSettingsFile)
{
    ScriptedDialogs dialogs;
    const QString ini = m_folder.writeFile("plain", "") + "/Dirgleam.ini";
    MouseWheelD dialog(&m_view, ini);
    dialog.show();
    dialog.Btn_Ok->click();
    ASSERT_EQ(dialogs.prompts().size(), 1);
    EXPECT_TRUE(dialogs.prompts()[0].startsWith("システムエラー : Btn_Ok_Click\r\n"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(MouseWheel::instance().hookedGrid(), nullptr);
}

} // namespace
} // namespace common::dialogs
