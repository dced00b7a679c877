#pragma once

#include "common/instance_slot.h"
#include "foldercompare/listing/listing_compare.h"
#include "foldercompare/window/dirgleam_settings.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <array>
#include <optional>

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
// options, the result grid and a status bar of four panels. One per process. It hosts
// the listing's long work (abort flag, event pumping, caption, failure reports).
class Frm_Main : public QMainWindow, private listing::CompareHost
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

    // Gathering (frm_main_gathering.cpp). Btn_GetFileInfo_Sub gathers side 0 or 1 from
    // its path box into its listing file and then, once the window is ready, compares
    // or offers to; the others are the triggers of the buttons and menus.
    void Btn_GetFileInfo_Sub(int side);
    void Btn_GetFileInfo_Click(int side);
    void Btn_GetFileInfoAll_Click();
    void Mnu_GetFileInfoAll_Click();
    void Mnu_DiffClear_Click();
    // Shows the listing file's time in the side's time box (left as it is without one).
    void SetFileInfoDate(int side);

    // Comparison (frm_main_compare.cpp): the button, the procedure the other triggers
    // call, and the merge into the grid, which returns DiffRowCount.
    void Btn_Compare_Click();
    void Btn_Compare_Sub();
    int CompareFiles();

    // Grid and busy mode (frm_main_grid.cpp).
    void LockControls(bool lock);
    // The selection as first row, first column, last row, last column, each pair ordered.
    std::array<int, 4> GetSelection() const;
    void Grd_Compare_SelChange();
    void Grd_Compare_RowColChange();
    void Grd_Compare_MouseDown(int button, int shift, int x, int y);
    void Grd_Compare_MouseUp(int button, int shift, int x, int y);
    void Grd_Compare_MouseMove(int button, int shift, int x, int y);
    void Grd_Compare_DblClick();
    void Grd_Compare_KeyDown(int keyCode, int shift);
    void ColSortAsc_Click();
    void ColSortDsc_Click();
    void Linquell_Click();

    // Window keys and status bar (frm_main_events.cpp). Form_KeyDown sees every key of
    // the window first; it sets `keyCode` to 0 for a key it consumed.
    void Form_KeyDown(int &keyCode, int shift);
    void Sts_Message_PanelClick(int panel);

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
    bool GatherOnly = false;
    bool CompareWithoutAsking = false;
    bool ShowFirstDiff = false;
    // The relative path in the grid's top row before a comparison.
    QString TopRowPath;
    // Counts left by the last comparison: merge steps, and rows that differ.
    int CompareCount = 0;
    int DiffRowCount = 0;
    // The window's pointer: 11 the hourglass while LockControls holds it, else 0.
    int MousePointer = 0;

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

    // Gather both sides and compare; clear the paths and the list.
    QAction *Mnu_GetFileInfoAll = nullptr;
    QAction *Mnu_DiffClear = nullptr;

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

    // Settings menu commands that open the FTP dialogs modally; each dialog writes its own
    // keys when confirmed.
    QAction *SetFlNmCode = nullptr;
    QAction *SetProxy = nullptr;
    void SetFlNmCode_Click();
    void SetProxy_Click();

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
    // listing::CompareHost
    bool abortRequested() const override;
    void pumpEvents() override;
    void showProgress(const QString &caption) override;
    void reportFailure(const QString &procedure, const QString &description) override;
    void resetGrid() override;

    void Form_Load();
    void buildControls();
    void buildMenus();
    void connectHandlers();
    // Key presses and status-panel clicks of the window's widgets; true when consumed.
    bool windowEvent(QObject *watched, QEvent *event);
    // Gathers the sides given on the command line; true when either has information.
    bool gatherGivenPaths();
    // Steps of Btn_Compare_Click and Btn_Compare_Sub after their first check.
    void compareAndNote();
    void addHistory(const QString &key);
    void sortByColumn(bool descending, const QString &procedure);
    listing::StatusColors statusColors() const;
    void placeWindow();
    void disableRowCommands();
    void applySettings(const DirgleamSettings &settings);
    void showHistory();
    void restoreLastRun();
    LastRunState currentLastRun() const;
    common::StoredWindowState storedState() const;
    common::TwipsRect placementTwips() const;

    common::InstanceSlot m_instance;
    QElapsedTimer m_pumpTimer;
    // What the last gathering of each side saw, for the comparisons after it.
    std::array<std::optional<listing::GatheringFacts>, 2> m_gathered;
    bool m_settingsLoaded = false;
    bool m_unloaded = false;
    QWidget *m_client = nullptr;
};

} // namespace foldercompare
