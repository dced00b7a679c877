#pragma once

#include "idlebackup/backup_program.h"

#include <QIcon>
#include <QMainWindow>

#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;

namespace platform::widgets {
class FlexGridView;
}

namespace idlebackup {

// The backup program's window "Pellastra": the backup list, its four buttons, the mode
// options, the settings, the status line, the processor meter and the start/stop
// button, with its icon in the notification area. Where the desktop has no notification
// area the window is minimised instead of hidden, so that it stays reachable. The logic
// is BackupProgram's; this class shows it and passes the user's clicks on.
class frmMain : public QMainWindow, public ProgramHost
{
    Q_OBJECT

public:
    // Builds the window and runs its load step, which shows the window unless the run
    // starts by itself (AutoStart). `clock` and `meter` (not owned) replace the system's.
    explicit frmMain(Clock *clock = nullptr, ProcessorMeter *meter = nullptr, QWidget *parent = nullptr);
    ~frmMain() override;

    BackupProgram &program() { return *m_program; }

    // The notification area's commands: show the window in front, and end the program
    // without asking.
    void mnuSettei_Click();
    void mnuEnd_Click();

    // ProgramHost
    void setMessageText(const QString &text) override;
    void pumpEvents() override;
    void showIcon(int iconState) override;
    void showMeter(int usePercent) override;
    void setStartCaption(const QString &caption) override;
    SettingsBoxes settingsBoxes() const override;
    void setSettingsBoxes(const SettingsBoxes &boxes) override;
    void focusSettingsBox(SettingsBox box) override;
    void setBackupOnlyChecksEnabled(bool enabled) override;
    bool windowHidden() const override;
    void popUpWindow() override;
    void hideWindow() override;
    void unloadWindow() override;

    // Controls under their names.
    platform::widgets::FlexGridView *BakListView = nullptr;
    QPushButton *btnAddFile = nullptr;
    QPushButton *btnAddFolder = nullptr;
    QPushButton *btnDel = nullptr;
    QPushButton *btnComp = nullptr;
    QPushButton *btnSettei = nullptr;
    QPushButton *btnStart = nullptr;
    QGroupBox *Frame1 = nullptr;
    std::array<QRadioButton *, 2> SyncModeOption{};
    QCheckBox *NewOverWrCheck = nullptr;
    QCheckBox *DeleteCheck = nullptr;
    QCheckBox *NextCheck = nullptr;
    QCheckBox *AutoCheck = nullptr;
    QCheckBox *HiSpCheck = nullptr;
    QLineEdit *CpuIdleText = nullptr;
    QLineEdit *CpuUseText = nullptr;
    QLineEdit *AutoText = nullptr;
    QLineEdit *NextText = nullptr;
    QLineEdit *NoneStrText = nullptr;
    QLineEdit *NoneExtText = nullptr;
    QLineEdit *MsgText = nullptr;
    QLabel *CpuLabel = nullptr;
    QFrame *CpuPicture1 = nullptr;
    QFrame *CpuPicture2 = nullptr;
    QLabel *Varnholt1Label = nullptr;
    QSystemTrayIcon *TrayIcon = nullptr;
    QMenu *mnuPopUp = nullptr;
    QAction *mnuSettei = nullptr;
    QAction *mnuEnd = nullptr;

Q_SIGNALS:
    // The window has unloaded: the program ends.
    void unloaded();

protected:
    // The close box asks "終了しますか？" first; every other way of ending asks nothing.
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    // Watches the application for the request to quit that the desktop's session manager
    // makes at logout or shutdown: the program then ends as "終了" in the menu ends it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void buildControls();
    QWidget *buildSettings();
    void BringWindowToFront();
    void Varnholt1Label_Click();

    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<ProcessorMeter> m_ownMeter;
    std::unique_ptr<BackupProgram> m_program;
    std::array<QIcon, 4> m_icons;
    bool m_trayAvailable = false;
    bool m_unloading = false;
};

} // namespace idlebackup
