#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace textcompare {

// "折り返し文字数(１行に表示する文字数)": edits the wrap width LenOfRow. Ticked, the box
// holds the width of a display line in columns (a double-byte character takes two);
// "OK" warns that wrapping can slow the display and, on Yes, stores the width as
// WrapWidthFromEntry makes it. Unticked, "OK" stores the box's width as a negative
// value, which turns wrapping off and is offered again next time. A text that is no
// number, or a width beyond 32 bits, is reported and the dialog stays open. There is no
// cancel: the close box keeps the old width, Esc does nothing. Nothing is written to the
// settings file (the window stores LenOfRow when it closes); the width takes effect at
// the next comparison.
class Frm_LenOfRow : public QDialog
{
    Q_OBJECT

public:
    explicit Frm_LenOfRow(qint32 &LenOfRow, QWidget *parent = nullptr);

    QCheckBox *Chk_LenOfRow = nullptr;
    QLineEdit *Txt_LenOfRow = nullptr;
    QPushButton *Btn_OK = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Chk_LenOfRow_Click();
    void Btn_OK_Click();

    qint32 &m_lenOfRow;
};

} // namespace textcompare
