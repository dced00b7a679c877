#pragma once

#include "common/progress_estimate.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>

class QLabel;
class QProgressBar;
class QTimer;

namespace common::dialogs {

// The one progress state of the program, shared by every ProgressClass and the window.
struct ProgressState
{
    // Disabled during a run; the window is centred over it. Null: none.
    QPointer<QWidget> owner;
    // The window is shown at all.
    bool show = false;
    // Seconds from the start of a run until the window shows, 0 to 32.
    int delay = 0;
    ProgressBarRange range;
    // The user confirmed a cancel; cleared at the start of the next run.
    bool cancel = false;
    // The caller hid the window; the show timer then waits.
    bool hidden = false;
    // Milliseconds of a steady clock: the elapsed time and the message-pump interval.
    std::function<qint64()> clock;
};

ProgressState &progressState();

// The progress window: a message, a bar, and the elapsed and estimated times of a run.
// It exists once in the program, loaded by the first use and unloaded at the end of a
// run or when the user cancels. It comes up only once the delay of the run has passed;
// Esc or its close box ask whether to stop and turn Yes into the cancel flag that the
// running operation polls.
class ProgressForm : public QDialog
{
    Q_OBJECT

public:
    // The loaded window; nullptr when none is loaded.
    static ProgressForm *loaded();
    // The loaded window, loading (and positioning) it first when none is.
    static ProgressForm *load();

    ~ProgressForm() override;

    // Percent is mapped through the state's range: 0 or less starts a run (the window is
    // positioned, the owner disabled, the cancel flag cleared, the clock started), 100 or
    // more ends it (the owner enabled, the window unloaded), anything between updates the
    // bar and the time line; a negative Percent shows the message alone. Empty Message and
    // Caption keep the current texts. AtOnce shows the window without the delay. Pending
    // events are processed at most every 0.1 s, which is when Esc and the close box act.
    void ProgressDsp(double Percent, const QString &Message, const QString &Caption, bool AtOnce);
    // Brings a visible window in front of all windows, without keeping it on top.
    void WindowTopMost();
    // Shows (true) or hides (false) the window; while hidden this way the show timer
    // does not bring it up.
    void SetVisible(bool flag);

    QLabel *ProgressLabel = nullptr;
    QLabel *ProgressLabel2 = nullptr;
    QProgressBar *ProgressCtrl = nullptr;
    QTimer *Timer1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    ProgressForm();

    void position();
    void layoutFor(double percent);
    void disableOwner();
    void enableOwner();
    void pumpMessages();
    void Timer1_Timer();
    void showInFront();
    void askToCancel();
    void unload();
    qint64 now() const;

    qint64 m_startMs = 0;
    ProgressEstimate m_estimate;
    std::optional<qint64> m_lastPump;
    QPointer<QWidget> m_disabledOwner;
    bool m_unloading = false;
};

} // namespace common::dialogs
