#include "textcompare/window/frm_excel.h"

#include "common/dialogs/dialog_support.h"
#include "common/settings_values.h"
#include "textcompare/engine/cell_text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace textcompare {

using common::dialogs::placeTwips;

QString NumericText(const QString &text)
{
    return NumberText(common::LeadingNumber(text));
}

Frm_Excel::Frm_Excel(QString &MaxLine, std::array<QString, 2> &SheetNo, QWidget *parent)
    : QDialog(parent)
    , m_maxLine(MaxLine)
    , m_sheetNo(SheetNo)
{
    setWindowTitle(QStringLiteral("EXCELファイル読込条件の設定"));
    common::dialogs::setClientTwips(this, 5400, 2160);
    const QString sheetCaptions[2] = {QStringLiteral("ファイル１(旧)のシート番号"), QStringLiteral("ファイル２(新)のシート番号")};
    Lbl_MaxLine = new QLabel(QStringLiteral("シートの最大行数(大きくすると遅くなります)"), this);
    placeTwips(Lbl_MaxLine, 120, 165, 3720, 255);
    Txt_MaxLine = new QLineEdit(this);
    placeTwips(Txt_MaxLine, 3960, 120, 1320, 330);
    connect(Txt_MaxLine, &QLineEdit::editingFinished, this, &Frm_Excel::Txt_MaxLine_Validate);
    for (int side = 0; side < 2; ++side) {
        const int top = 570 + side * 450;
        Lbl_SheetNo[side] = new QLabel(sheetCaptions[side], this);
        placeTwips(Lbl_SheetNo[side], 120, top + 45, 3720, 255);
        Txt_SheetNo[side] = new QLineEdit(this);
        placeTwips(Txt_SheetNo[side], 3960, top, 1320, 330);
        connect(Txt_SheetNo[side], &QLineEdit::editingFinished, this, [this, side] { Txt_SheetNo_Validate(side); });
    }
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    Btn_Ok->setDefault(true);
    placeTwips(Btn_Ok, 4230, 1590, 1050, 375);
    connect(Btn_Ok, &QPushButton::clicked, this, &Frm_Excel::Btn_Ok_Click);

    Txt_MaxLine->setText(m_maxLine);
    for (int side = 0; side < 2; ++side)
        Txt_SheetNo[side]->setText(m_sheetNo[side]);
}

void Frm_Excel::Txt_MaxLine_Validate()
{
    Txt_MaxLine->setText(NumericText(Txt_MaxLine->text()));
}

void Frm_Excel::Txt_SheetNo_Validate(int Index)
{
    Txt_SheetNo[Index]->setText(NumericText(Txt_SheetNo[Index]->text()));
}

void Frm_Excel::Btn_Ok_Click()
{
    m_maxLine = NumericText(Txt_MaxLine->text());
    for (int side = 0; side < 2; ++side)
        m_sheetNo[side] = NumericText(Txt_SheetNo[side]->text());
    accept();
}

} // namespace textcompare
