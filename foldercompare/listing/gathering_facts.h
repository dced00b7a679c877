#pragma once

#include "platform/file_handles.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace foldercompare::listing {

// The identity of `path` (links followed); nullopt when it cannot be read.
std::optional<platform::FileIdentity> IdentityOf(const QString &path);

// What a gathering saw, kept so that a comparison soon after it can tell which folders
// cannot have changed since: a folder whose status change time lies before the walk
// began (with a margin for coarse clocks) and that is still the folder the walk read
// holds every file it held then. Files reached through a symbolic link can vanish
// elsewhere, so they are named for a check of their own.
struct GatheringFacts
{
    // The walked root, absolute and clean.
    QString root;
    // Real time when the walk began, in nanoseconds since the epoch.
    qint64 startedNs = 0;
    // Device and inode of every folder the walk read, by its relative path in UTF-8
    // ("" for the root, others ending with "/").
    QHash<QByteArray, std::pair<dev_t, ino_t>> folders;
    // Relative paths (UTF-8) of listed files that are symbolic links.
    QSet<QByteArray> linkedFiles;
    // Relative paths (UTF-8, ending with "/") of the folders that the walk could not open,
    // or not read to the end: what they hold is not listed.
    QSet<QByteArray> unreadFolders;
    // The identity of each record's file in the order of the listing (zero for a
    // folder's record), as the walk saw it.
    std::vector<platform::FileIdentity> files;
    // The listing file as it was written; facts about another file do not apply.
    platform::FileIdentity listing;
};

// True when the file system holding `path` sets a folder's status change time on every
// entry added, removed or renamed in it (ext2/3/4, xfs, btrfs, tmpfs, f2fs).
bool TrustsChangeTimes(const QString &path);

// True when the file system of the open entry `descriptor` keeps each file's device and
// inode number for as long as the file lives (ext2/3/4, xfs, btrfs, tmpfs, f2fs), so
// that another number tells another file; FUSE file systems and others may number a file
// anew when they look it up again.
bool KeepsInodes(int descriptor);

// True when the folder `relative` below the facts' root holds, as a folder of a file
// system whose change times can be trusted, every file that the walk listed there.
// `trustedDevices` keeps the answer per device for the calls of one comparison.
bool FolderUnchangedSince(const GatheringFacts &facts, const QByteArray &relative, QHash<dev_t, bool> &trustedDevices);

} // namespace foldercompare::listing
