#include "common/dialogs/frm_date_chg.h"

#include "common/dialog_values.h"
#include "platform/user_dialogs.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace common::dialogs {

Frm_DateChg::Frm_DateChg(HandBack &handBack, ProgramVariant variant, QWidget *parent, const QDateTime &now)
    : QDialog(parent)
    , m_handBack(handBack)
{
    setWindowTitle(QStringLiteral("日時情報変更指定"));
    setClientTwips(this, 6120, 2340);
    const bool folderCompare = variant == ProgramVariant::Dirgleam;

    Lbl_Message = new QLabel(folderCompare ? QStringLiteral("フォルダ１（旧）側の選択したファイル(行)の日時情報を変換します。")
                                           : QString(),
                             this);
    Lbl_Message->setWordWrap(true);
    placeTwips(Lbl_Message, 120, 120, 5880, 480);
    if (folderCompare) {
        Chk_Copy = new QCheckBox(QStringLiteral("フォルダ２(新)側のファイル日時を設定する"), this);
        placeTwips(Chk_Copy, 120, 660, 5880, 300);
        connect(Chk_Copy, &QCheckBox::toggled, this, &Frm_DateChg::Chk_Copy_Click);
    }

    QFont boxFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    boxFont.setPointSizeF(14.25);
    const QString units[6] = {QStringLiteral("年"), QStringLiteral("月"), QStringLiteral("日"),
                              QStringLiteral("時"), QStringLiteral("分"), QStringLiteral("秒")};
    const std::array<QString, 6> presets = DateBoxPresets(now);
    int left = 120;
    for (int index = 0; index < 6; ++index) {
        const int width = index == 0 ? 900 : 540;
        Txt_DateTime[index] = new QLineEdit(presets[index], this);
        Txt_DateTime[index]->setMaxLength(index == 0 ? 4 : 2);
        Txt_DateTime[index]->setFont(boxFont);
        Txt_DateTime[index]->setAttribute(Qt::WA_InputMethodEnabled, false);
        Txt_DateTime[index]->installEventFilter(this);
        placeTwips(Txt_DateTime[index], left, 1080, width, 450);
        Labels[index] = new QLabel(units[index], this);
        placeTwips(Labels[index], left + width + 30, 1200, 300, 240);
        left += width + 360;
    }

    Btn_OK = new QPushButton(QStringLiteral("日時変更"), this);
    Btn_OK->setDefault(true);
    placeTwips(Btn_OK, 3120, 1800, 1320, 375);
    Btn_Cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    placeTwips(Btn_Cancel, 4680, 1800, 1320, 375);
    connect(Btn_OK, &QPushButton::clicked, this, &Frm_DateChg::Btn_OK_Click);
    connect(Btn_Cancel, &QPushButton::clicked, this, &Frm_DateChg::Btn_Cancel_Click);

    m_handBack.DateChgDtm.clear();
}

void Frm_DateChg::Chk_Copy_Click()
{
    for (QLineEdit *box : Txt_DateTime)
        box->setEnabled(!Chk_Copy->isChecked());
}

bool Frm_DateChg::eventFilter(QObject *watched, QEvent *event)
{
    const auto box = std::find(Txt_DateTime.begin(), Txt_DateTime.end(), watched);
    if (box == Txt_DateTime.end())
        return QDialog::eventFilter(watched, event);
    const int index = int(box - Txt_DateTime.begin());
    switch (event->type()) {
    case QEvent::FocusIn:
        // Reached by the keyboard a box is selected to be typed over; a click puts the
        // cursor where it points.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::MouseFocusReason)
            Txt_DateTime[index]->selectAll();
        break;
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Txt_DateTime_Validate(index);
        break;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter presses the default button 日時変更, with the box written as leaving
            // it would write it.
            Txt_DateTime_Validate(index);
            Btn_OK->click();
            return true;
        }
        if (!Txt_DateTime_KeyDown(key->key(), key->modifiers()))
            return true;
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

// True for the keys a date box takes: the digits of the main keyboard and the editing
// keys left, right, backspace, delete and space. Tab and Esc belong to the dialog.
bool Frm_DateChg::Txt_DateTime_KeyDown(int keyCode, Qt::KeyboardModifiers modifiers) const
{
    if (keyCode >= Qt::Key_0 && keyCode <= Qt::Key_9)
        return !modifiers.testFlag(Qt::KeypadModifier);
    switch (keyCode) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Space:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return true;
    default:
        return false;
    }
}

void Frm_DateChg::Txt_DateTime_Validate(int index)
{
    Txt_DateTime[index]->setText(NormalizedDateBox(Txt_DateTime[index]->text(), index));
}

void Frm_DateChg::Btn_OK_Click()
{
    if (Chk_Copy && Chk_Copy->isChecked()) {
        m_handBack.DateChgDtm = QStringLiteral("COPY");
        accept();
        return;
    }
    std::array<QString, 6> boxes;
    for (int index = 0; index < 6; ++index)
        boxes[index] = Txt_DateTime[index]->text();
    const std::optional<QString> answer = DateChangeAnswer(boxes);
    if (!answer) {
        platform::dialogs().messageBox(QStringLiteral("日付が誤っています"), platform::MessageStyle::OkOnly, QString());
        return;
    }
    m_handBack.DateChgDtm = *answer;
    accept();
}

void Frm_DateChg::Btn_Cancel_Click()
{
    m_handBack.DateChgDtm.clear();
    reject();
}

} // namespace common::dialogs
