#pragma once

#include "common/dialogs/hand_back.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace common::dialogs {

// Asks for the separator of a CSV export. The box starts with "<SEPA>"; the button takes
// the box's text as it stands. However the dialog closes it leaves its result in
// `handBack`: CsvSepaStr is the confirmed text or "<SEPA>", and CsvSepaConfirmed tells
// whether the user confirmed. exec() returns Accepted exactly when confirmed.
class Frm_CsvSepa : public QDialog
{
    Q_OBJECT

public:
    explicit Frm_CsvSepa(HandBack &handBack, QWidget *parent = nullptr);

    void done(int result) override;

    QLineEdit *Txt_CsvSepa = nullptr;
    QPushButton *Btn_OK = nullptr;

private:
    void Btn_OK_Click();

    HandBack &m_handBack;
    QString m_result;
};

} // namespace common::dialogs
