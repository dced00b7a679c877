#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

namespace common::dialogs {

// Edits the extensions whose files are always judged "BIN", `BinJdExt`. The button
// removes every blank and "." from the box, replaces the list with the comma-separated
// pieces and writes [DSP] BinJdExt; closing the dialog otherwise changes nothing.
class Frm_BinExt : public QDialog
{
    Q_OBJECT

public:
    Frm_BinExt(QStringList &BinJdExt, const QString &iniFile, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *Txt_BinExt = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Btn_OK = nullptr;

private:
    void Btn_OK_Click();

    QStringList &m_binJdExt;
    QString m_iniFile;
};

} // namespace common::dialogs
