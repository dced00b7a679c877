#include "common/dialogs/number_setting_dialog.h"

#include "common/common_module.h"
#include "common/dialog_values.h"
#include "common/dialogs/dialog_support.h"
#include "common/saved_error.h"

#include <QLineEdit>
#include <QPushButton>

namespace common::dialogs {

NumberSettingDialog::NumberSettingDialog(qint32 &value, const QString &iniFile, const QString &key,
                                         const QString &refusedText, QWidget *parent)
    : QDialog(parent)
    , m_value(value)
    , m_iniFile(iniFile)
    , m_key(key)
    , m_refusedText(refusedText)
{
}

void NumberSettingDialog::setControls(QLineEdit *box, QPushButton *ok)
{
    m_box = box;
    m_box->setText(QString::number(m_value));
    connect(ok, &QPushButton::clicked, this, &NumberSettingDialog::Btn_OK_Click);
}

void NumberSettingDialog::Btn_OK_Click()
{
    const std::optional<qint32> number = SettingNumber(m_box->text());
    if (!number) {
        m_box->setText(m_refusedText);
        return;
    }
    m_value = *number;
    try {
        WriteSetting(QStringLiteral("DSP"), m_key, QString::number(m_value), m_iniFile);
    } catch (...) {
        ReportFailureDirectly(QStringLiteral("Btn_OK_Click"));
        return;
    }
    accept();
}

} // namespace common::dialogs
