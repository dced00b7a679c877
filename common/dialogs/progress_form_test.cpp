#include "common/dialogs/progress_class.h"
#include "common/dialogs/progress_form.h"

#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace common::dialogs {
namespace {

using platform::testing::ScriptedDialogs;

// Drives runs with a fake clock, so elapsed times and the 0.1 s message pump are under
// the test's control; the show timer runs on real time.
class ProgressTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ProgressClass::setClock([this] { return m_now; });
        m_owner.resize(400, 300);
        m_owner.show();
        m_progress.ProgressInit(&m_owner, true, 32);
        m_progress.ProgressRange(0, 100);
    }
    void TearDown() override
    {
        if (ProgressForm::loaded())
            m_progress.ProgressDsp(100, "", "", false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ProgressClass::setClock({});
        progressState() = ProgressState();
    }

    // Processes events, with the fake clock moving on, until `done` holds or a few
    // seconds of real time have passed.
    bool waitFor(const std::function<bool()> &done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 5000) {
            m_now += 100;
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        return done();
    }
    // Processes events for a while, to give a wrongly armed timer the chance to fire.
    void settle()
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 100) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
    }
    static bool visible() { return ProgressForm::loaded() && ProgressForm::loaded()->isVisible(); }
    static void pressEscape(QWidget *widget)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
    }
    void startVisibleRun()
    {
        m_progress.ProgressInit(&m_owner, true, 0);
        m_progress.ProgressDsp(0, "コピー中", "", false);
        ASSERT_TRUE(waitFor(visible));
    }

    ScriptedDialogs m_dialogs;
    QWidget m_owner;
    ProgressClass m_progress;
    qint64 m_now = 1000000;
};

TEST_F(ProgressTest, RunShorterThanTheDelayNeverShowsButDisablesTheOwner)
{
    m_progress.ProgressDsp(0, "コピー中", "", false);
    ASSERT_NE(ProgressForm::loaded(), nullptr);
    EXPECT_FALSE(m_owner.isEnabled());
    for (int percent = 10; percent < 100; percent += 10) {
        m_now += 150;
        m_progress.ProgressDsp(percent, "", "", false);
        EXPECT_FALSE(visible());
        EXPECT_FALSE(m_owner.isEnabled());
    }
    m_progress.ProgressDsp(100, "", "", false);
    EXPECT_TRUE(m_owner.isEnabled());
    EXPECT_EQ(ProgressForm::loaded(), nullptr);
    settle();
    EXPECT_FALSE(visible());
}

TEST_F(ProgressTest, WindowComesUpAfterTheDelayInFrontOfTheDisabledOwner)
{
    m_progress.ProgressInit(&m_owner, true, 0);
    m_progress.ProgressDsp(0, "削除中", "", false);
    EXPECT_FALSE(visible()) << "the window waits for the show timer";
    ASSERT_TRUE(waitFor(visible));
    ProgressForm *form = ProgressForm::loaded();
    EXPECT_EQ(form->ProgressLabel->text(), "削除中");
    EXPECT_FALSE(m_owner.isEnabled());
    EXPECT_TRUE(form->isEnabled());
    m_progress.ProgressDsp(100, "", "", false);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(m_owner.isEnabled());
}

TEST_F(ProgressTest, AtOnceSkipsTheDelay)
{
    m_progress.ProgressDsp(0, "変換中", "", true);
    EXPECT_TRUE(waitFor(visible));
}

TEST_F(ProgressTest, WithoutTheShowFlagOnlyTheOwnerIsDisabled)
{
    m_progress.ProgressInit(&m_owner, false, 0);
    m_progress.ProgressDsp(0, "コピー中", "", true);
    settle();
    EXPECT_FALSE(visible());
    EXPECT_FALSE(m_owner.isEnabled());
    m_progress.ProgressDsp(100, "", "", false);
    EXPECT_TRUE(m_owner.isEnabled());
}

TEST_F(ProgressTest, HiddenWindowWaitsForSetVisible)
{
    m_progress.ProgressInit(&m_owner, true, 0);
    m_progress.ProgressDsp(0, "コピー中", "", false);
    m_progress.SetVisible(false);
    settle();
    EXPECT_FALSE(visible());
    m_progress.SetVisible(true);
    EXPECT_TRUE(visible());
}

