#include "common/dialogs/frm_fl_nm_code.h"

#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace common::dialogs {

namespace {

QGroupBox *codeFrame(const QString &caption, int top, std::array<QRadioButton *, 4> &options, QWidget *parent)
{
    auto *frame = new QGroupBox(caption, parent);
    placeTwips(frame, 120, top, 4560, 735);
    for (int index = 0; index < 4; ++index) {
        options[index] = new QRadioButton(Frm_FlNmCode::Codes[index], frame);
        placeTwips(options[index], 180 + index * 1080, 330, 1020, 285);
    }
    return frame;
}

int optionIndex(const QString &code)
{
    for (int index = 1; index < 4; ++index) {
        if (code == Frm_FlNmCode::Codes[index])
            return index;
    }
    return 0;
}

QString selectedCode(const std::array<QRadioButton *, 4> &options)
{
    for (int index = 1; index < 4; ++index) {
        if (options[index]->isChecked())
            return Frm_FlNmCode::Codes[index];
    }
    return Frm_FlNmCode::Codes[0];
}

} // namespace

Frm_FlNmCode::Frm_FlNmCode(std::array<QString, 2> &SideFileNameCode, const QString &iniFile, QWidget *parent)
    : QDialog(parent)
    , m_sideFileNameCode(SideFileNameCode)
    , m_iniFile(iniFile)
{
    setWindowTitle(QStringLiteral("FTPファイル名の漢字コードの設定"));
    setClientTwips(this, 4800, 2400);
    Frame1 = codeFrame(QStringLiteral("フォルダ1がFTPの時の文字コード"), 120, Opt_Code0, this);
    Frame2 = codeFrame(QStringLiteral("フォルダ2がFTPの時の文字コード"), 960, Opt_Code1, this);
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    Btn_Ok->setDefault(true);
    placeTwips(Btn_Ok, 3630, 1875, 1050, 375);
    connect(Btn_Ok, &QPushButton::clicked, this, &Frm_FlNmCode::Btn_Ok_Click);

    Opt_Code0[optionIndex(m_sideFileNameCode[0])]->setChecked(true);
    Opt_Code1[optionIndex(m_sideFileNameCode[1])]->setChecked(true);
}

void Frm_FlNmCode::Btn_Ok_Click()
{
    const std::array<QString, 2> chosen = {selectedCode(Opt_Code0), selectedCode(Opt_Code1)};
    try {
        WriteSetting(QStringLiteral("FTP"), QStringLiteral("FlNmCode0"), chosen[0], m_iniFile);
        WriteSetting(QStringLiteral("FTP"), QStringLiteral("FlNmCode1"), chosen[1], m_iniFile);
    } catch (...) {
        ReportFailureDirectly(QStringLiteral("Btn_Ok_Click"));
        return;
    }
    m_sideFileNameCode = chosen;
    accept();
}

} // namespace common::dialogs
