#include "common/dialogs/frm_folder_num.h"

#include "common/dialogs/dialog_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace common::dialogs {

Frm_FolderNum::Frm_FolderNum(qint32 &FolderNum, const QString &iniFile, QWidget *parent)
    : NumberSettingDialog(FolderNum, iniFile, QStringLiteral("FolderNum"), QStringLiteral("999"), parent)
{
    setWindowTitle(QStringLiteral("情報取得するフォルダ階層数の設定"));
    setClientTwips(this, 4950, 1470);
    Label1 = new QLabel(QStringLiteral("情報取得フォルダ階層数"), this);
    placeTwips(Label1, 120, 195, 2400, 240);
    Txt_FolderNum = new QLineEdit(this);
    Txt_FolderNum->setMaxLength(4);
    placeTwips(Txt_FolderNum, 2520, 135, 900, 330);
    Btn_OK = new QPushButton(QStringLiteral("設定"), this);
    placeTwips(Btn_OK, 3780, 113, 1050, 375);
    Label2 = new QLabel(QStringLiteral("ファイル更新日時を取得するフォルダ階層数です。サブフォルダの情報を取得しない場合は１を指定します"),
                        this);
    Label2->setWordWrap(true);
    placeTwips(Label2, 120, 630, 4710, 720);
    setControls(Txt_FolderNum, Btn_OK);
}

} // namespace common::dialogs
