#include "textcompare/window/frm_len_of_row.h"

#include "common/dialogs/dialog_support.h"
#include "common/saved_error.h"
#include "platform/user_dialogs.h"
#include "textcompare/editing/wrap_width.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace textcompare {

namespace {

using common::dialogs::placeTwips;

const QString SlowDisplayWarning = QStringLiteral("折り返し文字数を指定すると表示が遅くなる事があります。    \r\n"
                                                  "宜しいですか？　\r\n\r\n"
                                                  "通常は折り返し文字数を指定しない事をオススメします。    ");

} // namespace

Frm_LenOfRow::Frm_LenOfRow(qint32 &LenOfRow, QWidget *parent)
    : QDialog(parent)
    , m_lenOfRow(LenOfRow)
{
    setWindowTitle(QStringLiteral("折り返し文字数(１行に表示する文字数)"));
    common::dialogs::setClientTwips(this, 4680, 1320);
    Chk_LenOfRow = new QCheckBox(QStringLiteral("１行に表示する最大文字数を指定する"), this);
    placeTwips(Chk_LenOfRow, 120, 120, 4440, 300);
    Txt_LenOfRow = new QLineEdit(this);
    placeTwips(Txt_LenOfRow, 360, 600, 1200, 330);
    Btn_OK = new QPushButton(QStringLiteral("OK"), this);
    placeTwips(Btn_OK, 3480, 765, 1080, 375);
    connect(Chk_LenOfRow, &QCheckBox::toggled, this, &Frm_LenOfRow::Chk_LenOfRow_Click);
    connect(Btn_OK, &QPushButton::clicked, this, &Frm_LenOfRow::Btn_OK_Click);

    const bool ticked = m_lenOfRow >= 1;
    Chk_LenOfRow->setChecked(ticked);
    Txt_LenOfRow->setText(QString::number(ticked ? qint64(m_lenOfRow) : -qint64(m_lenOfRow)));
    Chk_LenOfRow_Click();
}

void Frm_LenOfRow::keyPressEvent(QKeyEvent *event)
{
    // The dialog has no cancel: Esc leaves it open.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Frm_LenOfRow::Chk_LenOfRow_Click()
{
    Txt_LenOfRow->setEnabled(Chk_LenOfRow->isChecked());
}

void Frm_LenOfRow::Btn_OK_Click()
{
    const bool ticked = Chk_LenOfRow->isChecked();
    if (ticked
        && platform::dialogs().messageBox(SlowDisplayWarning, platform::MessageStyle::YesNo, QString())
               != platform::MessageAnswer::Yes)
        return;
    const WrapWidthEntry entry = WrapWidthFromEntry(Txt_LenOfRow->text(), ticked);
    if (!entry.width) {
        common::SaveErr(entry.failureNumber, QCoreApplication::applicationName(), entry.failure);
        platform::dialogs().messageBox(common::SystemErrorText(QStringLiteral("Btn_OK_Click")),
                                       platform::MessageStyle::OkOnly, QString());
        return;
    }
    m_lenOfRow = *entry.width;
    accept();
}

} // namespace textcompare
