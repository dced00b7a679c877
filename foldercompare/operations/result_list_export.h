#pragma once

#include "foldercompare/operations/per_row_diff.h"

#include <QString>

#include <array>
#include <functional>

namespace foldercompare {

// The [SAV] options of the per-row text-difference files made beside an export.
struct PerRowSwitches
{
    bool allLines = false;        // TxtDifAlll: a file of all lines per changed file row
    bool differencesOnly = false; // TxtDifNomi: a file of the differing lines only
    bool automaticFactor = false; // TxtDifKeis: the viewer picks its judgement line count

    // Per-row files are made, and linked from the report, when either output is on.
    bool on() const { return allLines || differencesOnly; }
};

// What the three exports of the result list (HTML, CSV, workbook) read of the folder
// comparison window: the grid after a comparison with the two roots, the texts of the
// two path boxes and the viewer (for the per-row files), the number of differing rows,
// the per-row options, and a hook that lets window events run once per grid row.
struct ResultListExport
{
    PerRowDiffSource rows;
    qint32 diffRowCount = 0;
    PerRowSwitches perRow;
    std::function<void()> letEventsRun;

    // The texts of the two path boxes as the reports write them: an address with its
    // password shown as "****".
    std::array<QString, 2> shownFolderPaths() const;
};

// The "-X" rule of an unattended run: true when the command line had "-X" and the
// comparison found no differing row, so that the export writes no file, no folder and no
// per-row file.
bool SkipsExportWithoutDifference(qint32 diffRowCount);

// After a report was written: when the per-row options ask for it, one text-difference
// file per eligible row, written by the viewer in the report's format beside `reportPath`
// (CSV with `separator`).
void RunPerRowOutputs(const ResultListExport &source, ReportKind kind, const QString &reportPath,
                      const QString &separator = QString());

} // namespace foldercompare
