#include "common/dialogs/frm_bin_ext.h"

#include "common/dialog_values.h"
#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace common::dialogs {

Frm_BinExt::Frm_BinExt(QStringList &BinJdExt, const QString &iniFile, QWidget *parent)
    : QDialog(parent)
    , m_binJdExt(BinJdExt)
    , m_iniFile(iniFile)
{
    setWindowTitle(QStringLiteral("強制的にバイナリ(BIN)判定する拡張子の設定"));
    setClientTwips(this, 7800, 2640);
    Label1 = new QLabel(
        QStringLiteral("強制的にバイナリ(BIN)判定する拡張子をカンマ区切りで指定(点[.]を省略して入力してください)"), this);
    Label1->setWordWrap(true);
    placeTwips(Label1, 120, 120, 7560, 480);
    Txt_BinExt = new QLineEdit(this);
    placeTwips(Txt_BinExt, 120, 660, 7560, 330);
    Label2 = new QLabel(QStringLiteral("ここで指定した拡張子は、文字コード判定時に強制的にバイナリ(BIN)判定されます。"), this);
    Label2->setWordWrap(true);
    placeTwips(Label2, 120, 1080, 7560, 480);
    Label3 = new QLabel(QStringLiteral("バイナリ(BIN)判定拡張子を指定する事により、判定誤り防止と処理時間の短縮化に効果があります。"),
                        this);
    Label3->setWordWrap(true);
    placeTwips(Label3, 120, 1590, 7560, 480);
    Btn_OK = new QPushButton(QStringLiteral("OK"), this);
    placeTwips(Btn_OK, 6630, 2145, 1050, 375);
    connect(Btn_OK, &QPushButton::clicked, this, &Frm_BinExt::Btn_OK_Click);

    Txt_BinExt->setText(m_binJdExt.join(u','));
}

void Frm_BinExt::Btn_OK_Click()
{
    const QString clean = CleanExtensionText(Txt_BinExt->text());
    Txt_BinExt->setText(clean);
    m_binJdExt = SplitExtensionList(clean);
    try {
        WriteSetting(QStringLiteral("DSP"), QStringLiteral("BinJdExt"), m_binJdExt.join(u','), m_iniFile);
    } catch (...) {
        ReportFailureDirectly(QStringLiteral("Btn_OK_Click"));
        return;
    }
    accept();
}

} // namespace common::dialogs
