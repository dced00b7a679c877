#include "common/dialogs/frm_proxy.h"

#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"
#include "platform/program_folder.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace common::dialogs {

Frm_Proxy::Frm_Proxy(QString &Server_FTP, QWidget *parent)
    : QDialog(parent)
    , m_serverFtp(Server_FTP)
{
    setWindowTitle(QStringLiteral("プロキシサーバの設定"));
    setClientTwips(this, 5400, 1500);
    Label2 = new QLabel(QStringLiteral("プロキシサーバ FTP (proxy.example.jp:8080)"), this);
    placeTwips(Label2, 120, 120, 5160, 255);
    Txt_Proxy_FTP = new QLineEdit(this);
    placeTwips(Txt_Proxy_FTP, 120, 420, 5160, 330);
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    Btn_Ok->setDefault(true);
    placeTwips(Btn_Ok, 4230, 930, 1050, 375);
    connect(Btn_Ok, &QPushButton::clicked, this, &Frm_Proxy::Btn_Ok_Click);

    Txt_Proxy_FTP->setText(m_serverFtp);
}

void Frm_Proxy::Btn_Ok_Click()
{
    const QString typed = Txt_Proxy_FTP->text();
    try {
        WriteSetting(QStringLiteral("PROXY"), QStringLiteral("Server_FTP"), typed, ViewerIniPath());
    } catch (...) {
        ReportFailureDirectly(QStringLiteral("Btn_Ok_Click"));
        return;
    }
    m_serverFtp = typed;
    accept();
}

QString ViewerIniPath()
{
    return platform::programFolder() + QStringLiteral("/Linquell.ini");
}

} // namespace common::dialogs
