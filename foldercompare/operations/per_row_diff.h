#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class QProcess;

namespace platform {
class FlexGrid;
} // namespace platform

namespace foldercompare {

// The report beside which the per-row text-difference files are written; the viewer
// writes each in the same format.
enum class ReportKind { Html, Csv, Excel };

// Folder of the per-row files of the report `reportPath`: the report's folder, then its
// file name without the last extension and ".dir" ("/out/list.html" gives "/out/list.dir").
QString DiffPageFolder(const QString &reportPath);

// Per-row file of grid row `row`: the folder above, the row as eight digits, "." and the
// report's extension ("/out/list.dir/00000012.html"; a report without extension gives a
// name ending in ".").
QString PerRowFilePath(const QString &reportPath, int row);

// The same name relative to the report's folder, for the report's links
// ("list.dir/00000012.html").
QString PerRowLinkName(const QString &reportPath, int row);

// The viewer's switches for one per-row file: the kind switch directly followed by the
// file, "-N" for differences only, "-K" for the automatic judgement line count, and for
// CSV the separator ("-STAB" for a TAB, none for ",", else "-S" and the separator).
QStringList PerRowOptions(ReportKind kind, const QString &perRowFile, bool differencesOnly, bool automaticFactor,
                          const QString &separator);

// A grid row whose file gets a per-row file: a data row with a difference status ("変更",
// "追加" or "削除") whose relative path (column 4) is not a folder (ending in "/").
bool IsPerRowEligible(const platform::FlexGrid &grid, int row);

// What the per-row run reads of the folder comparison window.
struct PerRowDiffSource
{
    const platform::FlexGrid &grid;       // Grd_Compare after a comparison
    std::array<QString, 2> sideRoot;      // SideRoot of folder 1 and folder 2
    std::array<QString, 2> folderPath;    // texts of Txt_FolderPath
    QString viewerExePath;                // the viewer beside the program
};

// The file of side `side` (0 folder 1, 1 folder 2) of grid row `row` as the viewer gets
// it: "" when the entry is missing on that side, else listing::RowEntryPath of the side's
// root, path box text and the row's relative path.
QString PerRowSideFile(const PerRowDiffSource &source, int row, int side);

// Waits until `process` has ended, running `letEventsRun` after every `sliceMilliseconds`
// of waiting. The events may notice the end themselves, and a wait asked after that answers
// false at once, so the state of the process decides when the waiting is over.
void WaitUntilEnded(QProcess &process, int sliceMilliseconds, const std::function<void()> &letEventsRun);

// Starts the viewer unattended on the two files of grid row `row` with `options` (an
// argument list, never a command string) and waits until it has ended, letting window
// events run every 100 ms. A viewer that cannot be started or that ends with a failure
// is reported as a system error of "TxtDifAuto_File" through ShowMsg (silent in a batch
// run, which is then marked failed); the caller goes on with the next row.
void TxtDifAuto_File(const PerRowDiffSource &source, int row, const QStringList &options);

// The per-row run after a report was written: for each eligible grid row in order, one
// viewer run writing its per-row file; window events run after every row.
void RunPerRowDiffs(const PerRowDiffSource &source, ReportKind kind, const QString &reportPath,
                    bool differencesOnly, bool automaticFactor, const QString &separator);

} // namespace foldercompare
