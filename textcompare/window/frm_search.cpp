#include "textcompare/window/frm_search.h"

#include "common/dialogs/dialog_support.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace textcompare {

using common::dialogs::placeTwips;

Frm_Search::Frm_Search(QString &SearchStr, bool &SearchDownFlag, bool &SearchUpFlag, QWidget *parent)
    : QDialog(parent)
    , m_searchStr(SearchStr)
    , m_searchDownFlag(SearchDownFlag)
    , m_searchUpFlag(SearchUpFlag)
{
    setWindowTitle(QStringLiteral("文字列の検索"));
    common::dialogs::setClientTwips(this, 6150, 1200);
    Label1 = new QLabel(QStringLiteral("検索文字列"), this);
    placeTwips(Label1, 120, 165, 1080, 255);
    Txt_Search = new QLineEdit(this);
    placeTwips(Txt_Search, 1200, 120, 4830, 330);
    Txt_Search->installEventFilter(this);
    const QString captions[2] = {QStringLiteral("↓検索"), QStringLiteral("↑検索")};
    for (int index = 0; index < 2; ++index) {
        Btn_Search[index] = new QPushButton(captions[index], this);
        Btn_Search[index]->setAutoDefault(false);
        placeTwips(Btn_Search[index], 3060 + 1500 * index, 630, 1455, 405);
        connect(Btn_Search[index], &QPushButton::clicked, this, [this, index] { Btn_Search_Click(index); });
    }

    Txt_Search->setText(m_searchStr);
    Txt_Search->selectAll();
    m_searchUpFlag = false;
    m_searchDownFlag = false;
}

void Frm_Search::Btn_Search_Click(int Index)
{
    m_searchStr = Txt_Search->text();
    if (Index == 0)
        m_searchDownFlag = true;
    else
        m_searchUpFlag = true;
    accept();
}

bool Frm_Search::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Txt_Search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Btn_Search_Click(0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace textcompare
