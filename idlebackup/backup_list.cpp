#include "idlebackup/backup_list.h"

#include "idlebackup/backup_settings.h"
#include "idlebackup/copy_rules.h"
#include "idlebackup/mount_table.h"
#include "platform/byte_text.h"
#include "platform/flex_grid.h"
#include "platform/profile.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace idlebackup {

namespace {

constexpr int GridRows = BackupListEntries + 1;
constexpr int GridCols = 7;

const QString Ok = QStringLiteral("OK");
const QString Ng = QStringLiteral("NG");

QString originalKey(int entry)
{
    return QStringLiteral("OrgFolder%1").arg(entry);
}

QString destinationKey(int entry)
{
    return QStringLiteral("BakFolder%1").arg(entry);
}

void numberRows(platform::FlexGrid &grid)
{
    for (int row = 1; row < grid.rows(); ++row)
        grid.setTextMatrix(row, BakListColumn::No, QString::number(row));
}

bool existsAsFileOrFolder(const QString &path)
{
    struct stat info;
    return !path.isEmpty() && ::stat(platform::BytesOfText(path).constData(), &info) == 0
           && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode));
}

// The path `path` with its links resolved, as its disk tells names apart: on a disk that
// folds letter case (the FAT family), the part below the disk's mount point is
// case-folded, so that two paths that name one folder there give one text.
QString asOnItsDisk(const QString &path, const MountTable &mounts)
{
    const QString resolved = ResolvedPath(path);
    if (!mounts.isFat(resolved))
        return resolved;
    const QString mountPoint = WithTrailingSlash(mounts.mountPointHolding(resolved));
    return resolved.startsWith(mountPoint) ? mountPoint + resolved.mid(mountPoint.size()).toCaseFolded() : resolved;
}

bool entryOverlaps(const QString &original, const QString &destination, const MountTable &mounts)
{
    return FolderEntryOverlaps(original, destination)
           || FolderEntryOverlaps(asOnItsDisk(original, mounts), asOnItsDisk(destination, mounts));
}

// What an entry's pass writes into: its copy root (the copy of a file entry, the folder
// that receives a folder entry, also for an original that is missing, as sync mode
// allows) and its original, both as on their disks (asOnItsDisk) and ending in "/".
struct CopyPlace
{
    int row = 0;
    QString original;
    QString root;
    bool rootFoldsCase = false;
};

CopyPlace copyPlaceOf(int row, const QString &original, const QString &destination, const MountTable &mounts)
{
    const auto onDisk = [&](const QString &path) {
        return WithTrailingSlash(asOnItsDisk(WithoutTrailingSlash(path), mounts));
    };
    struct stat info;
    const bool file = ::stat(platform::BytesOfText(original).constData(), &info) == 0 && S_ISREG(info.st_mode);
    const QString root
        = file ? FileCopyPath(original, destination) : FolderCopyRoot(WithTrailingSlash(original), destination);
    return CopyPlace{row, onDisk(original), onDisk(root), mounts.isFat(root)};
}

// Whether two entries write into each other's copies: their copy roots are one, or one
// lies inside the other, and the inner one does not copy the very files that the outer
// one has there (the same original, or the folder of the outer original at that place,
// its names taken as the copy's disk takes them). A pass of either would then
// overwrite, take back or trash the other's backup.
bool copiesCollide(const CopyPlace &one, const CopyPlace &other)
{
    const bool oneOuter = one.root.size() <= other.root.size();
    const CopyPlace &outer = oneOuter ? one : other;
    const CopyPlace &inner = oneOuter ? other : one;
    if (!inner.root.startsWith(outer.root))
        return false;
    if (!inner.original.startsWith(outer.original))
        return true;
    const QString below = inner.original.mid(outer.original.size());
    return (inner.rootFoldsCase ? below.toCaseFolded() : below) != inner.root.mid(outer.root.size());
}

void judge(platform::FlexGrid &grid, int row, const QString &mark, const QString &info)
{
    grid.setTextMatrix(row, BakListColumn::Judgement, mark);
    grid.setTextMatrix(row, BakListColumn::Info, info);
}

} // namespace

void InitBackupListGrid(platform::FlexGrid &grid)
{
    grid.setRows(GridRows);
    grid.setCols(GridCols);
    grid.setFixedRows(1);
    grid.setFixedCols(1);
    grid.setRowTexts(0, {QStringLiteral("No"), QString(), QString(), QStringLiteral("判定"),
                         QStringLiteral("判定情報/最終更新発見日時"), QStringLiteral("個別フォルダ/ファイルのエラー情報"),
                         QStringLiteral(" ")});
    const int widths[GridCols] = {280, 4900, 4900, 500, 2800, 15000, 500};
    for (int col = 0; col < GridCols; ++col)
        grid.setColWidth(col, widths[col]);
    numberRows(grid);
    grid.setColAlignment(BakListColumn::No, platform::FlexAlign::CenterCenter);
    for (int col = 0; col < GridCols; ++col) {
        grid.setCurrentCell(0, col);
        grid.setCellAlignment(col <= BakListColumn::Destination ? platform::FlexAlign::CenterCenter
                                                                : platform::FlexAlign::LeftCenter);
    }
    grid.setSelection(1, 1, 1, GridCols - 1);
}

