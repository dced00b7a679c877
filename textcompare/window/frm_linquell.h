#pragma once

#include "common/dialogs/hand_back.h"
#include "common/instance_slot.h"
#include "textcompare/editing/difference_export.h"
#include "textcompare/editing/file_editor.h"
#include "textcompare/editing/line_splice.h"
#include "textcompare/engine/diff_run.h"
#include "textcompare/engine/display_table.h"
#include "textcompare/engine/text_read.h"
#include "textcompare/window/command_enabling.h"
#include "textcompare/window/diff_bar_geometry.h"
#include "textcompare/window/linquell_settings.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
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

namespace textcompare {

class DiffBar;
struct DropPlan;

// The main window of the text difference viewer: the two path rows with their code
// lists, the judgement factor and the differences-only box, the result grid with the
// difference bar at its left, and a status bar of four panels. One per process;
// unattended runs load it without showing it.
class Frm_Linquell : public QMainWindow
{
    Q_OBJECT

public:
    // Builds the window and runs its load step (settings file, instance number, caption,
    // settings, placement, empty grid, wheel and drop hooks).
    explicit Frm_Linquell(QWidget *parent = nullptr);
    ~Frm_Linquell() override;

    // Life cycle (frm_linquell.cpp).
    // Empties the grid to its header row and one blank row, the display table to two empty
    // rows and the bar to white, then lays the window out again.
    void GridInit();
    // First activation: from then on the code lists act on clicks; when a path is set the
    // two files are compared. Runs once.
    void Form_Activate();
    // Writes the settings and the placement back and releases the instance number. Runs
    // once; a window whose load step failed writes no settings.
    void Form_Unload();
    // Keys reach the window before its controls; only Esc (27) is handled: while a job
    // runs it asks whether to stop it, otherwise whether to close the window. The key is
    // consumed (KeyCode set to 0) whatever the answer.
    void Form_KeyDown(int &KeyCode, int Shift);

    // Layout, busy mode and the bar (frm_linquell_layout.cpp).
    // Fits the grid, its two text columns, the bar and the top rows to the window, redraws
    // the bar and arms Tmr_Resize.
    void Form_Resize();
    // Writes the placement: all of it when the window is normal, State "2" alone when it
    // is maximised, nothing when it is minimised.
    void Tmr_Resize_Timer();
    // Busy mode: every input, the grid and the five top menus disabled (true) or enabled
    // (false), with the hourglass pointer while busy. Keeps no count: the last call wins.
    void LockControls(bool lock);
    // The grid's selection as first row, first column, last row, last column, each pair
    // ordered.
    std::array<int, 4> GetSelection() const;
    // Paints the runs of equal row colour of the rows shown onto the bar, then places the
    // two markers.
    void DrawDiffBar();
    // A press on the bar at (X, Y) in the bar's units scrolls the grid to that row.
    void Pic_Diff_MouseDown(int Button, int Shift, int X, int Y);
    // Places the marker of the rows in view.
    void Grd_Compare_Scroll();
    // Applies the enabling rule and places the marker of the current row.
    void Grd_Compare_RowColChange();

    // Comparison (frm_linquell_compare.cpp).
    // Reads both texts, compares them and rebuilds DiffDisplayTable and the counts.
    // nomi not 0 keeps only rows with a state; saiteki not 0 searches the judgement line
    // count (and shows the one kept in Cmb_HanteiLine); blnMsg reports missing files in
    // boxes. Returns the number of rows that have a state. Failures are passed on
    // (common::Failure).
    int BatDiffList(int nomi, int saiteki, bool blnMsg);
    // Reads the text of one side (0 or 1) as its path box and code list say, and updates
    // the code lists. Missing files are reported when blnMsg is set, failures always.
    QString TextRead(int Index, bool blnMsg);
    // A user's change of a code list: when the side has a path and the list now names a
    // code other than the one the side was last read with (and not the automatic entry),
    // the side is read again in it and the two files are compared. "BIN" on one side puts
    // the other on "BIN"; leaving "BIN" takes the other list along.
    void Cmb_FileCode_Click(int Index);
    // The comparison run: records the pair in the history, builds the display table and
    // shows it in the grid (up to LineMax rows; the table keeps every row), fills the
    // status panels, paints the bar and brings back the view (or the first difference).
    // A cancelled run, or one in which a side could not be read, shows no rows. Returns
    // BatDiffList's count when rows are shown, else 0.
    int DiffList(int saiteki);
    // The run command that every later comparison goes through.
    void Btn_DiffList_Click();
    void Mnu_DiffList_Click();
    void Chk_HanteiLine_Click();
    void Cmb_HanteiLine_Click();

