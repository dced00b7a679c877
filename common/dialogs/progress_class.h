#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace common::dialogs {

// How long file operations report their progress. It holds nothing itself: every
// instance drives the program's one progress window (ProgressForm) and shares one
// progress state. Order of use by an operation: ProgressInit; ProgressRange(0, 100);
// ProgressDsp(0, message, "", false); for each item ProgressDsp(percent, "", "", false)
// then GetCancelFlag(), stopping when it is true; finally ProgressDsp(100, "", "", false),
// also after a cancel.
class ProgressClass
{
public:
    // Passed to the progress window, which is loaded when needed (see ProgressForm).
    void ProgressDsp(double Percent, const QString &Message, const QString &Caption, bool AtOnce);
    // Brings the progress window in front when it is visible (the main window calls it
    // whenever it repaints).
    void WindowTopMost();
    // The owner window (disabled during a run; the progress window is centred over it;
    // nullptr for none), whether the window is shown at all, and the delay in seconds
    // before it shows (bounded to 0..32).
    void ProgressInit(QWidget *hWnd, bool PFlag, int PDelay);
    // The part of the bar, in percent, onto which 0 to 100 percent of a run are mapped;
    // an end below the start counts as 0 to 100.
    void ProgressRange(int SPer, int EPer);
    // True once the user confirmed a cancel in this run.
    bool GetCancelFlag() const;
    // Shows or hides the progress window around the operation's own questions.
    void SetVisible(bool flag);

    // Replaces the steady millisecond clock of the elapsed time and the message pump (a
    // test's fake clock); an empty function restores the steady clock.
    static void setClock(std::function<qint64()> clock);
};

} // namespace common::dialogs