void SetBackupListHeaders(platform::FlexGrid &grid)
{
    grid.setTextMatrix(0, BakListColumn::Original, QStringLiteral("オリジナル"));
    grid.setTextMatrix(0, BakListColumn::Destination, QStringLiteral("コピー先"));
}

void LoadBackupList(platform::FlexGrid &grid, const QString &iniPath)
{
    const QString section = settingSection();
    for (int entry = 1; entry <= BackupListEntries && entry < grid.rows(); ++entry) {
        grid.setTextMatrix(entry, BakListColumn::Original,
                           MyGetPrivateProfileString(section, originalKey(entry), QString(), iniPath));
        grid.setTextMatrix(entry, BakListColumn::Destination,
                           MyGetPrivateProfileString(section, destinationKey(entry), QString(), iniPath));
    }
}

bool SaveBackupList(const platform::FlexGrid &grid, const QString &iniPath)
{
    QList<std::pair<QString, QString>> values;
    values.reserve(2 * BackupListEntries);
    for (int entry = 1; entry <= BackupListEntries; ++entry) {
        values.append({originalKey(entry), grid.textMatrix(entry, BakListColumn::Original)});
        values.append({destinationKey(entry), grid.textMatrix(entry, BakListColumn::Destination)});
    }
    return platform::writeProfileStrings(settingSection(), values, iniPath);
}

FreeRow FindFreeRow(const platform::FlexGrid &grid)
{
    FreeRow free;
    for (int row = grid.fixedRows(); row < grid.rows(); ++row) {
        const QString original = grid.textMatrix(row, BakListColumn::Original);
        const QString destination = grid.textMatrix(row, BakListColumn::Destination);
        if (original.isEmpty() && destination.isEmpty()) {
            free.row = row;
            return free;
        }
        free.original = original;
        free.destination = destination;
    }
    return FreeRow{};
}

void RemoveBackupEntry(platform::FlexGrid &grid, int row)
{
    const int rows = grid.rows();
    grid.setRows(rows + 1);
    grid.removeItem(row);
    grid.setRows(rows);
    numberRows(grid);
}

int ListCheck(platform::FlexGrid &grid, bool syncMode, MountHistory &history, const MountTable &mounts)
{
    int ngCount = 0;
    int checkedCount = 0;
    std::vector<CopyPlace> earlier;
    for (int row = grid.fixedRows(); row < grid.rows(); ++row) {
        const QString original = grid.textMatrix(row, BakListColumn::Original);
        const QString destination = grid.textMatrix(row, BakListColumn::Destination);
        if (original.isEmpty() && destination.isEmpty()) {
            judge(grid, row, QString(), QString());
            continue;
        }
        if (original.isEmpty() || destination.isEmpty()) {
            judge(grid, row, Ng, QStringLiteral("オリジナル/コピー先指定無し"));
            ++ngCount;
            continue;
        }
        if (entryOverlaps(original, destination, mounts)) {
            judge(grid, row, Ng, QStringLiteral("オリジナル/コピー先一致"));
            ++ngCount;
            continue;
        }
        const CopyPlace place = copyPlaceOf(row, original, destination, mounts);
        const auto collision = std::find_if(earlier.begin(), earlier.end(),
                                            [&](const CopyPlace &other) { return copiesCollide(place, other); });
        const int collidingRow = collision == earlier.end() ? 0 : collision->row;
        if (collidingRow == 0)
            earlier.push_back(place);
        ++checkedCount;
        history.record(original, mounts);
        history.record(destination, mounts);
        if (!history.driveMounted(original, mounts)) {
            judge(grid, row, Ng, QStringLiteral("ドライブ無"));
            ++ngCount;
            continue;
        }
        if (!syncMode && !existsAsFileOrFolder(original)) {
            judge(grid, row, Ng, QStringLiteral("オリジナル無し"));
            ++ngCount;
            continue;
        }
        ++checkedCount;
        if (!history.driveMounted(destination, mounts)) {
            judge(grid, row, Ng, QStringLiteral("ドライブ無"));
            ++ngCount;
            continue;
        }
        if (collidingRow != 0) {
            judge(grid, row, Ng, QStringLiteral("コピー先がNo.%1と重複").arg(collidingRow));
            ++ngCount;
            continue;
        }
        const bool wasOk = grid.textMatrix(row, BakListColumn::Judgement) == Ok;
        grid.setTextMatrix(row, BakListColumn::Judgement, Ok);
        if (!wasOk)
            grid.setTextMatrix(row, BakListColumn::Info, QString());
    }
    return checkedCount < 1 ? -1 : ngCount;
}

int IconStateForCheck(int result, bool running)
{
    if (result >= 1)
        return 3;
    if (result == 0 && running)
        return 2;
    return 1;
}

} // namespace idlebackup
