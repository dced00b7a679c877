#include "textcompare/window/frm_line_text.h"

#include "common/dialogs/dialog_support.h"
#include "platform/twips.h"
#include "textcompare/editing/line_markers.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace textcompare {

namespace {

using common::dialogs::placeTwips;
using platform::twipsToPixels;

constexpr int LineLeft = 1110;
constexpr int MarkerLeft = 1162;
constexpr int ButtonWidth = 615;
constexpr int RightMargin = 150;
constexpr int ButtonGap = 50;
constexpr int DesignWidth = 11430;

// A fixed-pitch font in which a double-byte character is two columns wide, so that each
// marker stands under its byte.
QFont lineFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("ＭＳ ゴシック"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(9);
    return font;
}

} // namespace

LineTextLayout LineTextLayout::forWidth(int clientWidth)
{
    const int width = std::max(clientWidth, MinimumWidth);
    const int boxTwips = platform::pixelsToTwips(width) - LineLeft - ButtonWidth - RightMargin;
    return {twipsToPixels(boxTwips), twipsToPixels(LineLeft + boxTwips + ButtonGap)};
}

Frm_LineText::Frm_LineText(QString &LineTextDt1, QString &LineTextDt2, bool &LineTextSv1, bool &LineTextSv2,
                           QWidget *mainWindow)
    : QDialog(mainWindow)
    , m_lines{&LineTextDt1, &LineTextDt2}
    , m_saved{&LineTextSv1, &LineTextSv2}
{
    setWindowTitle(QStringLiteral("１行文字列比較/編集"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(lineFont());
    const QString captions[2] = {QStringLiteral("ファイル１"), QStringLiteral("ファイル２")};
    const int labelTops[2] = {280, 665};
    const int lineTops[2] = {220, 605};
    const int markerTops[2] = {70, 880};
    for (int index = 0; index < 2; ++index) {
        Label1[index] = new QLabel(captions[index], this);
        Label1[index]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        placeTwips(Label1[index], 0, labelTops[index], 1035, 240);
        Txt_LineText[index] = new QLineEdit(this);
        placeTwips(Txt_LineText[index], LineLeft, lineTops[index], 9405, 330);
        Txt_LineText[index]->installEventFilter(this);
        Txt_ChrJudge[index] = new QLineEdit(this);
        Txt_ChrJudge[index]->setFrame(false);
        Txt_ChrJudge[index]->setReadOnly(true);
        Txt_ChrJudge[index]->setFocusPolicy(Qt::NoFocus);
        Txt_ChrJudge[index]->setTextMargins(0, 0, 0, 0);
        Txt_ChrJudge[index]->setBackgroundRole(QPalette::Button);
        QPalette palette = Txt_ChrJudge[index]->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        Txt_ChrJudge[index]->setPalette(palette);
        placeTwips(Txt_ChrJudge[index], MarkerLeft, markerTops[index], 9405, 180);
        Btn_SaveText[index] = new QPushButton(QStringLiteral("更新"), this);
        // Enter in a line box hands nothing back.
        Btn_SaveText[index]->setAutoDefault(false);
        placeTwips(Btn_SaveText[index], 10680, lineTops[index], ButtonWidth, 330);
        connect(Btn_SaveText[index], &QPushButton::clicked, this, [this, index] { Btn_SaveText_Click(index); });
    }

    for (int index = 0; index < 2; ++index) {
        Txt_LineText[index]->setText(*m_lines[index]);
        *m_saved[index] = false;
    }
    const std::array<QString, 2> markers = LineMarkers(Txt_LineText[0]->text(), Txt_LineText[1]->text());
    for (int index = 0; index < 2; ++index)
        Txt_ChrJudge[index]->setText(markers[index]);

    setMinimumSize(LineTextLayout::MinimumWidth, LineTextLayout::Height);
    setMaximumHeight(LineTextLayout::Height);
    resize(twipsToPixels(DesignWidth), LineTextLayout::Height);
    if (mainWindow) {
        move(mainWindow->frameGeometry().topLeft());
        resize(mainWindow->width(), LineTextLayout::Height);
    }
}

void Frm_LineText::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void Frm_LineText::Form_Resize()
{
    const LineTextLayout layout = LineTextLayout::forWidth(width());
    for (int index = 0; index < 2; ++index) {
        for (QLineEdit *box : {Txt_LineText[index], Txt_ChrJudge[index]})
            box->resize(layout.boxWidth, box->height());
        Btn_SaveText[index]->move(layout.buttonLeft, Btn_SaveText[index]->y());
    }
}

bool Frm_LineText::eventFilter(QObject *watched, QEvent *event)
{
    for (int index = 0; index < 2; ++index) {
        if (watched != Txt_LineText[index])
            continue;
        const bool dragging = event->type() == QEvent::MouseMove
                              && static_cast<QMouseEvent *>(event)->buttons() == Qt::LeftButton;
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease || dragging)
            mirrorSelection(index);
    }
    return QDialog::eventFilter(watched, event);
}

void Frm_LineText::mirrorSelection(int index)
{
    const QLineEdit *source = Txt_LineText[index];
    QLineEdit *other = Txt_LineText[(index + 1) % 2];
    if (source->hasSelectedText())
        other->setSelection(source->selectionStart(), source->selectionLength());
    else
        other->setCursorPosition(source->cursorPosition());
}

void Frm_LineText::Btn_SaveText_Click(int index)
{
    *m_lines[index] = Txt_LineText[index]->text();
    *m_saved[index] = true;
    accept();
}

} // namespace textcompare
