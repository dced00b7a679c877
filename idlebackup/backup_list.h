#pragma once

#include <QString>

namespace platform {
class FlexGrid;
}

namespace idlebackup {

class MountHistory;
class MountTable;

// Columns of the backup-list grid.
namespace BakListColumn {
inline constexpr int No = 0;
inline constexpr int Original = 1;
inline constexpr int Destination = 2;
inline constexpr int Judgement = 3;
inline constexpr int Info = 4;   // reason of an NG, or the run's last action with its time
inline constexpr int Errors = 5; // comma list of the items that failed in the run
inline constexpr int Blank = 6;
} // namespace BakListColumn

// Number of entries the list holds (grid rows 1 to 99).
inline constexpr int BackupListEntries = 99;

// Lays the grid out: 100 rows, 7 columns, one fixed row and column, the header texts,
// column widths and alignments, the numbers 1 to 99 in column 0, and the selection on
// the first data row.
void InitBackupListGrid(platform::FlexGrid &grid);

// The header texts of the two path columns.
void SetBackupListHeaders(platform::FlexGrid &grid);

// Reads OrgFolder<n> and BakFolder<n> of entries 1 to 99 into columns 1 and 2.
void LoadBackupList(platform::FlexGrid &grid, const QString &iniPath);

// Writes all 99 key pairs in row order, empty ones included, in one replacement of the
// file; false, with the file as it was, when it cannot be written.
bool SaveBackupList(const platform::FlexGrid &grid, const QString &iniPath);

// The first row whose two paths are empty, with the paths of the row above it (empty
// for the first row); row -1 when the list is full.
struct FreeRow
{
    int row = -1;
    QString original;
    QString destination;
};
FreeRow FindFreeRow(const platform::FlexGrid &grid);

// Removes the entry in `row`: the rows below move up, an empty row comes in at the end
// and column 0 is numbered 1 to 99 again.
void RemoveBackupEntry(platform::FlexGrid &grid, int row);

// Judges every entry ("OK" or "NG" with its reason in column 4) and returns the number
// of NG entries, or -1 when no entry could be checked. An entry is NG when only one of
// its paths is set, when the two overlap (as written or with symbolic links resolved),
// when the original is missing (backup mode), or when the drive (mount point) of the
// original or of the destination is gone: a relative path has none, and a path keeps
// the mount point `history` saw holding it, so a disk taken away is noticed even though
// the folder it was mounted on remains. An entry whose copies lie in those of an entry
// above it, or hold them, with other files ("a/docs" and "b/docs" both into "bak"), is
// NG with "コピー先がNo.<n>と重複", n naming that entry: its passes would overwrite, take
// back or trash the other's backup. Paths are compared as their disks name folders: on a
// disk that folds letter case (FAT), "bak/docs" and "BAK/DOCS" are one folder. Entries
// that stay "OK" keep column 4.
int ListCheck(platform::FlexGrid &grid, bool syncMode, MountHistory &history, const MountTable &mounts);

// The notification-area icon that a list-check result calls for: 3 (NG) for a result
// of 1 or more, 2 (running) for 0 while a run is active, 1 (idle) otherwise.
int IconStateForCheck(int result, bool running);

} // namespace idlebackup
