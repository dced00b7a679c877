#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <ctime>

namespace idlebackup {

// How the disk of a file keeps its times, as far as the kind of disk tells.
enum class TimeGrain {
    Own,     // to the step its times show (NewerOf)
    Fat,     // to two seconds: the FAT family, whose disks also fold letter case
    Network, // reached over the network (cifs, smb, nfs): a time there in whole even
             // seconds may be one that a FAT disk behind it keeps to two seconds
};

// Whether the times `one` and `other` of two files, on disks of `oneGrain` and
// `otherGrain`, are compared to two seconds, as on FAT (`onFat` of CopyIsDue and
// NewerOf): either disk is of the FAT family, or a network disk shows its time in whole
// even seconds.
bool ComparedInTwoSeconds(TimeGrain oneGrain, const timespec &one, TimeGrain otherGrain, const timespec &other);

// A name as a disk that folds letter case (TimeGrain::Fat) compares it: two names whose
// folded forms are equal name one item there.
QString FoldedName(QByteArrayView name);

// Whether, in backup mode, a copy D of a source file O that both exist is out of date
// (sync mode asks NewerOf). `seconds` is the whole number of seconds from O's last-write
// time to D's (positive when D is newer). FAT file systems keep times to two seconds (a
// copy on FAT holds its source's time rounded down), so while either side lies on FAT
// (`onFat`, ComparedInTwoSeconds) a difference of one second either way counts as the
// same time. At the same
// time the copy is due when the two sizes differ (`sizesDiffer`); else a newer copy is
// overwritten only under NewOverWr.
bool CopyIsDue(qint64 seconds, bool sizesDiffer, bool newOverWrite, bool onFat);

// Which of two files that sync mode finds on both sides, a source and its copy, is the
// newer one.
enum class NewerFile {
    Source,
    Copy,
    Neither,     // the times tell no difference and the sizes agree: the same file
    BothChanged, // the times tell no difference and the sizes differ
};

// Compares the last-write times `source` and `copy` as far as both disks hold them. A
// disk keeps a time to some step and cuts it down to that step (FAT to two seconds,
// exFAT to ten milliseconds, NTFS to 100 nanoseconds, ext4 to the nanosecond), so two
// times tell which file is newer only when they lie at least the coarser step of the
// two apart. The step of a time is two seconds while either side lies on FAT (`onFat`,
// ComparedInTwoSeconds), else the largest power of ten nanoseconds, up to a second, that its nanoseconds are a
// multiple of: a time from a disk that keeps whole seconds or hundredths shows its step
// so, and a time that merely ends in zeros is only compared more coarsely.
NewerFile NewerOf(const timespec &source, const timespec &copy, bool sizesDiffer, bool onFat);

// Whether a backup on a disk that folds letter case, under a name that differs from an
// original's in letter case only (FoldedName), is that original's own copy: the
// original renamed in letter case only, which keeps its size and time, so that the two
// agree in size and to two seconds (NewerOf on FAT). Otherwise the backup was made from
// another file, and neither may be copied over the other.
bool IsCopyUnderFoldedName(const timespec &original, qint64 originalSize, const timespec &backup, qint64 backupSize);

// The exclusion settings NoneStr and NoneExt, split once for a walk. Names are bytes as
// the disk holds them; the tokens are matched as their UTF-8 bytes.
class Exclusions
{
public:
    Exclusions(const QString &noneStr, const QString &noneExt);

    // Whether an item of an entry is copied: `relativePath` is its path below the
    // entry's root ("sub/name.ext", a folder may end in "/"). It is not copied when one
    // of its path elements begins with a token of NoneStr or its last element has an
    // extension (the bytes behind the last ".") equal to a token of NoneExt. Tokens are
    // split at ","; empty tokens are ignored; comparisons are case-sensitive.
    bool copies(QByteArrayView relativePath) const;

private:
    QByteArrayList m_nameStarts;
    QByteArrayList m_extensions;
};

// CheckTarget for one path: Exclusions(noneStr, noneExt).copies(relativePath).
bool CheckTarget(const QString &relativePath, const QString &noneStr, const QString &noneExt);

// Whether an item right below a root is left out of every walk: the Windows recycle and
// volume folders of shared disks (names beginning with RECYCLER or SYSTEM VOLUME
// INFORMATION in any letter case), and exactly the system's own ".Trash",
// ".Trash-<user number>" and "lost+found".
bool IsSkippedRootItem(QByteArrayView name);


// A path or name of the disk as the status line and the backup list show it: valid
// UTF-8 as its text; every byte that is not part of valid UTF-8, and every control
// character, as "\x" and two upper-case hexadecimal digits.
QString DisplayPath(QByteArrayView path);

// A number with thousands separators: 1234567.5 gives "1,234,567.5", -12 gives "-12".
QString CommaEdit(double value);

// The last element of a path (its whole name, extension included); "" for "/".
QString FileNameOf(const QString &path);

// `path` with a trailing "/".
QString WithTrailingSlash(const QString &path);
QByteArray WithTrailingSlash(QByteArray path);

// `path` without trailing "/" ("/" stays "/").
QString WithoutTrailingSlash(const QString &path);
QByteArray WithoutTrailingSlash(QByteArray path);

// The folder that holds `path`: "/" for an item right below the root, "" for a name
// without any "/".
QString ParentFolderOf(const QString &path);

// Where a pass puts the copy of a single-file entry: the destination folder and the
// file's whole name.
QString FileCopyPath(const QString &original, const QString &destination);

// The folder that receives the contents of a folder entry: the destination itself when
// its whole name equals the original's (or the original is the root), else a folder of
// the original's whole name inside it; always with a trailing "/".
QString FolderCopyRoot(const QString &original, const QString &destination);

// The overlap tests of adding an entry. A file entry is refused when the two paths are
// equal or either is the beginning of the other's text; a folder entry when they are
// equal or either, followed by "/", is the beginning of the other followed by "/".
// Names are compared exactly, as the file system does.
bool FileEntryOverlaps(const QString &original, const QString &destination);
bool FolderEntryOverlaps(const QString &original, const QString &destination);

} // namespace idlebackup
