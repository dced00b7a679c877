#include "common/dialogs/mouse_wheel_d.h"

#include "common/common_module.h"
#include "common/dialogs/dialog_support.h"
#include "common/dialogs/mouse_wheel.h"
#include "common/wheel_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace common::dialogs {

MouseWheelD::MouseWheelD(platform::widgets::FlexGridView *grid, const QString &iniFile, QWidget *parent)
    : QDialog(parent)
    , m_grid(grid)
    , m_iniFile(iniFile)
{
    setWindowTitle(QStringLiteral("マウスホイールの設定"));
    setClientTwips(this, 5760, 1860);
    Chk_MouseWheel = new QCheckBox(QStringLiteral("このプログラムでマウスホイールを制御する"), this);
    placeTwips(Chk_MouseWheel, 120, 120, 5520, 300);
    Label1 = new QLabel(QStringLiteral("ホイールの１目盛りでスクロールする量（行数）"), this);
    placeTwips(Label1, 360, 555, 4260, 240);
    Cmb_WheelLine = new QComboBox(this);
    Cmb_WheelLine->setEditable(true);
    for (int lines = 1; lines <= 10; ++lines)
        Cmb_WheelLine->addItem(QString::number(lines));
    placeTwips(Cmb_WheelLine, 4680, 495, 900, 330);
    Label2 = new QLabel(QStringLiteral("（他のドライバ等で制御している場合はOFFにしてください）"), this);
    placeTwips(Label2, 120, 960, 5520, 240);
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    placeTwips(Btn_Ok, 4590, 1365, 1050, 375);
    connect(Btn_Ok, &QPushButton::clicked, this, &MouseWheelD::Btn_Ok_Click);

    WheelSettings stored;
    LoadWheelSettings(m_iniFile, stored);
    Chk_MouseWheel->setChecked(stored.WheelEnable != 0);
    // The line count is shown as the file holds it.
    Cmb_WheelLine->setEditText(GetIniValue(WheelSection, QStringLiteral("Line"), QStringLiteral("2"), m_iniFile));
}

void MouseWheelD::Btn_Ok_Click()
{
    const bool enable = Chk_MouseWheel->isChecked();
    try {
        WriteSetting(WheelSection, QStringLiteral("Enable"), enable ? QStringLiteral("1") : QStringLiteral("0"), m_iniFile);
        WriteSetting(WheelSection, QStringLiteral("Line"), Cmb_WheelLine->currentText(), m_iniFile);
    } catch (...) {
        ReportFailureDirectly(QStringLiteral("Btn_Ok_Click"));
        return;
    }
    if (enable)
        MouseWheel::instance().Initialize(m_grid, m_iniFile);
    else
        MouseWheel::instance().Destroy();
    accept();
}

} // namespace common::dialogs