    // The exports of the display table with the path boxes' texts; the File menu's
    // options choose the code (CsvHtmlUni) and the quoting (CsvDblQuot). With no_same, a
    // comparison without differences writes nothing. Failures are passed on
    // (common::Failure) whether the run is unattended (batmode) or not, so that an
    // unattended run can report them; an existing file then stays as it was. The whole
    // table is written, also the rows past LineMax that the grid does not show.
    void BatHtmlSave(const QString &fpath, bool batmode, bool no_same);
    void BatCsvSave(const QString &fpath, const QString &sepa, bool batmode, bool no_same);
    // The workbook, with conditional formats when XlsFormatCnd is checked; true when it
    // was saved. A failure is passed on as it is in an unattended run (batmode), as the
    // write failure 9998 otherwise.
    bool BatExcelSave(const QString &fpath, bool batmode, bool no_same);

    // Choosing the two files (frm_linquell_files.cpp). Key codes are the classic
    // virtual-key codes (13 Enter); dropped paths come in the drag source's order.
    void Txt_FilePath_KeyDown(int Index, int KeyCode, int Shift);
    void Txt_FilePath_Change(int Index);
    void Btn_InFilePath_Click(int Index);
    void CompHistory_Click(int Index);
    void Change1To2_Click();
    void ClipBoardPaste_Click();
    void Chk_Nomi_Click();
    void Mnu_DiffListNomi_Click();
    void Txt_FilePath_OLEDragDrop(int Index, const QStringList &paths);
    // Files dropped on the grid; the column under the pointer is the grid's mouseCol().
    void Grd_Compare_OLEDragDrop(const QStringList &paths);
    void Form_Drop(const QStringList &paths);
    // Renames the file, every character from U+0100 to U+7FFF of the name (folders
    // included) written as "_u", its hexadecimal code and "_". Failures are passed on.
    static void RenameUnicodeFilename(const QString &FileName);
    // The file that a clipboard paste writes for side 1 or 2.
    QString clipboardFilePath(int side) const;

    // Grid interaction and grid commands (frm_linquell_grid.cpp).
    void Grd_Compare_SelChange();
    void Grd_Compare_MouseDown(int Button, int Shift, int X, int Y);
    void Grd_Compare_MouseUp(int Button, int Shift, int X, int Y);
    void Grd_Compare_MouseMove(int Button, int Shift, int X, int Y);
    void Grd_Compare_DblClick();
    void Grd_Compare_KeyDown(int KeyCode, int Shift);
    void OpenText_Click();
    void AllRowSelect_Click();
    void ClipBoardCopy_Click();
    void Btn_DiffClear_Click();
    void Mnu_DiffClear_Click();

    // Navigation and search (frm_linquell_search.cpp).
    void JumpNext_Click();
    void JumpBefore_Click();
    void SearchText_Click();
    void SearchNext_Click();
    void SearchBefore_Click();
    void GridSearchNext(int step);
    void GridSearchBefore(int step);
    void GridSearchForcus(int row, int firstCol, int lastCol);

    // Option items, setting dialogs, help and window menus, exports
    // (frm_linquell_menus.cpp). Each option item flips its check mark and writes its key
    // at once.
    void NoSpaceCheck_Click();
    void NoULChrCheck_Click();
    void DspSpaceChar_Click();
    void XlsFormatCnd_Click();
    void CsvDblQuot_Click();
    void CsvHtmlUni_Click();
    void SetBinExt_Click();
    void Mnu_LineMax_Click();
    void SetEditor_Click();
    void SetMouseWheel_Click();
    void NewDirgleam_Click();
    void NewLinquell_Click();
    void MnuEnd_Click();
    void Homepage_Click();
    void XxxReqFaq_Click();
    void Version_Click();
    void ExcelSave_Click();
    void HtmlSave_Click();
    void CsvSaveKan_Click();
    void CsvSaveTab_Click();
    void CsvSaveStr_Click();

