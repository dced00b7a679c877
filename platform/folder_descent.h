#pragma once

#include "platform/descriptor.h"

#include <QByteArray>
#include <QList>

namespace platform {

// Walks down folder trees through open folders without following a link that the walk
// did not choose: the folder a user named is opened as named (links and all), every
// level below it in the one above it, so that a folder swapped for a link meanwhile
// leads nowhere else.

// Opens the folder `path` (an encoded path; links on the way and at its end are
// followed, as the user's own paths are). Closed, with errno set, on failure.
Descriptor OpenFolder(const QByteArray &path);

// Opens the folder `name` of the open folder `parent` without following a link at
// `name` (the system then fails with ENOTDIR), and refuses "." and ".." (no entry of
// their own, as a path typed or kept in settings may hold) with EINVAL, so a walk never
// leaves its tree. Closed, with errno set, on failure.
Descriptor OpenFolderAt(int parent, const QByteArray &name);

// How a walk down through the levels of a path ended.
struct FolderDescent
{
    // The last level, open; closed when the walk failed.
    Descriptor folder;
    // The index of the level that failed, -1 when none did.
    qsizetype failedLevel = -1;
    // Why it failed: ELOOP for a link (whatever it leads to), ENOTDIR for an entry that
    // is no folder, EINVAL for "." or "..", ENOENT for a level that is missing, else the
    // system's error; 0 on success.
    int error = 0;
    // Whether any level was made.
    bool created = false;
};

// Opens below the open folder `top` the folders `names`, each in the one above it
// through no link (OpenFolderAt); with `make`, a missing level is made first (mkdirat).
// The walk ends at the first level that fails.
FolderDescent OpenFoldersBelow(Descriptor top, const QList<QByteArray> &names, bool make);

} // namespace platform
