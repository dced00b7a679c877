#pragma once

#include "common/dialogs/dialog_support.h"
#include "common/dialogs/hand_back.h"

#include <QDialog>
#include <QList>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace common::dialogs {

// Asks for the source code, the target code and the line end of a character-code
// conversion. The opener puts presets into CodeChgCd1..CodeChgCd3 of `handBack` and its
// message into Lbl_Message, then shows the dialog modally. Constructing the dialog
// selects the presets and empties the three members; after a confirmed start (the button
// and Yes to the question) they hold the choice, after any other way of closing they stay
// empty. The viewer's copy has no "自動判定" entry, so its source is always a code name.
class Frm_CodeChg : public QDialog
{
    Q_OBJECT

public:
    Frm_CodeChg(HandBack &handBack, ProgramVariant variant, QWidget *parent = nullptr);

    QLabel *Lbl_Message = nullptr;
    // Source code, target code, line end.
    std::array<QLabel *, 3> Label1{};
    std::array<QComboBox *, 3> Cmb_Code{};
    QList<QLabel *> Lbl_Message2;
    QPushButton *Btn_OK = nullptr;
    QPushButton *Btn_Cancel = nullptr;

private:
    void Btn_OK_Click();
    void Btn_Cancel_Click();

    HandBack &m_handBack;
    bool m_automaticEntry = false;
};

} // namespace common::dialogs