    // Editing of the compared files and the viewer's setting dialogs
    // (frm_linquell_editing.cpp). The line commands work on the side that the selection
    // (or the one-line window's button) names, only where the enabling rule offers them,
    // change the file through TextEdit and then compare again keeping the lines in view;
    // EditRedo swaps the last edited file with its undo copy.
    void LineText_Click();
    void LineTextE_Click();
    void LineDelete_Click();
    void LineInsert1_Click();
    void LineInsert2_Click();
    void LineCopy_Click();
    void EditRedo_Click();
    void OpenExt_Click();
    void Properties_Click();
    void DateChg_Click();
    void CodeChg_Click();
    void SetLenOfRow_Click();
    void SetDiffColor_Click();
    // Replaces the lines of rows startRow..endRow of side `side` (0 file 1, 1 file 2) by
    // `lines`; `mode` 0 replaces them, a negative mode inserts above them, a positive one
    // below. The file must be as the last comparison read it; when another program has
    // changed it since, the user chooses between writing the edit over the compared
    // contents and leaving the file alone. Asks for confirmation, then writes through
    // FileEditing. Every refusal and failure is told; the file is then as it was.
    void TextEdit(int side, const EditLines &lines, int startRow, int endRow, int mode);
    // The enabling rule's inputs and answer for the grid and the inputs as they are now.
    RowCommandInputs rowCommandInputs() const;
    RowCommandStates rowCommandStates() const;

    // The dialogs of the sources read from Excel sheets and through proxy servers
    // (frm_linquell_sources.cpp).
    void SetExcel_Click();
    void SetProxy_Click();

    // Shows a modal dialog of the window and returns when it has closed. Tests replace
    // the way it is run (the dialog is filled in and confirmed or closed by the test).
    void setModalRunner(std::function<void(QDialog &dialog)> runner);

    // How each side's reading ended in the last BatDiffList.
    std::array<SideText, 2> LastReadTexts;

    // The window's settings as they stand (controls, check marks and program-wide values).
    LinquellSettings currentSettings() const;

    // Texts of status panels 1 to 4 (index 0 to 3).
    QString statusText(int panel) const;
    void setStatus(int panel, const QString &text);

    // Values set by the load step.
    QString IniPath;
    int InstanceNumber = 0;
    QString OwnExePath;
    QString FolderCompareExePath;
    // Download targets of ftp:// and http:// inputs, one per side, in the window's own
    // work folder, so that no two running viewers share one and nobody else may read
    // them; removed when the window closes.
    std::array<QString, 2> TempFilePaths;

    // Form flags.
    bool CodeListReady = false;
    bool CodeListMuted = false;
    bool FactorListMuted = false;
    bool CancelFlag = false;
    bool ProgrsFlag = false;
    // The next comparison shows the first difference instead of the lines in view.
    bool JumpToFirstDiff = false;
    // A swap is re-running the comparison: the lines in view are taken crosswise.
    bool SwapInProgress = false;
    // Line numbers of file 1 and file 2 in the top row before a run; "-1" for none.
    std::array<QString, 2> TopLineNumbers{QStringLiteral("-1"), QStringLiteral("-1")};
    // The writes of the line edits and conversions: LastEditPath, RecycledPaths and the
    // undo copy in the instance's work folder.
    FileEditor FileEditing;
    // The last comparison cut long lines into display lines (a wrap width was set and no
    // side was read as "BIN"): the line numbers of the table are no file line numbers.
    bool ComparedWrapped = false;
    // The lines that the one-line window shows and hands back, and whether it handed
    // back the file-1 or the file-2 line.
    QString LineTextDt1;
    QString LineTextDt2;
    bool LineTextSv1 = false;
    bool LineTextSv2 = false;
    // How the search dialog was closed.
    bool SearchDownFlag = false;
    bool SearchUpFlag = false;
    // An unattended run: a side without a path still marks the other side's lines as
    // added or deleted, so that the exports list them.
    bool BatchRun = false;
    // Per side, the code-list index with which the side was last read.
    std::array<int, 2> ReadCodeIndex{};
    // The window's pointer: 11 the hourglass while LockControls holds it, else 0.
    int MousePointer = 0;

