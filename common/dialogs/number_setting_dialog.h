#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace common::dialogs {

// A dialog that edits one whole-number setting of section [DSP]: the box shows the value;
// the button takes the box's number rounded to a whole number and, when it is 1 or more
// (and fits 32 bits), stores it in the value, writes the key and closes. Any other entry
// puts the dialog's correction text into the box and keeps the dialog open. Closing it
// otherwise stores nothing.
class NumberSettingDialog : public QDialog
{
    Q_OBJECT

protected:
    NumberSettingDialog(qint32 &value, const QString &iniFile, const QString &key, const QString &refusedText,
                        QWidget *parent);

    // Takes the subclass's box and button: the box shows the value, the button checks and
    // stores the box's number.
    void setControls(QLineEdit *box, QPushButton *ok);

private:
    void Btn_OK_Click();

    qint32 &m_value;
    QString m_iniFile;
    QString m_key;
    QString m_refusedText;
    QLineEdit *m_box = nullptr;
};

} // namespace common::dialogs
