#include "textcompare/window/frm_color_viewer.h"

#include "common/common_module.h"
#include "common/dialog_values.h"
#include "common/dialogs/dialog_support.h"
#include "common/settings_values.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/bgr_qcolor.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace textcompare {

namespace {

using common::dialogs::placeTwips;

// The colours in the order of the boxes.
std::array<quint32 *, 5> colorSlots(DiffColors &colors)
{
    return {&colors.DIFFCUPD, &colors.DIFFCADD, &colors.DIFFCDEL, &colors.DIFFCNO1, &colors.DIFFCNO2};
}

} // namespace

Frm_Color::Frm_Color(DiffColors &colors, const QString &iniFile, QWidget *parent)
    : QDialog(parent)
    , m_colors(colors)
    , m_iniFile(iniFile)
{
    setWindowTitle(QStringLiteral("差分背景色の設定"));
    QFont large = font();
    large.setPointSizeF(15.75);
    setFont(large);
    common::dialogs::setClientTwips(this, 6000, 3570);
    const QString captions[5] = {QStringLiteral("変更時の色"), QStringLiteral("追加時の色"), QStringLiteral("削除時の色"),
                                 QStringLiteral("差分のみ行番号の色"), QStringLiteral("差分のみ行番号の色")};
    for (int index = 0; index < 5; ++index) {
        const int top = 135 + index * 570;
        Label1[index] = new QLabel(captions[index], this);
        placeTwips(Label1[index], 120, top + 60, 3240, 360);
        Txt_Color[index] = new QLineEdit(this);
        Txt_Color[index]->setMaxLength(6);
        Txt_Color[index]->setAlignment(Qt::AlignRight);
        Txt_Color[index]->setAutoFillBackground(true);
        placeTwips(Txt_Color[index], 3480, top, 1350, 450);
        Txt_Color[index]->installEventFilter(this);
        connect(Txt_Color[index], &QLineEdit::textChanged, this, [this, index] { Txt_Color_Change(index); });
    }
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    placeTwips(Btn_Ok, 4950, 2985, 930, 450);
    connect(Btn_Ok, &QPushButton::clicked, this, &Frm_Color::Btn_Ok_Click);

    const std::array<quint32 *, 5> boxColors = colorSlots(m_colors);
    for (int index = 0; index < 5; ++index)
        Txt_Color[index]->setText(common::ColorBoxText(*boxColors[index]));
}

bool Frm_Color::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int index = 0; index < 5; ++index) {
            if (watched == Txt_Color[index]) {
                Txt_Color_DblClick(index);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Frm_Color::keyPressEvent(QKeyEvent *event)
{
    // The dialog has no cancel: Esc leaves it open.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Frm_Color::Txt_Color_Change(int index)
{
    m_backColors[index] = common::ColorBoxValue(Txt_Color[index]->text());
    QPalette palette = Txt_Color[index]->palette();
    const QColor back = platform::widgets::colorFromBgr(m_backColors[index]);
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Text, qGray(back.rgb()) < 128 ? Qt::white : Qt::black);
    Txt_Color[index]->setPalette(palette);
}

void Frm_Color::Txt_Color_DblClick(int index)
{
    const quint32 shown = common::ColorBoxValue(Txt_Color[index]->text());
    if (const std::optional<quint32> chosen = platform::dialogs().chooseColor(shown))
        Txt_Color[index]->setText(common::ColorBoxText(*chosen));
    Txt_Color[index]->setCursorPosition(0);
    Txt_Color[index]->deselect();
}

void Frm_Color::Btn_Ok_Click()
{
    const QString keys[5] = {QStringLiteral("DIFFCUPD"), QStringLiteral("DIFFCADD"), QStringLiteral("DIFFCDEL"),
                             QStringLiteral("DIFFCNO1"), QStringLiteral("DIFFCNO2")};
    const std::array<quint32 *, 5> boxColors = colorSlots(m_colors);
    for (int index = 0; index < 5; ++index)
        *boxColors[index] = m_backColors[index];
    try {
        for (int index = 0; index < 5; ++index)
            common::WriteSetting(QStringLiteral("DSP"), keys[index], common::ColorText(m_backColors[index]), m_iniFile);
    } catch (...) {
        common::dialogs::ReportFailureDirectly(QStringLiteral("Btn_Ok_Click"));
        return;
    }
    accept();
}

} // namespace textcompare
