#include "common/dialogs/progress_form.h"

#include "common/dialogs/dialog_support.h"
#include "platform/twips.h"
#include "platform/user_dialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

namespace common::dialogs {

namespace {

// Layout in twips.
constexpr int ClientWidth = 6000;
constexpr int ClientHeight = 1245;
constexpr int MessageTop = 135;
constexpr int MessageOnlyTop = 475;
constexpr int NoOwnerRaise = 2000;

QPointer<ProgressForm> &loadedForm()
{
    static QPointer<ProgressForm> form;
    return form;
}

qint64 steadyMilliseconds()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

} // namespace

ProgressState &progressState()
{
    static ProgressState state;
    return state;
}

ProgressForm *ProgressForm::loaded()
{
    return loadedForm();
}

ProgressForm *ProgressForm::load()
{
    if (!loadedForm())
        loadedForm() = new ProgressForm;
    return loadedForm();
}

ProgressForm::ProgressForm()
{
    setWindowTitle(QStringLiteral("処理中"));
    setClientTwips(this, ClientWidth, ClientHeight);
    ProgressLabel = new QLabel(QStringLiteral("処理中です。しばらくお待ちください。"), this);
    placeTwips(ProgressLabel, 135, MessageTop, ClientWidth - 270, 255);
    ProgressCtrl = new QProgressBar(this);
    ProgressCtrl->setRange(0, 100);
    ProgressCtrl->setValue(0);
    ProgressCtrl->setTextVisible(false);
    placeTwips(ProgressCtrl, 135, 475, ClientWidth - 270, 300);
    ProgressLabel2 = new QLabel(this);
    placeTwips(ProgressLabel2, 135, 855, ClientWidth - 270, 255);
    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, &ProgressForm::Timer1_Timer);
    position();
}

ProgressForm::~ProgressForm()
{
    enableOwner();
}

qint64 ProgressForm::now() const
{
    const ProgressState &state = progressState();
    return state.clock ? state.clock() : steadyMilliseconds();
}

void ProgressForm::ProgressDsp(double Percent, const QString &Message, const QString &Caption, bool AtOnce)
{
    ProgressState &state = progressState();
    const double percent = MapProgress(Percent, state.range);
    if (percent <= 0) {
        position();
        disableOwner();
        state.cancel = false;
        m_startMs = now();
        m_estimate.restart();
    }

    const QPointer<ProgressForm> self(this);
    pumpMessages();
    if (!self || m_unloading)
        return; // the user cancelled while events were processed

    if (percent >= 100) {
        enableOwner();
        ProgressCtrl->setValue(100);
        repaint();
        unload();
        return;
    }
    if (!state.show)
        return;

    if (!Caption.isEmpty())
        setWindowTitle(Caption);
    if (!Message.isEmpty())
        ProgressLabel->setText(Message);
    if (!isVisible())
        layoutFor(percent);
    if (percent <= 0) {
        Timer1->setInterval(AtOnce || state.delay <= 0 ? 1 : state.delay * 1000);
        Timer1->start();
    }
    if (percent >= 0 && float(percent) != float(ProgressCtrl->value())) {
        ProgressCtrl->setValue(int(percent));
        ProgressLabel2->setText(m_estimate.timeLine((now() - m_startMs) / 1000, percent));
        repaint();
    }
}

void ProgressForm::layoutFor(double percent)
{
    const bool messageOnly = percent < 0;
    ProgressCtrl->setVisible(!messageOnly);
    ProgressLabel2->setVisible(!messageOnly);
    if (!messageOnly)
        ProgressCtrl->setValue(0);
    ProgressLabel->move(ProgressLabel->x(), platform::twipsToPixels(messageOnly ? MessageOnlyTop : MessageTop));
}

void ProgressForm::pumpMessages()
{
    const qint64 time = now();
    if (m_lastPump && time - *m_lastPump < 100 && time >= *m_lastPump)
        return;
    m_lastPump = time;
    QCoreApplication::processEvents();
}

void ProgressForm::Timer1_Timer()
{
    const ProgressState &state = progressState();
    if (state.hidden)
        return; // stays armed and tries again after its interval
    Timer1->stop();
    if (state.show && ProgressCtrl->value() < 100)
        showInFront();
}

void ProgressForm::showInFront()
{
    show();
    raise();
    activateWindow();
}

void ProgressForm::WindowTopMost()
{
    if (isVisible())
        showInFront();
}

void ProgressForm::SetVisible(bool flag)
{
    setVisible(flag);
    progressState().hidden = !flag;
}

void ProgressForm::position()
{
    const QWidget *owner = progressState().owner;
    if (owner) {
        const QRect area = owner->frameGeometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
        return;
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect();
    move((area.width() - width()) / 2, (area.height() - height()) / 2 - platform::twipsToPixels(NoOwnerRaise));
}

void ProgressForm::disableOwner()
{
    m_disabledOwner = progressState().owner;
    if (m_disabledOwner)
        m_disabledOwner->setEnabled(false);
}

void ProgressForm::enableOwner()
{
    if (m_disabledOwner)
        m_disabledOwner->setEnabled(true);
    m_disabledOwner = nullptr;
}

void ProgressForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        askToCancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ProgressForm::closeEvent(QCloseEvent *event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    // Only the user closes the window this way; the program unloads it without a close.
    event->ignore();
    askToCancel();
}

void ProgressForm::askToCancel()
{
    Timer1->stop();
    hide();
    const int answer = platform::dialogs().messageBox(QStringLiteral("中止します。宜しいですか？　　"),
                                                      platform::MessageStyle::YesNo, QStringLiteral("中止確認"));
    if (answer == platform::MessageAnswer::Yes) {
        progressState().cancel = true;
        unload();
        return;
    }
    showInFront();
}

void ProgressForm::unload()
{
    m_unloading = true;
    Timer1->stop();
    enableOwner();
    hide();
    if (loadedForm() == this)
        loadedForm() = nullptr;
    deleteLater();
}

} // namespace common::dialogs
