#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace textcompare {

// "EXCELファイル読込条件の設定": the last worksheet row read (MaxLine) and the sheet number
// of each side (SheetNo, file 1 and file 2), each held as the text of a number. Leaving
// a box puts the text of its leading number in it ("2000abc" becomes "2000", "abc" "0");
// the button stores the three numbers' texts and closes. Nothing is written to the
// settings file (the window writes section EXCEL when it unloads) and nothing is run
// again; closing it otherwise keeps the old values.
class Frm_Excel : public QDialog
{
    Q_OBJECT

public:
    Frm_Excel(QString &MaxLine, std::array<QString, 2> &SheetNo, QWidget *parent = nullptr);

    QLabel *Lbl_MaxLine = nullptr;
    QLineEdit *Txt_MaxLine = nullptr;
    std::array<QLabel *, 2> Lbl_SheetNo{};
    std::array<QLineEdit *, 2> Txt_SheetNo{};
    QPushButton *Btn_Ok = nullptr;

    // Leaving a box: its text becomes the text of its leading number.
    void Txt_MaxLine_Validate();
    void Txt_SheetNo_Validate(int Index);

private:
    void Btn_Ok_Click();

    QString &m_maxLine;
    std::array<QString, 2> &m_sheetNo;
};

// The text of the leading number of `text`, "0" when it has none.
QString NumericText(const QString &text);

} // namespace textcompare
