#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace common::dialogs {

// The FTP proxy dialog of the folder comparison program, "プロキシサーバの設定", over the
// program-wide `Server_FTP` (host:port, empty for none). Its button takes the box text as
// typed into Server_FTP and writes it at once as [PROXY] Server_FTP into the viewer's
// settings file, so that a viewer started later connects through the same proxy; the
// program's own settings file receives the value at exit. Closing the dialog otherwise
// changes nothing. A file that cannot be written is reported and the dialog stays open
// with Server_FTP unchanged.
class Frm_Proxy : public QDialog
{
    Q_OBJECT

public:
    Frm_Proxy(QString &Server_FTP, QWidget *parent = nullptr);

    QLabel *Label2 = nullptr;
    QLineEdit *Txt_Proxy_FTP = nullptr;
    QPushButton *Btn_Ok = nullptr;

private:
    void Btn_Ok_Click();

    QString &m_serverFtp;
};

// The viewer's settings file that the dialog writes: "Linquell.ini" in the program folder.
QString ViewerIniPath();

} // namespace common::dialogs
