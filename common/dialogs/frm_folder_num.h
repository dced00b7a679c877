#pragma once

#include "common/dialogs/number_setting_dialog.h"

class QLabel;

namespace common::dialogs {

// Edits the folder depth of the listing, `FolderNum`, and writes [DSP] FolderNum. A
// refused entry puts "999" (every level) into the box.
class Frm_FolderNum : public NumberSettingDialog
{
    Q_OBJECT

public:
    Frm_FolderNum(qint32 &FolderNum, const QString &iniFile, QWidget *parent = nullptr);

    QLineEdit *Txt_FolderNum = nullptr;
    QPushButton *Btn_OK = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
};

} // namespace common::dialogs