TEST_F(ProgressTest, TimeLineFollowsTheClock)
{
    m_progress.ProgressDsp(0, "コピー中", "", false);
    ProgressForm *form = ProgressForm::loaded();
    m_now += 500;
    m_progress.ProgressDsp(5, "", "", false);
    EXPECT_EQ(form->ProgressLabel2->text(), "経過時間0秒（5%） ");
    m_now += 9500;
    m_progress.ProgressDsp(20, "", "", false);
    EXPECT_EQ(form->ProgressCtrl->value(), 20);
    EXPECT_EQ(form->ProgressLabel2->text(), "経過時間10秒（20%） 推定残り時間40秒 推定処理時間50秒 ");
    m_now += 2000;
    m_progress.ProgressDsp(25, "", "", false);
    EXPECT_EQ(form->ProgressLabel2->text(), "経過時間12秒（25%） 推定残り時間38秒 推定処理時間50秒 ");
}

TEST_F(ProgressTest, SubRangeMapsTheBarAndNeverRestartsTheRun)
{
    m_progress.ProgressDsp(0, "コピー中", "", false);
    m_progress.ProgressRange(60, 100);
    m_now += 10000;
    m_progress.ProgressDsp(0, "", "", false);
    ProgressForm *form = ProgressForm::loaded();
    EXPECT_EQ(form->ProgressLabel2->text(), "経過時間10秒（60%） 推定残り時間7秒 推定処理時間17秒 ")
        << "0 % maps to 60 %: the run goes on from its first start";
    m_progress.ProgressDsp(50, "", "", false);
    EXPECT_EQ(form->ProgressCtrl->value(), 80);
    EXPECT_EQ(form->ProgressLabel2->text(), "経過時間10秒（80%） 推定残り時間5秒 推定処理時間15秒 ");
}

TEST_F(ProgressTest, NegativePercentShowsTheMessageAlone)
{
    m_progress.ProgressDsp(-1, "準備中", "確認", false);
    ProgressForm *form = ProgressForm::loaded();
    EXPECT_EQ(form->ProgressLabel->text(), "準備中");
    EXPECT_EQ(form->windowTitle(), "確認");
    EXPECT_TRUE(form->ProgressCtrl->isHidden());
    EXPECT_TRUE(form->ProgressLabel2->isHidden());
    EXPECT_GT(form->ProgressLabel->y(), form->ProgressCtrl->y() - 1) << "the message moves down to the bar's place";
    m_progress.ProgressDsp(0, "", "", false);
    EXPECT_FALSE(form->ProgressCtrl->isHidden());
    EXPECT_FALSE(form->ProgressLabel2->isHidden());
    EXPECT_EQ(form->ProgressLabel->text(), "準備中") << "an empty message keeps the text";
}

TEST_F(ProgressTest, EscapeAnsweredYesCancelsAndFreesTheOwner)
{
    startVisibleRun();
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    pressEscape(ProgressForm::loaded());
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].prompt, "中止します。宜しいですか？　　");
    EXPECT_EQ(m_dialogs.shown()[0].title, "中止確認");
    EXPECT_EQ(m_dialogs.shown()[0].style, platform::MessageStyle::YesNo);
    EXPECT_TRUE(m_progress.GetCancelFlag());
    EXPECT_EQ(ProgressForm::loaded(), nullptr);
    EXPECT_TRUE(m_owner.isEnabled());

    m_progress.ProgressDsp(100, "", "", false);
    EXPECT_EQ(m_dialogs.shown().size(), 1) << "ending the run asks nothing";
    m_progress.ProgressDsp(0, "次", "", false);
    EXPECT_FALSE(m_progress.GetCancelFlag()) << "the next run starts uncancelled";
}

TEST_F(ProgressTest, EscapeAnsweredNoKeepsTheRunGoing)
{
    startVisibleRun();
    m_dialogs.answerNext(platform::MessageAnswer::No);
    pressEscape(ProgressForm::loaded());
    EXPECT_FALSE(m_progress.GetCancelFlag());
    EXPECT_TRUE(visible());
    EXPECT_FALSE(m_owner.isEnabled());
}

TEST_F(ProgressTest, CloseBoxAsksTheSameQuestion)
{
    startVisibleRun();
    m_dialogs.answerNext(platform::MessageAnswer::No);
    ProgressForm::loaded()->close();
    EXPECT_TRUE(visible()) << "No keeps the window";
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    ProgressForm::loaded()->close();
    EXPECT_EQ(m_dialogs.prompts(), QStringList({"中止します。宜しいですか？　　", "中止します。宜しいですか？　　"}));
    EXPECT_TRUE(m_progress.GetCancelFlag());
}

TEST_F(ProgressTest, EscapeIsServicedWhileTheRunPumpsEvents)
{
    startVisibleRun();
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    QCoreApplication::postEvent(ProgressForm::loaded(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    m_now += 100;
    m_progress.ProgressDsp(30, "", "", false);
    EXPECT_TRUE(m_progress.GetCancelFlag());
    m_progress.ProgressDsp(100, "", "", false);
    EXPECT_TRUE(m_owner.isEnabled());
}

} // namespace
} // namespace common::dialogs
