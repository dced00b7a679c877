#pragma once

#include "common/dialogs/dialog_support.h"
#include "common/dialogs/hand_back.h"

#include <QDateTime>
#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace common::dialogs {

// Asks for the new date and time of the selected files of one side, or (folder
// comparison program only, Chk_Copy ticked) for taking over the other side's dates. The
// opener writes its message into Lbl_Message and the caption and enabled state of
// Chk_Copy, then shows the dialog modally. Constructing the dialog presets the six boxes
// from `now` (seconds "00") and empties DateChgDtm of `handBack`; the button leaves
// "COPY" or the boxes joined as "yyyy/mm/dd hh:mm:ss" there when they make a valid date
// (else it says "日付が誤っています" and stays open); every other way of closing leaves it
// empty. The boxes take only digits and editing keys, select their text on focus and are
// written with leading zeros when left; Enter in a box presses the button. The viewer's
// copy has no Chk_Copy (nullptr).
class Frm_DateChg : public QDialog
{
    Q_OBJECT

public:
    Frm_DateChg(HandBack &handBack, ProgramVariant variant, QWidget *parent = nullptr,
                const QDateTime &now = QDateTime::currentDateTime());

    QLabel *Lbl_Message = nullptr;
    QCheckBox *Chk_Copy = nullptr;
    // Year, month, day, hour, minute, second.
    std::array<QLineEdit *, 6> Txt_DateTime{};
    // Label1 to Label6: "年", "月", "日", "時", "分", "秒".
    std::array<QLabel *, 6> Labels{};
    QPushButton *Btn_OK = nullptr;
    QPushButton *Btn_Cancel = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Chk_Copy_Click();
    bool Txt_DateTime_KeyDown(int keyCode, Qt::KeyboardModifiers modifiers) const;
    void Txt_DateTime_Validate(int index);
    void Btn_OK_Click();
    void Btn_Cancel_Click();

    HandBack &m_handBack;
};

} // namespace common::dialogs