    // The display table of the last comparison and its counts.
    DisplayTable DiffDisplayTable;
    qint32 LineCount1 = 0;
    qint32 LineCount2 = 0;
    qint32 ResultRowCount = 0;
    qint32 DiffRowCount = 0;

    // Program-wide values loaded at start and written back at exit.
    qint32 LineMax = 50000;
    QString DspSpTab;
    QString DspSpHsp;
    QString DspSpZsp;
    QStringList BinJdExt;
    qint32 LenOfRow = 0;
    DiffColors Colors;
    QString SearchStr;
    QString Editor;
    QString MaxLine;
    std::array<QString, 2> SheetNo;
    QString Server_HTTP;
    QString Server_FTP;
    // Seconds a download may stall before it fails ([PROXY] TimeOut).
    qint32 TimeOut = 60;
    // The history of the File menu, newest first: path 1, TAB, path 2.
    QStringList HistoryItems;

    // What the dialogs that the window opens hand back (the separator of CsvSaveStr).
    common::dialogs::HandBack DialogAnswers;

    // Controls, under their names; pairs are indexed by side (0 file 1, 1 file 2).
    std::array<QLabel *, 2> Label1{};
    std::array<QLineEdit *, 2> Txt_FilePath{};
    std::array<QPushButton *, 2> Btn_InFilePath{};
    std::array<QComboBox *, 2> Cmb_FileCode{};
    QLabel *Lbl_HanteiLine = nullptr;
    QComboBox *Cmb_HanteiLine = nullptr;
    QLabel *Lbl_Hanteiline2 = nullptr;
    QCheckBox *Chk_HanteiLine = nullptr;
    QCheckBox *Chk_Nomi = nullptr;
    QPushButton *Btn_DiffList = nullptr;
    QPushButton *Btn_DiffClear = nullptr;
    QLineEdit *Txt_Drop = nullptr;
    platform::FlexGrid *Grd_Compare = nullptr;
    platform::widgets::FlexGridView *m_gridView = nullptr;
    // The difference bar and its markers: 0 the rows in view, 1 the current row.
    DiffBar *Pic_Diff = nullptr;
    std::array<QWidget *, 2> Pic_Line{};
    QStatusBar *Sts_Message = nullptr;
    std::array<QLabel *, 4> m_statusPanels{};
    QTimer *Tmr_Resize = nullptr;

    // Top menus and the grid's popup menu.
    QMenu *MenuF = nullptr;
    QMenu *MenuE = nullptr;
    QMenu *MenuT = nullptr;
    QMenu *MenuS = nullptr;
    QMenu *MenuH = nullptr;
    QMenu *PopUp = nullptr;

    // A command of the menus and its twin in the popup menu, which only triggers it.
    struct RowCommand
    {
        QAction *menu = nullptr;
        QAction *popup = nullptr;
    };
    // The twelve commands that the enabling rule governs.
    RowCommand LineText, OpenText, OpenExt, Properties, DateChg, CodeChg, LineTextE, LineDelete, LineInsert1,
        LineInsert2, LineCopy, EditRedo;
    // Grid commands that are always offered.
    RowCommand AllRowSelect, ClipBoardCopy, ClipBoardPaste;

    // File menu.
    QAction *NewDirgleam = nullptr;
    QAction *NewLinquell = nullptr;
    QAction *Mnu_DiffList = nullptr;
    QAction *Mnu_DiffListNomi = nullptr;
    QAction *Mnu_DiffClear = nullptr;
    QAction *Change1To2 = nullptr;
    QAction *ExcelSave = nullptr;
    QAction *HtmlSave = nullptr;
    QAction *CsvSaveKan = nullptr;
    QAction *CsvSaveTab = nullptr;
    QAction *CsvSaveStr = nullptr;
    // The history items, newest first; item 0 shows "履歴" and is hidden while the history
    // is empty, the others are hidden when unused.
    std::array<QAction *, 10> CompHistory{};
    QAction *MnuEnd = nullptr;
    // Tools menu.
    QAction *JumpNext = nullptr;
    QAction *JumpBefore = nullptr;
    QAction *SearchText = nullptr;
    QAction *SearchNext = nullptr;
    QAction *SearchBefore = nullptr;
    // Settings menu: the dialogs.
    QAction *SetBinExt = nullptr;
    QAction *SetLenOfRow = nullptr;
    QAction *Mnu_LineMax = nullptr;
    QAction *SetDiffColor = nullptr;
    QAction *SetEditor = nullptr;
    QAction *SetExcel = nullptr;
    QAction *SetProxy = nullptr;
    QAction *SetMouseWheel = nullptr;
    // Help menu.
    QAction *Homepage = nullptr;
    QAction *XxxReqFaq = nullptr;
    QAction *Version = nullptr;
    // Option items whose check marks hold their settings.
    QAction *NoSpaceCheck = nullptr;
    QAction *NoULChrCheck = nullptr;
    QAction *DspSpaceChar = nullptr;
    QAction *XlsFormatCnd = nullptr;
    QAction *CsvDblQuot = nullptr;
    QAction *CsvHtmlUni = nullptr;

