#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace common::dialogs {

// The file-name code of each side when it is an FTP address, "FTPファイル名の漢字コード
// の設定", over the program-wide `SideFileNameCode` (side 1, side 2). A side's code that is
// none of the four shows as "SJIS". The button stores the selected codes and writes
// [FTP] FlNmCode0 and FlNmCode1 at once; closing the dialog otherwise changes nothing. A
// file that cannot be written is reported and the dialog stays open with the codes
// unchanged.
class Frm_FlNmCode : public QDialog
{
    Q_OBJECT

public:
    // The codes of the option buttons, index 0 to 3.
    static inline const std::array<QString, 4> Codes = {QStringLiteral("SJIS"), QStringLiteral("EUC"),
                                                         QStringLiteral("JIS"), QStringLiteral("UTF8")};

    Frm_FlNmCode(std::array<QString, 2> &SideFileNameCode, const QString &iniFile, QWidget *parent = nullptr);

    QGroupBox *Frame1 = nullptr;
    std::array<QRadioButton *, 4> Opt_Code0{};
    QGroupBox *Frame2 = nullptr;
    std::array<QRadioButton *, 4> Opt_Code1{};
    QPushButton *Btn_Ok = nullptr;

private:
    void Btn_Ok_Click();

    std::array<QString, 2> &m_sideFileNameCode;
    QString m_iniFile;
};

} // namespace common::dialogs
