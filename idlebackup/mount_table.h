#pragma once

#include "idlebackup/copy_rules.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <QString>

namespace idlebackup {

// The mount points of the running system with their file-system types, as
// /proc/self/mountinfo lists them (or a file of the same form): the "drives" of the
// backup program. A path's drive is the mount point that holds it. Mount points are
// kept as the bytes the table gives (absolute, without trailing "/" except "/").
class MountTable
{
public:
    // Reads /proc/self/mountinfo; an empty table when it cannot be read.
    static MountTable current();
    // Reads a table of the mountinfo form from `mountInfoPath`; empty when it cannot.
    static MountTable read(const QString &mountInfoPath);
    // A table of the given mount points, of no known type.
    static MountTable of(const QSet<QString> &mountPoints);
    // The same table read again from its file (a table made by of() stays as it is).
    MountTable reread() const;

    // Whether `path` (encoded, without trailing "/") is a mount point of the table.
    bool isMountPoint(const QByteArray &path) const { return m_typeOf.contains(path); }
    // Every mount point of the table.
    QByteArrayList mountPoints() const { return m_typeOf.keys(); }

    // The mount point that holds `path`, an absolute path: the deepest mount point above
    // or at the deepest existing folder of the path, symbolic links resolved. Empty for
    // a relative path or when nothing of the path exists.
    QString mountPointHolding(const QString &path) const;

    // How the file system holding `path` (or its deepest existing folder) keeps file
    // times: Fat for the FAT family (two seconds): the kernel's vfat, msdos and exfat
    // (told by the file system itself) and FUSE file systems whose type in the table
    // names FAT ("fuse.fusefat", "fuseblk.exfat"); Network for disks reached over the
    // network: NFS, SMB and CIFS (told by the file system or its type in the table) and
    // the FUSE file systems of the desktop that reach shares (gvfsd-fuse, smbnetfs).
    TimeGrain timeGrain(const QString &path) const;
    // Whether that file system is of the FAT family (timeGrain).
    bool isFat(const QString &path) const { return timeGrain(path) == TimeGrain::Fat; }

private:
    QHash<QByteArray, QByteArray> m_typeOf;
    QString m_source;
};

// The mount points that a file-system table (the form of /etc/fstab) lists: absolute,
// without trailing "/", the root left out. Empty when the file cannot be read.
QSet<QByteArray> ListedMountPoints(const QString &fstabPath);

// The mount points that the program counts as drives of its entries' paths: those it has
// seen mounted at, above or below an entry's paths (remembered across runs in a state
// file, and across changes of the list: an entry removed and added again while its disk
// is away still has no drive) and those that the file-system table lists. While such a
// mount point is not mounted, the paths at and below it have lost their drive (a backup
// disk taken away, a share unmounted), even though the empty folder it was mounted on is
// still there, perhaps with a stray file in it.
class MountHistory
{
public:
    // The mount points of the file-system table (ListedMountPoints); replaces earlier ones.
    void setListedMountPoints(const QSet<QByteArray> &mountPoints) { m_listed = mountPoints; }

    // Remembers every mount point of `table` (the root aside) at or above `path` and,
    // for a folder, below it. `path` is taken as written and with the symbolic links of
    // its existing part resolved.
    void record(const QString &path, const MountTable &table);
    // True once after the remembered set changed (it is then due to be saved).
    bool takeChanged();

    // Whether the drive of `path` is there: the path is absolute, something of it
    // exists, its file system answers (not so a FUSE file system whose server died),
    // and every known mount point at or above it is mounted.
    bool driveMounted(const QString &path, const MountTable &table) const;
    // Whether `folder` (encoded, without trailing "/") is a remembered or listed mount
    // point.
    bool isKnownMountPoint(const QByteArray &folder) const
    {
        return m_remembered.contains(folder) || m_listed.contains(folder);
    }

    // Reads the remembered mount points from `statePath`; nothing is remembered when the
    // file is missing, unreadable or not the user's own (platform::readOwnFile).
    void load(const QString &statePath);
    // Writes them in one replacement of `statePath`; false, with the file as it was, when
    // that failed or the file there is not the user's own.
    bool save(const QString &statePath) const;

private:
    QSet<QByteArray> m_remembered;
    QSet<QByteArray> m_listed;
    bool m_changed = false;
};

// Where the program keeps its remembered mount points: beside its settings file, under
// the settings file's name with the extension "mounts".
QString MountStatePath(const QString &iniPath);

// The deepest existing folder or file of an absolute path: the path itself when it
// exists, else its nearest existing parent; empty when nothing exists.
QString DeepestExisting(const QString &path);

// The path with the symbolic links of its existing part resolved; the path itself when
// nothing of it exists.
QString ResolvedPath(const QString &path);

} // namespace idlebackup
