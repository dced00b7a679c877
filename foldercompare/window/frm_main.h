#pragma once

#include "common/dialogs/hand_back.h"
#include "common/instance_slot.h"
#include "foldercompare/listing/listing_compare.h"
#include "foldercompare/window/dirgleam_settings.h"
#include "platform/widgets/readme_page.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QDialog;
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

namespace listing {
struct LocalSideResult;
} // namespace listing

struct ResultListExport;

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
    // Widens the "No." column where its largest number needs more than the designed
    // width in the grid's font (narrows it back to that width where not), and lays out
    // the path column after it.
    void fitNumberColumn();
    // Gives the path column the grid's width left beside the four columns before it.
    void layoutPathColumn();

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

    // Exports of the result list (frm_main_exports.cpp): the five commands of the File
    // menu, each asking for its file first, and the three writers that they and an
    // unattended run call. The writers pass their failures on (common::Failure).
    void HtmlSave_Click();
    void CsvSaveKan_Click();
    void CsvSaveTab_Click();
    void CsvSaveStr_Click();
    void ExcelSave_Click();
    void BatHtmlSave(const QString &path);
    void BatCsvSave(const QString &path, const QString &separator);
    bool BatExcelSave(const QString &path);

    // Window keys and status bar (frm_main_events.cpp). Form_KeyDown sees every key of
    // the window first; it sets `keyCode` to 0 for a key it consumed.
    void Form_KeyDown(int &keyCode, int shift);
    void Sts_Message_PanelClick(int panel);

    // Path inputs and comparison triggers (frm_main_inputs.cpp). Key codes are the
    // classic virtual-key codes (13 Enter); dropped paths come in the drag source's order.
    void Txt_FolderPath_KeyDown(int index, int keyCode, int shift);
    void Btn_InFolderName_Click(int index);
    void Txt_FolderPath_OLEDragDrop(int index, const QStringList &paths);
    void Grd_Compare_OLEDragDrop(const QStringList &paths);
    // Paths dropped on Txt_Drop: they only fill the path boxes.
    void Form_Drop(const QStringList &paths);
    void CompHistory_Click(int index);
    // Keeps side `index`'s information in step with its path box: a text away from the
    // gathered path drops it, the gathered path typed again restores it from ".bak".
    void Txt_FolderPath_Change(int index);
    void Chk_Folder_Click();
    void Chk_Nomi_Click();
    void Chk_Data_Click();
    void Txt_Ext_KeyDown(int index, int keyCode, int shift);

    // Settings menu (frm_main_menus.cpp): each shows its dialog modally.
    void SetBinExt_Click();
    void Mnu_FolderNum_Click();
    void Mnu_LineMax_Click();
    void SetDiffColor_Click();
    void SetMouseWheel_Click();
    // Option items: each flips its check mark and writes its key at once.
    void RecyclerBackup_Click();
    void TextCrlfNone_Click();
    void TextCodeDsp_Click();
    void UpdDateNone_Click();
    void NewDateAsta_Click();
    void CsvDblQuot_Click();
    void CsvSizeFit_Click();
    void TxtDifAlll_Click();
    void TxtDifNomi_Click();
    void TxtDifKeis_Click();
    // New windows, help, and the end of the program.
    void NewDirgleam_Click();
    void NewLinquell_Click();
    void Homepage_Click();
    void XxxReqFaq_Click();
    void Version_Click();
    void MnuEnd_Click();

    // Side swap and difference navigation (frm_main_swap.cpp).
    void Change1To2_Click();
    void JumpNext_Click();
    void JumpBefore_Click();

    // Row commands (frm_main_rows.cpp): the selected rows' files of one side to the
    // clipboard, and the commands on the current row or the selection.
    void ClipBoardFOld_Click();
    void ClipBoardFNew_Click();
    void ClipDropFile(int side);
    void OpenText_Click();
    void OpenExt_Click();
    void Properties_Click();
    void AllRowSelect_Click();
    void ClipBoardCopy_Click();

    // File operations on the selected rows (frm_main_operations.cpp): copy and delete
    // after their confirmation, date change and code conversion after their dialogs, and
    // the runs themselves on side 0 or 1.
    void CopyOldToNew_Click();
    void CopyNewToOld_Click();
    void DeleteOld_Click();
    void DeleteNew_Click();
    void DateChgOld_Click();
    void DateChgNew_Click();
    void CodeChgOld_Click();
    void CodeChgNew_Click();
    void CopyFile(int side);
    void DeleteFile(int side);
    void DateChange(int side);
    void CodeChange(int side);

    // Shows a modal dialog of the window and returns when it has closed. Tests replace
    // the way it is run (the dialog is filled in and confirmed or closed by the test).
    void setModalRunner(std::function<void(QDialog &dialog)> runner);

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
    // Where the help items look for the README, in this order: beside the executable,
    // then in the source tree the program was built from.
    QStringList ReadmePlaces = platform::widgets::DefaultReadmePlaces();

    // Per side: the path last gathered and the folder its relative paths start from.
    std::array<QString, 2> GatheredPath;
    std::array<QString, 2> SideRoot;
    // Each side as the last comparison read it: a file operation acts on a row's file only
    // while it is still the one listed there.
    std::array<listing::ComparedListing, 2> ComparedSides;
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

    // The export commands of the File menu.
    QAction *ExcelSave = nullptr;
    QAction *HtmlSave = nullptr;
    QAction *CsvSaveKan = nullptr;
    QAction *CsvSaveTab = nullptr;
    QAction *CsvSaveStr = nullptr;

    // What the dialogs that the window opens hand back (the separator of CsvSaveStr).
    common::dialogs::HandBack DialogAnswers;

    // Gather both sides and compare; clear the paths and the list.
    QAction *Mnu_GetFileInfoAll = nullptr;
    QAction *Mnu_DiffClear = nullptr;
    QAction *NewDirgleam = nullptr;
    QAction *NewLinquell = nullptr;
    QAction *MnuEnd = nullptr;

    // Settings commands, side swap, navigation, help.
    QAction *SetBinExt = nullptr;
    QAction *Mnu_FolderNum = nullptr;
    QAction *Mnu_LineMax = nullptr;
    QAction *SetDiffColor = nullptr;
    QAction *SetMouseWheel = nullptr;
    QAction *Change1To2 = nullptr;
    QAction *JumpNext = nullptr;
    QAction *JumpBefore = nullptr;
    QAction *Homepage = nullptr;
    QAction *XxxReqFaq = nullptr;
    QAction *Version = nullptr;

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

    // The history entries of the last comparisons, newest first: the two paths joined by
    // a TAB, shown in the menu as common::HistoryItemLabel.
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
    // Keeps a showing progress window above this one (every repaint).
    void Form_Paint();
    // Releases the grid's wheel hook and the drop box's hook when this window holds them.
    void releaseHooks();
    void buildControls();
    void buildMenus();
    void connectHandlers();
    // Key presses and status-panel clicks of the window's widgets; true when consumed.
    bool windowEvent(QObject *watched, QEvent *event);
    // Gathers the sides given on the command line; true when either has information.
    bool gatherGivenPaths();
    // Gathers both sides at once when both boxes name existing local folders or files;
    // false, with nothing done, otherwise.
    bool gatherLocalSidesAtOnce();
    // Btn_GetFileInfo_Sub for `side`, timed from `timer`; a local side whose listing
    // `gatheredAtOnce` already holds (or the failure of writing it) is not walked again.
    void gatherSide(int side, const QElapsedTimer &timer, const listing::LocalSideResult *gatheredAtOnce);
    // The export of an unattended run, by BatchKind, followed by the unload.
    void batchExport();
    // Whether every side given to an unattended run has information; each one without it
    // is named on standard error, since the run then writes no output file.
    bool batchSidesGathered(const std::array<bool, 2> &given);
    // Ends an unattended run that did not do its work: no export, no saving, exit status 1.
    void endFailedBatch();
    // What the writers read of the window.
    ResultListExport exportSource();
    // The frame of the HTML and Excel writers: nothing when SkipsExportWithoutDifference;
    // else `write` runs with the grid's redraw off and column 1 current, and the current
    // row ends on the last row. Returns what `write` returned (false when skipped); a
    // failure is passed on once the redraw is back on.
    bool writeList(const std::function<bool()> &write);
    // The steps of a CSV command after its save dialog (and separator dialog).
    void saveCsv(const QString &path, const QString &separator, const QString &procedure);
    // The confirmations and dialogs of the file operations, then their runs.
    void confirmCopy(int side);
    void confirmDelete(int side);
    void askDateChange(int side);
    void askCodeChange(int side);
    // Steps of Btn_Compare_Click and Btn_Compare_Sub after their first check.
    void compareAndNote();
    void addHistory(const QString &key);
    void sortByColumn(bool descending, const QString &procedure);
    listing::StatusColors statusColors() const;
    void placeWindow();
    void disableRowCommands();
    void applySettings(const DirgleamSettings &settings);
    void showHistory();
    // The bracket around a command's work: the abort flag cleared, BusyFlag set and
    // "処理中(ESCで中止)" in status panel 1; closing clears all three.
    void openBusyBracket();
    void closeBusyBracket();
    // Two or more dropped paths: the second to folder 1, the first to folder 2, both
    // gathered, then compared.
    void dropPair(const QStringList &paths);
    // The side that one dropped path goes to: folder 1 when its box is empty, else folder
    // 2 when its box is empty, else both boxes are emptied and it is folder 1.
    int dropTarget();
    void checkBoxClicked(QCheckBox *box, const QString &key, const QString &question, bool setsShowFirstDiff,
                         const QString &procedure);
    // Flips an option item and writes its key; when it is now checked, `excluded` (if
    // any) is unchecked and its key written as "False".
    void flipOption(QAction *item, const QString &section, const QString &key, const QString &procedure,
                    QAction *excluded = nullptr, const QString &excludedKey = QString());
    void writeOption(const QString &section, const QString &key, bool checked);
    void showModal(QDialog &dialog);
    // Starts the sibling program `program` with `arguments` detached from this window:
    // true when started; false, after a message that says why, when the program is not
    // one to start (platform::siblingStartRefusal); throws common::Failure 53 when it
    // cannot be started.
    static bool startOrFail(const QString &program, const QStringList &arguments = {});
    // startOrFail with the two `paths` as its arguments, every ftp:// password handed over
    // in a file of the user's instead (common/ftp_password_handover.h).
    static void startWithoutFtpPasswords(const QString &program, const std::array<QString, 2> &paths);
    // SideRoot of `side` for its gathered path: the path itself, or for an ftp:// side its
    // mirror folder joined with the address's last element when there is one.
    QString sideRootFor(int side) const;
    // Side and path of the current row's entry for the file commands; empty when the row
    // has no entry.
    QString currentEntryPath() const;
    void restoreLastRun();
    LastRunState currentLastRun() const;

    common::InstanceSlot m_instance;
    QElapsedTimer m_pumpTimer;
    // What the last gathering of each side saw, for the comparisons after it.
    std::array<std::optional<listing::GatheringFacts>, 2> m_gathered;
    bool m_settingsLoaded = false;
    // The settings file is none that the program uses: nothing is written back into it.
    bool m_settingsFileRefused = false;
    // The first activation has begun (it runs once).
    bool m_activationStarted = false;
    // True once the last comparison filled the grid to its end without a failure.
    bool m_comparisonComplete = false;
    bool m_unloaded = false;
    bool m_dropHooked = false;
    std::function<void(QDialog &)> m_modalRunner;
    QWidget *m_client = nullptr;
};

} // namespace foldercompare
