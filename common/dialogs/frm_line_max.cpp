#include "common/dialogs/frm_line_max.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace common::dialogs {

Frm_LineMax::Frm_LineMax(qint32 &LineMax, const QString &iniFile, ProgramVariant variant, QWidget *parent)
    : NumberSettingDialog(LineMax, iniFile, QStringLiteral("LineMax"), QStringLiteral("0"), parent)
{
    const bool viewer = variant == ProgramVariant::Linquell;
    setWindowTitle(viewer ? QStringLiteral("表示行数50000超への挑戦") : QStringLiteral("表示行数10000超への挑戦"));
    setClientTwips(this, 5760, 1620);
    Label2 = new QLabel(viewer ? QStringLiteral("ご利用の環境で50,000件超えに挑戦するのは自由です。")
                               : QStringLiteral("ご利用の環境で10,000件超えに挑戦するのは自由です。"),
                        this);
    placeTwips(Label2, 120, 120, 5520, 240);
    Label1 = new QLabel(viewer ? QStringLiteral("表示行数50,000件を超えた辺りから処理が遅くなったり、メモリ不足になったりする現象を確認しています。")
                               : QStringLiteral("表示行数30,000件を超えた辺りから処理が遅くなったり、メモリ不足になったりする現象を確認しています。"),
                        this);
    Label1->setWordWrap(true);
    placeTwips(Label1, 120, 420, 5520, 480);
    Txt_LineMax = new QLineEdit(this);
    placeTwips(Txt_LineMax, 120, 1095, 1500, 330);
    Label3 = new QLabel(QStringLiteral("件を一覧表示する"), this);
    placeTwips(Label3, 1710, 1140, 2000, 240);
    Btn_OK = new QPushButton(QStringLiteral("設定"), this);
    placeTwips(Btn_OK, 4590, 1073, 1050, 375);
    setControls(Txt_LineMax, Btn_OK);
}

} // namespace common::dialogs
