#pragma once

#include "common/instance_slot.h"
#include "textcompare/editing/difference_export.h"
#include "textcompare/engine/diff_run.h"
#include "textcompare/engine/display_table.h"
#include "textcompare/engine/text_read.h"
#include "textcompare/window/linquell_settings.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <limits>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;

namespace platform {
class FlexGrid;
namespace widgets {
class FlexGridView;
} // namespace widgets
} // namespace platform

namespace textcompare {

// The main window of the text difference viewer: the two path rows with their code
// lists, the judgement factor and the differences-only box, the result grid and a status
// bar of four panels. One per process; unattended runs load it without showing it.
class Frm_Linquell : public QMainWindow
{
    Q_OBJECT

public:
    // Builds the window and runs its load step (settings file, instance number, caption,
    // settings, placement, empty grid).
    explicit Frm_Linquell(QWidget *parent = nullptr);
    ~Frm_Linquell() override;

    // Empties the grid to its header row and one blank row, and the display table to two
    // empty rows.
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

    // Reads both texts, compares them and rebuilds DiffDisplayTable and the counts.
    // nomi not 0 keeps only rows with a state; saiteki not 0 searches the judgement line
    // count (and shows the one kept in Cmb_HanteiLine); blnMsg reports missing files in
    // boxes. The table keeps at most `rowLimit` rows after its header; the counts and the
    // return value take in every row. Returns the number of rows that have a state.
    // Failures are passed on (common::Failure).
    int BatDiffList(int nomi, int saiteki, bool blnMsg, qint32 rowLimit = std::numeric_limits<qint32>::max());

    // The settings menu's dialogs of the sources: worksheet rows and sheet numbers, and
    // the proxies. Each opens modally and changes the program-wide values only.
    void SetExcel_Click();
    void SetProxy_Click();

    // Reads the text of one side (0 or 1) as its path box and code list say, and updates
    // the code lists. Missing files are reported when blnMsg is set, failures always.
    QString TextRead(int Index, bool blnMsg);

    // A user's change of a code list: when the side has a path and the list now names a
    // code other than the one the side was last read with (and not the automatic entry),
    // the side is read again in it and the two files are compared. "BIN" on one side puts
    // the other on "BIN"; leaving "BIN" takes the other list along.
    void Cmb_FileCode_Click(int Index);

    // Compares the two files and shows the result in the grid: rows up to LineMax, each
    // row's colour on columns 1 to 5, the band colour on the line-number columns. A
    // cancelled run leaves the grid empty.
    void DiffList(int saiteki);

    // The exports of the display table with the path boxes' texts; the File menu's
    // options choose the code (CsvHtmlUni) and the quoting (CsvDblQuot). With no_same, a
    // comparison without differences writes nothing. Failures are passed on
    // (common::Failure) whether the run is unattended (batmode) or not, so that an
    // unattended run can report them; an existing file then stays as it was.
    void BatHtmlSave(const QString &fpath, bool batmode, bool no_same);
    void BatCsvSave(const QString &fpath, const QString &sepa, bool batmode, bool no_same);
    // The workbook, with conditional formats when XlsFormatCnd is checked; true when it
    // was saved. A failure is passed on as it is in an unattended run (batmode), as the
    // write failure 9998 otherwise.
    bool BatExcelSave(const QString &fpath, bool batmode, bool no_same);

    // How each side's reading ended in the last BatDiffList.
    std::array<SideText, 2> LastReadTexts;

    // The window's settings as they stand (controls, check marks and program-wide values).
    LinquellSettings currentSettings() const;

    // Texts and tooltips of status panels 1 to 4 (index 0 to 3).
    QString statusText(int panel) const;
    void setStatus(int panel, const QString &text);

    // Values set by the load step.
    QString IniPath;
    int InstanceNumber = 0;
    QString OwnExePath;
    QString FolderCompareExePath;
    // Download targets of ftp:// and http:// inputs, one per side, named after the
    // instance number so that no two running viewers share one.
    std::array<QString, 2> TempFilePaths;

    // Form flags.
    bool CodeListReady = false;
    bool CodeListMuted = false;
    bool FactorListMuted = false;
    bool CancelFlag = false;
    bool ProgrsFlag = false;
    // Per side, the code-list index with which the side was last read.
    std::array<int, 2> ReadCodeIndex{};

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
    qint32 TimeOut = 60;
    QStringList HistoryItems;

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
    QStatusBar *Sts_Message = nullptr;
    std::array<QLabel *, 4> m_statusPanels{};

    // Menus and the option items whose check marks hold their settings.
    QMenu *MenuF = nullptr;
    QMenu *MenuE = nullptr;
    QMenu *MenuT = nullptr;
    QMenu *MenuS = nullptr;
    QMenu *MenuH = nullptr;
    QMenu *CompHistory = nullptr;
    QAction *NoSpaceCheck = nullptr;
    QAction *NoULChrCheck = nullptr;
    QAction *DspSpaceChar = nullptr;
    QAction *XlsFormatCnd = nullptr;
    QAction *CsvDblQuot = nullptr;
    QAction *CsvHtmlUni = nullptr;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void buildControls();
    void buildMenus();
    void applySettings(const LinquellSettings &settings);
    void placeWindow();
    void layoutGrid();
    void fillGrid();
    void runComparison(int saiteki);
    DiffRunFlags runFlags();
    TextReadContext readContext(bool blnMsg);
    TextSides currentSides() const;
    void applySides(const TextSides &sides);
    DifferenceExport exportSource();

    common::InstanceSlot m_instance;
    bool m_settingsLoaded = false;
    bool m_unloaded = false;
    QWidget *m_client = nullptr;
};

} // namespace textcompare
