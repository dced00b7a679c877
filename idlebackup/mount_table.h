#pragma once

#include <QHash>
#include <QSet>
#include <QString>

namespace idlebackup {

// The mount points of the running system as /proc/self/mountinfo lists them: the
// "drives" of the backup program. A path's drive is the mount point that holds it.
class MountTable
{
public:
    // Reads /proc/self/mountinfo; an empty table when it cannot be read.
    static MountTable current();
    // A table of the given mount points (absolute, without trailing "/" except "/").
    static MountTable of(const QSet<QString> &mountPoints);

    bool isMountPoint(const QString &path) const { return m_mountPoints.contains(path); }

    // The mount point that holds `path`, an absolute path: the deepest mount point above
    // or at the deepest existing folder of the path, symbolic links resolved. Empty for
    // a relative path or when nothing of the path exists.
    QString mountPointHolding(const QString &path) const;

private:
    QSet<QString> m_mountPoints;
};

// What the program has seen of the drives of its entries' paths while it ran: for each
// path the deepest mount point that held it. A path whose remembered mount point is no
// longer mounted has lost its drive (a backup disk taken away, a share unmounted), even
// though the empty folder it was mounted on is still there.
class MountHistory
{
public:
    // Remembers the mount point that holds `path` now when it lies deeper than the one
    // remembered so far.
    void record(const QString &path, const MountTable &table);

    // Whether the drive of `path` is there: the path is absolute, something of it
    // exists, and the mount point remembered for it (if any) is mounted.
    bool driveMounted(const QString &path, const MountTable &table) const;

private:
    QHash<QString, QString> m_mountPointOf;
};

// Whether the file system holding `path` (or its deepest existing folder) is a FAT file
// system (vfat or exfat), whose file times have a two-second grain.
bool IsFatFileSystem(const QString &path);

// The deepest existing folder or file of an absolute path: the path itself when it
// exists, else its nearest existing parent; empty when nothing exists.
QString DeepestExisting(const QString &path);

} // namespace idlebackup
