#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace textcompare {

// "文字列の検索": asks for the search text. It opens with `SearchStr` wholly selected and
// both flags cleared; "↓検索" (or Enter) and "↑検索" store the box's text in SearchStr and
// set SearchDownFlag or SearchUpFlag; Esc and the close box change nothing.
class Frm_Search : public QDialog
{
    Q_OBJECT

public:
    Frm_Search(QString &SearchStr, bool &SearchDownFlag, bool &SearchUpFlag, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *Txt_Search = nullptr;
    std::array<QPushButton *, 2> Btn_Search{};

    // Index 0 searches downward, any other upward.
    void Btn_Search_Click(int Index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString &m_searchStr;
    bool &m_searchDownFlag;
    bool &m_searchUpFlag;
};

} // namespace textcompare
