#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace platform::widgets {
class FlexGridView;
} // namespace platform::widgets

namespace common::dialogs {

// Edits the wheel settings [MouseWheel] Enable and Line of `iniFile` and applies them at
// once to the main window's result grid `grid`: the button writes both keys (Line as the
// box text stands) and hooks the grid through MouseWheel::Initialize when the box is
// ticked, else unhooks it with MouseWheel::Destroy. Closing the dialog otherwise writes
// nothing and leaves the hook as it was.
class MouseWheelD : public QDialog
{
    Q_OBJECT

public:
    MouseWheelD(platform::widgets::FlexGridView *grid, const QString &iniFile, QWidget *parent = nullptr);

    QCheckBox *Chk_MouseWheel = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Cmb_WheelLine = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Btn_Ok = nullptr;

private:
    void Btn_Ok_Click();

    platform::widgets::FlexGridView *m_grid = nullptr;
    QString m_iniFile;
};

} // namespace common::dialogs
