#include "textcompare/window/frm_proxy_viewer.h"

#include "common/dialogs/dialog_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace textcompare {

using common::dialogs::placeTwips;

Frm_Proxy::Frm_Proxy(QString &Server_HTTP, QString &Server_FTP, QWidget *parent)
    : QDialog(parent)
    , m_serverHttp(Server_HTTP)
    , m_serverFtp(Server_FTP)
{
    setWindowTitle(QStringLiteral("プロキシサーバの設定"));
    common::dialogs::setClientTwips(this, 5400, 2220);
    Label1 = new QLabel(QStringLiteral("プロキシサーバ HTTP(proxy.example.jp:8080)"), this);
    placeTwips(Label1, 120, 120, 5160, 255);
    Txt_Proxy_HTTP = new QLineEdit(this);
    placeTwips(Txt_Proxy_HTTP, 120, 420, 5160, 330);
    Label2 = new QLabel(QStringLiteral("プロキシサーバ FTP (proxy.example.jp:8080)"), this);
    placeTwips(Label2, 120, 840, 5160, 255);
    Txt_Proxy_FTP = new QLineEdit(this);
    placeTwips(Txt_Proxy_FTP, 120, 1140, 5160, 330);
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    Btn_Ok->setDefault(true);
    placeTwips(Btn_Ok, 4230, 1650, 1050, 375);
    connect(Btn_Ok, &QPushButton::clicked, this, &Frm_Proxy::Btn_Ok_Click);

    Txt_Proxy_HTTP->setText(m_serverHttp);
    Txt_Proxy_FTP->setText(m_serverFtp);
}

void Frm_Proxy::Btn_Ok_Click()
{
    m_serverHttp = Txt_Proxy_HTTP->text();
    m_serverFtp = Txt_Proxy_FTP->text();
    accept();
}

} // namespace textcompare
