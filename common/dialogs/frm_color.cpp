#include "common/dialogs/frm_color.h"

#include "common/dialog_values.h"
#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"
#include "common/settings_values.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/bgr_qcolor.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace common::dialogs {

Frm_Color::Frm_Color(std::array<quint32, 4> &colors, const QString &iniFile, QWidget *parent)
    : QDialog(parent)
    , m_colors(colors)
    , m_iniFile(iniFile)
{
    setWindowTitle(QStringLiteral("差分背景色の設定"));
    setClientTwips(this, 4320, 2460);
    const QString captions[4] = {QStringLiteral("変更時の色"), QStringLiteral("追加時の色"), QStringLiteral("削除時の色"),
                                 QStringLiteral("変更？時の色")};
    for (int index = 0; index < 4; ++index) {
        const int top = 135 + index * 450;
        Label1[index] = new QLabel(captions[index], this);
        placeTwips(Label1[index], 120, top + 45, 1560, 240);
        Txt_Color[index] = new QLineEdit(this);
        Txt_Color[index]->setMaxLength(6);
        Txt_Color[index]->setAutoFillBackground(true);
        placeTwips(Txt_Color[index], 1710, top, 1200, 330);
        Txt_Color[index]->installEventFilter(this);
        connect(Txt_Color[index], &QLineEdit::textChanged, this, [this, index] { Txt_Color_Change(index); });
    }
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    placeTwips(Btn_Ok, 3150, 1935, 1050, 375);
    connect(Btn_Ok, &QPushButton::clicked, this, &Frm_Color::Btn_Ok_Click);

    for (int index = 0; index < 4; ++index)
        Txt_Color[index]->setText(ColorBoxText(m_colors[index]));
}

bool Frm_Color::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int index = 0; index < 4; ++index) {
            if (watched == Txt_Color[index]) {
                Txt_Color_DblClick(index);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Frm_Color::Txt_Color_Change(int index)
{
    m_backColors[index] = ColorBoxValue(Txt_Color[index]->text());
    QPalette palette = Txt_Color[index]->palette();
    const QColor back = platform::widgets::colorFromBgr(m_backColors[index]);
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Text, qGray(back.rgb()) < 128 ? Qt::white : Qt::black);
    Txt_Color[index]->setPalette(palette);
}

void Frm_Color::Txt_Color_DblClick(int index)
{
    if (const std::optional<quint32> chosen = platform::dialogs().chooseColor(0))
        Txt_Color[index]->setText(ColorBoxText(*chosen));
    Txt_Color[index]->setCursorPosition(0);
    Txt_Color[index]->deselect();
}

void Frm_Color::Btn_Ok_Click()
{
    const QString keys[4] = {QStringLiteral("DIFFCUPD"), QStringLiteral("DIFFCADD"), QStringLiteral("DIFFCDEL"),
                             QStringLiteral("DIFFCDTM")};
    m_colors = m_backColors;
    try {
        for (int index = 0; index < 4; ++index)
            WriteSetting(QStringLiteral("DSP"), keys[index], ColorText(m_colors[index]), m_iniFile);
    } catch (...) {
        ReportFailureDirectly(QStringLiteral("Btn_Ok_Click"));
        return;
    }
    accept();
}

} // namespace common::dialogs
