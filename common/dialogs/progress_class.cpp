#include "common/dialogs/progress_class.h"

#include "common/dialogs/progress_form.h"

#include <algorithm>

namespace common::dialogs {

void ProgressClass::ProgressDsp(double Percent, const QString &Message, const QString &Caption, bool AtOnce)
{
    ProgressForm::load()->ProgressDsp(Percent, Message, Caption, AtOnce);
}

void ProgressClass::WindowTopMost()
{
    if (ProgressForm *form = ProgressForm::loaded())
        form->WindowTopMost();
}

void ProgressClass::ProgressInit(QWidget *hWnd, bool PFlag, int PDelay)
{
    ProgressState &state = progressState();
    state.owner = hWnd;
    state.show = PFlag;
    state.delay = std::clamp(PDelay, 0, 32);
}

void ProgressClass::ProgressRange(int SPer, int EPer)
{
    progressState().range = {qint16(std::clamp(SPer, -32768, 32767)), qint16(std::clamp(EPer, -32768, 32767))};
}

bool ProgressClass::GetCancelFlag() const
{
    return progressState().cancel;
}

void ProgressClass::SetVisible(bool flag)
{
    ProgressForm::load()->SetVisible(flag);
}

void ProgressClass::setClock(std::function<qint64()> clock)
{
    progressState().clock = std::move(clock);
}

} // namespace common::dialogs