    // The twelve commands in the order the enabling rule sets them.
    QList<RowCommand *> governedRowCommands();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void buildControls();
    void buildMenus();
    void connectHandlers();
    void applySettings(const LinquellSettings &settings);
    void showHistory();
    void placeWindow();
    // The first activation's comparison, framed as Btn_DiffList_Click frames its own.
    void runFirstComparison();
    DiffRunFlags runFlags();
    TextReadContext readContext(bool blnMsg);
    TextSides currentSides() const;
    void applySides(const TextSides &sides);
    DifferenceExport exportSource();
    // Records the pair in the history and writes it when it changed.
    void recordHistory();
    // The grid row to show after a run: the first difference, or the last row holding
    // the remembered top line numbers; `fallback` when none does.
    int viewTarget(int lastShownRow, int fallback) const;
    // Puts the view on `target` after a run that shows rows.
    void placeView(int target, int rememberedRow, int rememberedCol);
    void focusAfterRun();
    // Widens the "No." and "行No." columns where the largest numbers of the comparison
    // (rows up to `lastShownRow`, the two files' line counts) need more than the designed
    // width in the grid's font, and lays out the text columns beside them.
    void fitNumberColumns(int lastShownRow);
    // Shares the grid's width left beside the number columns between the text columns.
    void layoutTextColumns();
    // Carries out a drop plan of PlanDrop.
    void carryOutDrop(const DropPlan &plan);
    void startFolderComparison(const std::array<QString, 2> &paths);
    // Removes the downloaded copies of ftp:// and http:// inputs.
    void removeDownloads();
    // Starts the sibling program `program` detached; when it is not one to start
    // (platform::siblingStartRefusal) a message says why and nothing starts. Throws
    // common::Failure 53 when it cannot be started.
    static void startOrFail(const QString &program, const QStringList &arguments = {});
    void showModal(QDialog &dialog);
    // Flips an option item and writes its key at once; failures are reported under
    // `procedure`.
    void flipOption(QAction *item, const QString &section, const QString &key, const QString &procedure);
    // The steps of a CSV command after its save dialog (and separator dialog).
    void saveCsv(const QString &path, const QString &separator, const QString &procedure);
    // The search of GridSearchNext (downward) and GridSearchBefore.
    void searchGrid(int step, bool downward, const QString &procedure);
    // The units per data row of the bar as it is now.
    double barUnitsPerRow() const;
    // Lets pending window events run at most every few milliseconds during long loops.
    void pumpEvents();
    // The frame of the line commands: TextEdit, then (for an insert above) both code lists
    // back to automatic, then a comparison that keeps the lines in view.
    void runLineCommand(int side, const EditLines &lines, int startRow, int endRow, int mode,
                        bool resetCodeLists = false);
    // Both code lists back to the automatic entry, without a comparison of their own.
    void resetCodeLists();
    // The side of the current column when its path box names something; nullopt for the
    // number and state columns and for an empty box.
    std::optional<int> currentSideWithPath() const;

    common::InstanceSlot m_instance;
    bool m_settingsLoaded = false;
    bool m_unloaded = false;
    bool m_dropHooked = false;
    QWidget *m_client = nullptr;
    // The runs of the bar, from the last run that showed rows.
    std::vector<BarRun> m_barRuns;
    std::function<void(QDialog &)> m_modalRunner;
    std::chrono::steady_clock::time_point m_lastPump;
};

} // namespace textcompare
