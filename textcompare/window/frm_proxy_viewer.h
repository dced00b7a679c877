#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace textcompare {

// The viewer's proxy dialog, "プロキシサーバの設定", over the program-wide Server_HTTP and
// Server_FTP ("host:port", empty for none). Its button stores both texts as typed and
// closes; nothing is written to the settings file (the window writes both keys when it
// unloads) and nothing is run again. Closing it otherwise keeps the old values. (The
// folder comparison program's own dialog of this name writes the viewer's settings file
// at once.)
class Frm_Proxy : public QDialog
{
    Q_OBJECT

public:
    Frm_Proxy(QString &Server_HTTP, QString &Server_FTP, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *Txt_Proxy_HTTP = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Txt_Proxy_FTP = nullptr;
    QPushButton *Btn_Ok = nullptr;

private:
    void Btn_Ok_Click();

    QString &m_serverHttp;
    QString &m_serverFtp;
};

} // namespace textcompare
