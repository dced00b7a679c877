#pragma once

#include "common/instance_slot.h"
#include "foldercompare/window/dirgleam_settings.h"

#include <QMainWindow>
#include <QString>

#include <array>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;

namespace platform {
class FlexGrid;
namespace widgets {
class FlexGridView;
} // namespace widgets
} // namespace platform

namespace foldercompare {

// The main window of the folder comparison program: two path rows, the pattern boxes and
// options, the result grid and a status bar of four panels. One per process.
class Frm_Main : public QMainWindow
{
    Q_OBJECT

public:
    // Builds the window and runs its load step (caption, settings file, instance number,
    // work folder, placement, idle menus, empty grid, status panels).
    explicit Frm_Main(QWidget *parent = nullptr);
    ~Frm_Main() override;

    // First activation: loads the settings into the window and lays the command-line
    // options over them. Runs once; every later call returns at once. Called by the
    // window's activation and directly by an unattended run.
    void Form_Activate();

    // Unload: instance 1 writes its settings and placement back; every instance releases
    // its instance number. Runs once.
    void Form_Unload();

    // Empties the grid to its header row and one blank data row.
    void GridInit();

    // Lays out the controls for the window's current size and arms Tmr_Resize.
    void Form_Resize();

    // Writes the placement for the current window state (Tmr_Resize's tick).
    void Tmr_Resize_Timer();

    // The window's settings (program-wide values and menu check marks) as they stand.
    DirgleamSettings currentSettings() const;

    // Values set by the load step.
    QString BaseCaption;
    QString IniFilePath;
    int InstanceNumber = 0;
    QString WorkFolder;
    std::array<QString, 2> FileInfoLog;
    std::array<QString, 2> FtpCacheFolder;
    QString HandOverFolder;
    QString ViewerExePath;
    QString OwnExePath;

    // Per side: the path last gathered and the folder its relative paths start from.
    std::array<QString, 2> GatheredPath;
    std::array<QString, 2> SideRoot;
    // Tooltip texts of the result rows, one pair per row data index.
    QList<std::array<QString, 2>> RowTipTable;

    // Form flags.
    bool InputEventsOn = false;
    bool BusyFlag = false;
    bool AbortFlag = false;

    // Program-wide values loaded at the first activation and saved at exit.
    quint32 ColorUpd = 0xFFFFBB;
    quint32 ColorAdd = 0xBBBBFF;
    quint32 ColorDel = 0xDDDDDD;
    quint32 ColorDtm = 0x88FFFF;
    QStringList BinJdExt;
    QString Server_FTP;
    std::array<QString, 2> SideFileNameCode;
    int FolderNum = 999;
    int LineMax = 10000;

    // Controls, under their names; pairs are indexed by side (0 folder 1, 1 folder 2).
    std::array<QLabel *, 2> Label1{};
    std::array<QLineEdit *, 2> Txt_FolderPath{};
    std::array<QPushButton *, 2> Btn_InFolderName{};
    std::array<QPushButton *, 2> Btn_GetFileInfo{};
    std::array<QLabel *, 2> Label2{};
    std::array<QLineEdit *, 2> Txt_FileInfoDate{};
    std::array<QLabel *, 2> Label3{};
    std::array<QLineEdit *, 2> Txt_Ext{};
    QPushButton *Btn_GetFileInfoAll = nullptr;
    QPushButton *Btn_Compare = nullptr;
    QCheckBox *Chk_Folder = nullptr;
    QCheckBox *Chk_Nomi = nullptr;
    QCheckBox *Chk_Data = nullptr;
    QLineEdit *Txt_Drop = nullptr;
    platform::FlexGrid *Grd_Compare = nullptr;
    platform::widgets::FlexGridView *m_gridView = nullptr;
    QStatusBar *Sts_Message = nullptr;
    // Status panels 1 to 4 at indexes 0 to 3.
    std::array<QLabel *, 4> m_statusPanels{};
    QTimer *Tmr_Resize = nullptr;

    // Top menus and the grid's popup menu.
    QMenu *MenuF = nullptr;
    QMenu *MenuE = nullptr;
    QMenu *MenuS = nullptr;
    QMenu *MenuT = nullptr;
    QMenu *MenuH = nullptr;
    QMenu *PopUp = nullptr;
    QMenu *CompHistory = nullptr;

    // Row commands of the menus and their popup twins, enabled by the selection.
    struct RowCommand
    {
        QAction *menu = nullptr;
        QAction *popup = nullptr;
    };
    RowCommand Linquell, Properties, OpenText, OpenExt, CopyOldToNew, CopyNewToOld, DeleteOld, DeleteNew,
        CodeChgOld, CodeChgNew, DateChgOld, DateChgNew, ClipBoardFOld, ClipBoardFNew, ColSortAsc, ColSortDsc;
    RowCommand AllRowSelect, ClipBoardCopy;

    // Option items whose check marks hold their settings.
    QAction *RecyclerBackup = nullptr;
    QAction *TextCrlfNone = nullptr;
    QAction *TextCodeDsp = nullptr;
    QAction *UpdDateNone = nullptr;
    QAction *NewDateAsta = nullptr;
    QAction *CsvDblQuot = nullptr;
    QAction *CsvSizeFit = nullptr;
    QAction *TxtDifAlll = nullptr;
    QAction *TxtDifNomi = nullptr;
    QAction *TxtDifKeis = nullptr;

    // The history entries of the last comparisons, newest first.
    QStringList HistoryItems;

    // Texts and tooltips of status panels 1 to 4 (index 0 to 3).
    QString statusText(int panel) const;
    QString statusTip(int panel) const;
    void setStatus(int panel, const QString &text);
    void setStatusTip(int panel, const QString &tip);

    // The row commands in the order the selection handling disables them.
    QList<RowCommand *> selectionRowCommands();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void buildControls();
    void buildMenus();
    void placeWindow();
    void disableRowCommands();
    void applySettings(const DirgleamSettings &settings);
    void showHistory();
    void restoreLastRun();
    LastRunState currentLastRun() const;
    common::StoredWindowState storedState() const;
    common::TwipsRect placementTwips() const;

    common::InstanceSlot m_instance;
    bool m_settingsLoaded = false;
    bool m_unloaded = false;
    QWidget *m_client = nullptr;
};

} // namespace foldercompare
