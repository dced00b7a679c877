#pragma once

#include "common/dialogs/dialog_support.h"
#include "common/dialogs/number_setting_dialog.h"

class QLabel;

namespace common::dialogs {

// Edits the row limit of the result grid, `LineMax`, and writes [DSP] LineMax. A refused
// entry puts "0" into the box. The viewer's copy names other row counts in its texts.
class Frm_LineMax : public NumberSettingDialog
{
    Q_OBJECT

public:
    Frm_LineMax(qint32 &LineMax, const QString &iniFile, ProgramVariant variant, QWidget *parent = nullptr);

    QLineEdit *Txt_LineMax = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Btn_OK = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
};

} // namespace common::dialogs
