#pragma once

#include <QByteArray>

#include <sys/stat.h>

namespace foldercompare::listing {

// Local entries are reached through these two calls rather than by handing their whole
// path to the system: a path may be longer than the system takes in one call (PATH_MAX),
// as deep trees with long folder names easily are. Such a path is opened piece by piece,
// each piece shorter than the limit and opened relative to the folder that the piece
// before it opened; symbolic links on the way are followed as a whole-path call follows
// them. A path within the limit takes a single call.

// Opens `path` (absolute, or relative to the current folder) with `flags` (O_CLOEXEC is
// added). Returns the descriptor, or -1 with errno set.
int OpenPath(const QByteArray &path, int flags);

// The status of `path`, links followed, into `info`. Returns 0, or -1 with errno set.
int StatPath(const QByteArray &path, struct stat &info);

} // namespace foldercompare::listing
