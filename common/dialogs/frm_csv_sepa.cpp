#include "common/dialogs/frm_csv_sepa.h"

#include "common/dialogs/dialog_support.h"

#include <QLineEdit>
#include <QPushButton>

namespace common::dialogs {

namespace {

const QString Unconfirmed = QStringLiteral("<SEPA>");

} // namespace

Frm_CsvSepa::Frm_CsvSepa(HandBack &handBack, QWidget *parent)
    : QDialog(parent)
    , m_handBack(handBack)
{
    setWindowTitle(QStringLiteral("CSVの区切文字列"));
    setClientTwips(this, 3660, 600);
    Txt_CsvSepa = new QLineEdit(this);
    placeTwips(Txt_CsvSepa, 120, 135, 2250, 330);
    Btn_OK = new QPushButton(QStringLiteral("設定"), this);
    placeTwips(Btn_OK, 2490, 113, 1050, 375);
    connect(Btn_OK, &QPushButton::clicked, this, &Frm_CsvSepa::Btn_OK_Click);

    m_result = Unconfirmed;
    Txt_CsvSepa->setText(m_result);
}

void Frm_CsvSepa::Btn_OK_Click()
{
    m_result = Txt_CsvSepa->text();
    accept();
}

void Frm_CsvSepa::done(int result)
{
    m_handBack.CsvSepaStr = result == Accepted ? m_result : Unconfirmed;
    m_handBack.CsvSepaConfirmed = result == Accepted;
    QDialog::done(result);
}

} // namespace common::dialogs
